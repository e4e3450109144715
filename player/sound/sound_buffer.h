#pragma once
// The buffer a sound output hands to its fill callback: memory of a fixed
// capacity and the number of bytes that hold sound.  The capacity is kept
// apart from the length, so that a buffer that last carried a short piece
// can still be filled whole.
#include <cstdint>
#include <memory>

class CBuffer {
 public:
  // Allocates `capacity` zeroed bytes; the length starts at the capacity.
  // When the memory cannot be had the data is null and both are 0.
  explicit CBuffer(int32_t capacity);
  virtual ~CBuffer() = default;
  CBuffer(const CBuffer&) = delete;
  CBuffer& operator=(const CBuffer&) = delete;

  uint8_t* Data() { return data_.get(); }
  const uint8_t* Data() const { return data_.get(); }
  int32_t Capacity() const { return capacity_; }
  int32_t Size() const { return size_; }
  // Clamped to 0..capacity.
  void SetSize(int32_t size);

 private:
  std::unique_ptr<uint8_t[]> data_;
  int32_t size_ = 0;
  int32_t capacity_ = 0;
};
