#include "tests/dewarp/coordinate_card.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "tests/support/test_support.h"

std::vector<uint32_t> MakeCoordinateCard(int size) {
  std::vector<uint32_t> card(static_cast<size_t>(size) * size);
  for (size_t i = 0; i < card.size(); ++i) card[i] = static_cast<uint32_t>(i + 1);
  return card;
}

CardPoint ReadCardPixel(uint32_t pixel, int size) {
  const uint32_t v = pixel & 0xFFFFFFu;
  if (v == 0 || v > static_cast<uint32_t>(size) * size) return {};
  return {static_cast<int>((v - 1) % size), static_cast<int>((v - 1) / size)};
}

std::optional<std::vector<uint32_t>> FilterCard(const std::vector<uint32_t>& card, int size,
                                                const std::string& filters, int width, int height) {
  testing_support::ScratchDir dir("v360_card");
  const auto in = dir / "card.raw";
  const auto out = dir / "out.raw";
  const auto* bytes = reinterpret_cast<const uint8_t*>(card.data());
  testing_support::WriteFile(in, std::vector<uint8_t>(bytes, bytes + card.size() * 4));
  const std::string command = "ffmpeg -v error -y -f rawvideo -pix_fmt bgr0 -s " + std::to_string(size) + "x" +
                              std::to_string(size) + " -i '" + in.string() + "' -vf '" + filters +
                              "' -f rawvideo -pix_fmt bgr0 '" + out.string() + "'";
  if (testing_support::Run(command) != 0) return std::nullopt;
  const std::vector<uint8_t> raw = testing_support::ReadFile(out);
  if (raw.size() != static_cast<size_t>(width) * height * 4) return std::nullopt;
  std::vector<uint32_t> pixels(raw.size() / 4);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = raw[4 * i] | raw[4 * i + 1] << 8 | raw[4 * i + 2] << 16;
  return pixels;
}

CardAgreement CompareCards(const std::vector<uint32_t>& ours, const std::vector<uint32_t>& oracle, int size,
                           double cx, double cy, double r) {
  CardAgreement a;
  const size_t n = std::min(ours.size(), oracle.size());
  for (size_t i = 0; i < n; ++i) {
    const CardPoint p = ReadCardPixel(ours[i], size);
    if (p.black()) continue;
    const double dx = p.x + 0.5 - cx, dy = p.y + 0.5 - cy;
    if (dx * dx + dy * dy > (r - 2) * (r - 2)) continue;
    ++a.compared;
    const CardPoint q = ReadCardPixel(oracle[i], size);
    const int d = q.black() ? 1000 : std::max(std::abs(p.x - q.x), std::abs(p.y - q.y));
    if (d <= 1) ++a.withinOne;
    a.worst = std::max(a.worst, d);
  }
  return a;
}

double ReducedAngle(double degrees) {
  double a = std::fmod(degrees + 180.0, 360.0);
  if (a < 0) a += 360.0;
  return a - 180.0;
}
