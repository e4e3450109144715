#pragma once
// The 32-bit BMP file image a snapshot is saved from: a 54-byte header
// (top-down rows) and the picture's pixels.  Pictures 704 or 720 wide and
// 240 or 288 high are one field of an interlaced camera: each row is
// written twice, so the snapshot has the picture's true shape.
#include <cstdint>
#include <vector>

// pixels: height rows of width B, G, R, X pixels, top-down.  Throws
// std::bad_alloc when memory runs out.
std::vector<uint8_t> MakeSnapshotBmp(int width, int height, const uint8_t* pixels);

bool IsLineDoubledSize(int width, int height);
