#pragma once
// For every pixel of an output picture, the source pixel it shows.  Built
// once per projection and parameter set, then applied to every frame.
// Source points outside the picture stay in the table (Get gives them back)
// and render as black.
#include <cstddef>
#include <cstdint>
#include <vector>

struct SourcePoint {
  int32_t x = 0;
  int32_t y = 0;
};

class RemapTable {
 public:
  // Replaces any earlier table.  False unless width and height are > 0, or
  // when memory runs out (the table is then invalid).
  bool Create(int sourceWidth, int sourceHeight, int width, int height);
  void Free();
  bool Valid() const { return valid_; }
  // Leaves *width and *height as they are for an invalid table.
  void Size(int* width, int* height) const;
  int Width() const { return width_; }
  int Height() const { return height_; }

  bool Set(int x, int y, int32_t sourceX, int32_t sourceY);
  bool Get(int x, int y, SourcePoint* point) const;

  // Writes exactly Width() x Height() pixels (turned by 180 degrees with
  // rotated) when the source is the size the table was built for and dst
  // holds them; returns the bytes written, else 0.
  size_t Render(const uint32_t* src, int srcW, int srcH, uint32_t* dst, size_t dstPixels,
                bool rotated) const;

 private:
  // Index into the source for each entry, or kOutside for black.
  static constexpr uint32_t kOutside = 0xFFFFFFFFu;
  bool valid_ = false;
  int width_ = 0;
  int height_ = 0;
  int sourceWidth_ = 0;
  int sourceHeight_ = 0;
  std::vector<SourcePoint> points_;
  std::vector<uint32_t> index_;
};
