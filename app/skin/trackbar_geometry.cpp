#include "app/skin/trackbar_geometry.h"

#include <algorithm>
#include <cmath>

EdgeBox TrackbarChannelRect(int clientWidth, int clientHeight) {
  const int middle = clientHeight / 2;
  return {kChannelMargin, middle - kChannelHalfHeight, std::max(clientWidth - kChannelMargin, kChannelMargin),
          middle + kChannelHalfHeight};
}

int TrackbarPositionPixel(int clientWidth, int position, int minimum, int maximum) {
  const EdgeBox channel = TrackbarChannelRect(clientWidth, 0);
  const int left = channel.left + kChannelInset;
  const int travel = std::max(channel.right - kChannelInset - left, 0);
  if (maximum <= minimum) return left;
  const double f = (static_cast<double>(position) - minimum) / (static_cast<double>(maximum) - minimum);
  return left + static_cast<int>(std::lround(std::clamp(f, 0.0, 1.0) * travel));
}

EdgeBox TrackbarThumbRect(int clientWidth, int clientHeight, int position, int minimum,
                          int maximum, int thumbPictureWidth) {
  const int width = std::max(thumbPictureWidth - kThumbPictureShift, 1);
  const int centre = TrackbarPositionPixel(clientWidth, position, minimum, maximum);
  // The picture spans [centre - picture / 2, centre + picture / 2): the
  // slider adds (picture - width) / 2 and takes off 10.
  const int left = centre - thumbPictureWidth / 2 - (thumbPictureWidth - width) / 2 + kThumbPictureShift;
  return {left, 0, left + width, clientHeight};
}
