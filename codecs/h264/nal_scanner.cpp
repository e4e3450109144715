#include "codecs/h264/nal_scanner.h"

#include <algorithm>
#include <cstring>

namespace avc {

namespace {

// The index of the byte after the next 00 00 01 at or after `from`, or
// `length` when there is none.
size_t FindPayloadStart(const uint8_t* data, size_t length, size_t from) {
  for (size_t i = from; i + 3 <= length; ++i) {
    if (data[i + 2] > 1) {
      i += 2;  // no start code can end at i + 2: skip ahead
      continue;
    }
    if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) return i + 3;
  }
  return length;
}

}  // namespace

bool NextNalUnit(const uint8_t* data, size_t length, size_t& position, uint8_t* rbsp, size_t capacity,
                 NalUnitBytes& unit) {
  unit = NalUnitBytes{};
  const size_t start = FindPayloadStart(data, length, position);
  if (start >= length) {
    position = length;
    return false;
  }
  size_t out = 0;
  int zeros = 0;
  size_t i = start;
  for (; i < length; ++i) {
    if (zeros == 0) {
      // Up to the next zero byte nothing is special: copy the run at once.
      const void* zero = std::memchr(data + i, 0, length - i);
      const size_t stop = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - data) : length;
      const size_t run = stop - i;
      const size_t fits = out < capacity ? std::min(run, capacity - out) : 0;
      if (fits) std::memcpy(rbsp + out, data + i, fits);
      if (fits < run) unit.tooLong = true;
      out += run;
      i = stop;
      if (i >= length) break;
    }
    const uint8_t b = data[i];
    if (zeros >= 2 && b <= 1) {
      if (b == 1) break;  // the next start code (its zeros are trailing zeros here)
      // 00 00 00: the unit has ended; trailing zeros before the next code.
    }
    if (zeros >= 2 && b == 3) {
      zeros = 0;  // emulation prevention: dropped
      continue;
    }
    if (out < capacity) {
      rbsp[out] = b;
    } else {
      unit.tooLong = true;
    }
    ++out;
    zeros = b == 0 ? zeros + 1 : 0;
  }
  position = i >= length ? length : i - 2;
  if (unit.tooLong) return true;
  while (out > 0 && rbsp[out - 1] == 0) --out;
  unit.length = out;
  return true;
}

}  // namespace avc
