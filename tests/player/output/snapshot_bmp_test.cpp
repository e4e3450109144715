// The BMP file image of a snapshot: its header, top-down rows, and the
// field pictures of interlaced cameras written with each row twice.
#include "player/output/snapshot_bmp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

int32_t Read32(const std::vector<uint8_t>& b, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(b[at + i]) << (8 * i);
  return static_cast<int32_t>(v);
}

struct SnapshotSize {
  int width, height;
  bool doubled;
};

TEST(SnapshotBmp, FieldPicturesAreLineDoubled) {
  const SnapshotSize sizes[] = {{704, 240, true},  {704, 288, true},  {720, 240, true},  {720, 288, true},
                                {352, 288, false}, {352, 240, false}, {720, 576, false}, {704, 480, false},
                                {640, 288, false}, {704, 256, false}, {176, 144, false}};
  for (const SnapshotSize& s : sizes) {
    SCOPED_TRACE(std::to_string(s.width) + "x" + std::to_string(s.height));
    // Every pixel tells its own row and column.
    std::vector<uint32_t> picture(static_cast<size_t>(s.width) * s.height);
    for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<uint32_t>(i);
    const std::vector<uint8_t> bmp =
        MakeSnapshotBmp(s.width, s.height, reinterpret_cast<const uint8_t*>(picture.data()));

    const int rows = s.doubled ? 2 * s.height : s.height;
    const size_t rowBytes = static_cast<size_t>(s.width) * 4;
    ASSERT_EQ(bmp.size(), 54 + rowBytes * rows);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(Read32(bmp, 2), static_cast<int32_t>(bmp.size()));
    EXPECT_EQ(Read32(bmp, 10), 54);
    EXPECT_EQ(Read32(bmp, 14), 40);
    EXPECT_EQ(Read32(bmp, 18), s.width);
    EXPECT_EQ(Read32(bmp, 22), -rows);  // top-down
    EXPECT_EQ(bmp[26] | bmp[27] << 8, 1);
    EXPECT_EQ(bmp[28] | bmp[29] << 8, 32);
    for (int row = 0; row < rows; ++row) {
      const int source = s.doubled ? row / 2 : row;
      ASSERT_EQ(std::memcmp(bmp.data() + 54 + rowBytes * row, picture.data() + static_cast<size_t>(source) * s.width,
                            rowBytes),
                0)
          << "file row " << row << " is not picture row " << source;
    }
  }
}

}  // namespace
