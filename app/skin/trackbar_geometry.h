#pragma once
// Where a horizontal trackbar keeps its channel and its thumb, the numbers
// the bitmap slider's position and painting arithmetic start from.
//
// The channel runs from 2 pixels inside the left edge to 2 pixels inside
// the right edge; the slider takes 6 more pixels off each end, so positions
// map onto [8, width - 8].  The trackbar's own thumb is centred on the
// position's pixel and is `thumbPictureWidth - 10` wide: the slider widens
// it to the picture's width and moves it 10 pixels left, which centres the
// thumb picture on that pixel as well.  At the minimum the picture touches
// the left edge, at the maximum the right edge.
#include <QRect>

constexpr int kChannelMargin = 2;       // channel ends, from the client edges
constexpr int kChannelInset = 6;        // taken off each end of the channel by the slider
constexpr int kThumbPictureShift = 10;  // the slider moves its thumb picture left by this
constexpr int kChannelHalfHeight = 2;

// Left, top, right, bottom as edges (right and bottom just outside).
struct EdgeBox {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
};

EdgeBox TrackbarChannelRect(int clientWidth, int clientHeight);
// The pixel a position maps to.
int TrackbarPositionPixel(int clientWidth, int position, int minimum, int maximum);
EdgeBox TrackbarThumbRect(int clientWidth, int clientHeight, int position, int minimum,
                          int maximum, int thumbPictureWidth);
