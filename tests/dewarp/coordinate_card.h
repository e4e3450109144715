#pragma once
// Coordinate cards: square test pictures whose every pixel holds its own
// position (y * size + x + 1 in B, G, R; 0 stays black), so that a
// dewarped picture tells for each pixel which source pixel it shows, and
// FFmpeg's v360 filter can be run over the same card as an oracle.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct CardPoint {
  int x = -1;
  int y = -1;
  bool black() const { return x < 0; }
};

std::vector<uint32_t> MakeCoordinateCard(int size);
CardPoint ReadCardPixel(uint32_t pixel, int size);

// Runs ffmpeg's filter chain over the card; the output must be width x
// height pixels.  nullopt when ffmpeg fails.
std::optional<std::vector<uint32_t>> FilterCard(const std::vector<uint32_t>& card, int size,
                                                const std::string& filters, int width, int height);

struct CardAgreement {
  size_t compared = 0;     // pixels whose source lies inside the circle less 2 px
  size_t withinOne = 0;    // of those, within 1 source pixel either way
  int worst = 0;           // largest distance (1000 when the oracle shows black)
  double WithinOneShare() const { return compared ? static_cast<double>(withinOne) / compared : 0; }
};

// Compares two pictures of card pixels where ours shows a source point
// inside the circle (centre cx, cy, radius r) less 2 pixels.
CardAgreement CompareCards(const std::vector<uint32_t>& ours, const std::vector<uint32_t>& oracle, int size,
                           double cx, double cy, double r);

// An angle in degrees reduced to -180..180, the range v360 takes.
double ReducedAngle(double degrees);
