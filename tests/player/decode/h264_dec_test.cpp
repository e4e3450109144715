#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "player/decode/decoder_threads.h"
#include "player/decode/h264_dec.h"
#include "player/decode/h264_dec_handle.h"
#include "tests/player/h264_test_streams.h"
#include "tests/support/frame_md5s.h"
#include "tests/support/test_support.h"

namespace {

using h264_test::Stream;

class H264DecTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!testing_support::HaveProgram("ffmpeg")) return;
    scratch_ = new testing_support::ScratchDir("h264_dec");
    stream_ = new std::optional<Stream>(
        h264_test::Encode(*scratch_, "baseline", "176x144", 12, "-c:v libx264 -profile:v baseline -g 6"));
    if (*stream_) reference_ = new std::vector<std::string>(testing_support::FfmpegFrameMd5s((*stream_)->file));
  }
  static void TearDownTestSuite() {
    delete reference_;
    delete stream_;
    delete scratch_;
  }
  void SetUp() override {
    ORLENTA_REQUIRE_PROGRAM("ffmpeg");
    ASSERT_TRUE(*stream_) << "libx264 encode failed";
    ASSERT_EQ(reference_->size(), (*stream_)->accessUnits.size());
    ASSERT_EQ(H264Dec_Open(&handle_), 0);
  }
  void TearDown() override { H264Dec_Close(handle_); }

  const std::vector<std::vector<uint8_t>>& units() const { return (*stream_)->accessUnits; }
  const std::vector<std::string>& reference() const { return *reference_; }

  // The front's calling order for one frame; the picture that came out, if any.
  H264DecPicture* DecodeUnit(const std::vector<uint8_t>& unit) {
    int32_t used = -1;
    EXPECT_EQ(H264Dec_Decode(handle_, unit.data(), int32_t(unit.size()), &used), 0);
    EXPECT_EQ(used, int32_t(unit.size()));
    EXPECT_EQ(H264Dec_Decode(handle_, unit.data(), 0, &used), 0);
    EXPECT_EQ(used, 0);
    H264DecPicture* picture = nullptr;
    EXPECT_EQ(H264Dec_GetPicture(handle_, &picture), 0);
    return picture;
  }

  static inline testing_support::ScratchDir* scratch_ = nullptr;
  static inline std::optional<Stream>* stream_ = nullptr;
  static inline std::vector<std::string>* reference_ = nullptr;
  H264DecHandle* handle_ = nullptr;
};

TEST_F(H264DecTest, EveryAccessUnitGivesItsOwnPictureEqualToFfmpegs) {
  for (size_t i = 0; i < units().size(); ++i) {
    H264DecPicture* picture = DecodeUnit(units()[i]);
    ASSERT_NE(picture, nullptr) << "frame " << i;
    EXPECT_EQ(picture->width, 176);
    EXPECT_EQ(picture->height, 144);
    EXPECT_EQ(picture->pictureType, i % 6 == 0 ? 1 : 2) << "frame " << i;  // I every 6th, else P
    EXPECT_EQ(h264_test::PlaneMd5(*picture), reference()[i]) << "frame " << i;
    H264DecPicture* another = nullptr;
    EXPECT_EQ(H264Dec_GetPicture(handle_, &another), 0);
    EXPECT_EQ(another, nullptr);
    EXPECT_EQ(H264Dec_ReleasePicture(handle_, picture), 0);
  }
}

TEST_F(H264DecTest, EmptyPacketsCollectOnlyAndNeverEndTheStream) {
  int32_t used = -1;
  const uint8_t byte = 0;
  EXPECT_EQ(H264Dec_Decode(handle_, &byte, 0, &used), 0);
  EXPECT_EQ(used, 0);
  for (size_t i = 0; i < units().size(); ++i) {
    for (int empty = 0; empty < 3; ++empty) ASSERT_EQ(H264Dec_Decode(handle_, &byte, 0, &used), 0);
    H264DecPicture* picture = DecodeUnit(units()[i]);
    ASSERT_NE(picture, nullptr) << "frame " << i;
    EXPECT_EQ(h264_test::PlaneMd5(*picture), reference()[i]) << "frame " << i;
    EXPECT_EQ(H264Dec_ReleasePicture(handle_, picture), 0);
  }
}

TEST_F(H264DecTest, SteadyDecodingRecyclesFramesAndRecords) {
  for (const auto& unit : units()) {
    H264DecPicture* picture = DecodeUnit(unit);
    ASSERT_NE(picture, nullptr);
    ASSERT_EQ(H264Dec_ReleasePicture(handle_, picture), 0);
    // One frame for the picture, one for the look that finds nothing more.
    EXPECT_LE(PtrQueue_Count(handle_->freeFrames) + PtrQueue_Count(handle_->framesInUse), 2u);
    EXPECT_EQ(PtrQueue_Count(handle_->freeRecords), 1u);
    EXPECT_EQ(PtrQueue_Count(handle_->framesInUse), 0u);
  }
}

TEST_F(H264DecTest, ResultCodes) {
  const auto& unit = units()[0];
  int32_t used = 0;
  H264DecPicture* picture = nullptr;
  H264DecPicture stranger{};
  EXPECT_EQ(H264Dec_Open(nullptr), -1);
  H264DecHandle* bounded = nullptr;
  for (auto [width, height] : {std::pair{64, 0}, std::pair{0, 48}, std::pair{-1, -1}}) {
    EXPECT_EQ(H264Dec_OpenBounded(&bounded, 1, width, height), -1) << width << "x" << height;
    EXPECT_EQ(bounded, nullptr);
  }

  struct Case {
    const char* what;
    H264DecHandle* handle;
    const uint8_t* data;
    int32_t size;
    int32_t* used;
    int expected;
  };
  const Case cases[] = {
      {"no handle", nullptr, unit.data(), 1, &used, -1},
      {"no data", handle_, nullptr, 1, &used, -1},
      {"no used count", handle_, unit.data(), 1, nullptr, -1},
      {"no data, negative size", handle_, nullptr, -1, &used, -1},
      {"negative size", handle_, unit.data(), -1, &used, -4},
  };
  for (const Case& c : cases) EXPECT_EQ(H264Dec_Decode(c.handle, c.data, c.size, c.used), c.expected) << c.what;

  handle_->opened = 0;
  EXPECT_EQ(H264Dec_Decode(handle_, unit.data(), int32_t(unit.size()), &used), -5);
  EXPECT_EQ(H264Dec_Decode(handle_, unit.data(), -1, &used), -4);
  handle_->opened = 1;

  EXPECT_EQ(H264Dec_GetPicture(nullptr, &picture), -1);
  EXPECT_EQ(H264Dec_GetPicture(handle_, nullptr), -1);
  EXPECT_EQ(H264Dec_GetPicture(handle_, &picture), 0);
  EXPECT_EQ(picture, nullptr);
  EXPECT_EQ(H264Dec_ReleasePicture(nullptr, &stranger), -1);
  EXPECT_EQ(H264Dec_ReleasePicture(handle_, nullptr), -1);
  EXPECT_EQ(H264Dec_ReleasePicture(handle_, &stranger), -6);  // nothing in use at all
  H264Dec_Close(nullptr);
}

TEST_F(H264DecTest, FfmpegRefusingThePacketIsMinusSix) {
  // A NAL unit whose forbidden bit is set.
  const std::vector<uint8_t> refused = {0, 0, 0, 1, 0xE5, 0x88, 0x84, 0x00, 0x33, 0xFF};
  int32_t used = 0;
  EXPECT_EQ(H264Dec_Decode(handle_, refused.data(), int32_t(refused.size()), &used), -6);
  // The decoder goes on with the next good data.
  H264DecPicture* picture = DecodeUnit(units()[0]);
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(h264_test::PlaneMd5(*picture), reference()[0]);
  EXPECT_EQ(H264Dec_ReleasePicture(handle_, picture), 0);
}

TEST_F(H264DecTest, ReleasingAPictureThatMatchesNoFrameInUseIsMinusSix) {
  H264DecPicture* picture = DecodeUnit(units()[0]);
  ASSERT_NE(picture, nullptr);
  for (int plane = 0; plane < 3; ++plane) {
    H264DecPicture copy = *picture;
    uint8_t** pointers[] = {&copy.y, &copy.u, &copy.v};
    *pointers[plane] += 1;
    EXPECT_EQ(H264Dec_ReleasePicture(handle_, &copy), -6) << "plane " << plane;
  }
  EXPECT_EQ(H264Dec_ReleasePicture(handle_, picture), 0);
  H264DecPicture released = *picture;
  EXPECT_EQ(H264Dec_ReleasePicture(handle_, &released), -6);  // its frame is no longer in use
}

// Pictures fetched and never released, and pictures never fetched: Close
// frees them all (the leak checker of the sanitizer build watches).
TEST_F(H264DecTest, CloseWithPicturesStillHeld) {
  int32_t used = 0;
  for (size_t i = 0; i < 5; ++i)
    ASSERT_EQ(H264Dec_Decode(handle_, units()[i].data(), int32_t(units()[i].size()), &used), 0);
  EXPECT_EQ(PtrQueue_Count(handle_->readyPictures), 5u);
  H264DecPicture* held[2] = {};
  for (auto*& picture : held) ASSERT_EQ(H264Dec_GetPicture(handle_, &picture), 0);
  ASSERT_NE(held[1], nullptr);
  EXPECT_EQ(PtrQueue_Count(handle_->framesInUse), 5u);
  EXPECT_EQ(H264Dec_ReleasePicture(handle_, held[0]), 0);
  H264Dec_Close(handle_);
  handle_ = nullptr;
}

TEST_F(H264DecTest, OnlyEightBit420PicturesAreHandedOut) {
  struct Case {
    const char* encoder;
    bool pictures;
  };
  const Case cases[] = {
      {"-c:v libx264 -bf 0 -pix_fmt yuv420p10le", false},
      {"-c:v libx264 -bf 0 -pix_fmt yuv422p", false},
      {"-c:v libx264 -bf 0 -pix_fmt yuv444p", false},
      {"-c:v libx264 -bf 0 -pix_fmt yuvj420p", true},
  };
  int n = 0;
  for (const Case& c : cases) {
    const auto stream = h264_test::Encode(*scratch_, "format" + std::to_string(n++), "64x48", 3, c.encoder);
    ASSERT_TRUE(stream) << c.encoder;
    H264DecHandle* handle = nullptr;
    ASSERT_EQ(H264Dec_Open(&handle), 0);
    int pictures = 0;
    for (const auto& unit : stream->accessUnits) {
      int32_t used = 0;
      EXPECT_EQ(H264Dec_Decode(handle, unit.data(), int32_t(unit.size()), &used), 0) << c.encoder;
      H264DecPicture* picture = nullptr;
      while (H264Dec_GetPicture(handle, &picture) == 0 && picture) {
        ++pictures;
        EXPECT_EQ(H264Dec_ReleasePicture(handle, picture), 0);
      }
    }
    EXPECT_EQ(pictures, c.pictures ? 3 : 0) << c.encoder;
    H264Dec_Close(handle);
  }
}

TEST(DecoderThreads, CountFromNumberOfProcessors) {
  struct Case {
    std::optional<std::string> value;
    unsigned processors;
    int expected;
  };
  const Case cases[] = {
      {"4", 8, 4},
      {"1", 8, 1},
      {"0", 8, 1},
      {"-3", 8, 1},
      {"not a number", 8, 1},
      {"", 8, 1},
      {"6 cores", 8, 6},  // leading digits count
      {"16", 2, 16},
      {"17", 2, 16},
      {"99999999999999999999", 2, 16},
      {std::nullopt, 8, 8},  // unset: the processor count
      {std::nullopt, 64, 16},
      {std::nullopt, 0, 1},  // processor count unknown
  };
  for (const Case& c : cases)
    EXPECT_EQ(DecoderThreadCount(c.value, c.processors), c.expected)
        << (c.value ? "\"" + *c.value + "\"" : "unset") << " with " << c.processors << " processors";
}

class EnvironmentGuard {
 public:
  explicit EnvironmentGuard(const char* name) : name_(name) {
    if (const char* value = std::getenv(name)) saved_ = value;
  }
  ~EnvironmentGuard() {
    if (saved_)
      setenv(name_, saved_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

TEST(DecoderThreads, OpenUsesSliceThreadsOfTheCount) {
  EnvironmentGuard guard("NUMBER_OF_PROCESSORS");
  struct Case {
    const char* value;
    int expected;
  };
  const unsigned processors = std::thread::hardware_concurrency();
  const Case cases[] = {{"3", 3}, {"0", 1}, {"40", 16}, {nullptr, int(std::clamp(processors, 1u, 16u))}};
  for (const Case& c : cases) {
    if (c.value)
      setenv("NUMBER_OF_PROCESSORS", c.value, 1);
    else
      unsetenv("NUMBER_OF_PROCESSORS");
    H264DecHandle* handle = nullptr;
    ASSERT_EQ(H264Dec_Open(&handle), 0);
    EXPECT_EQ(handle->context->thread_count, c.expected) << (c.value ? c.value : "unset");
    EXPECT_EQ(handle->context->thread_type, FF_THREAD_SLICE);
    H264Dec_Close(handle);
  }
}

// A count given at open wins over the environment; 0 leaves it to the
// environment.
TEST(DecoderThreads, CountGivenAtOpen) {
  EnvironmentGuard guard("NUMBER_OF_PROCESSORS");
  setenv("NUMBER_OF_PROCESSORS", "3", 1);
  for (auto [given, expected] : {std::pair{2, 2}, std::pair{0, 3}, std::pair{99, kMaxDecoderThreads}}) {
    H264DecHandle* handle = nullptr;
    ASSERT_EQ(H264Dec_OpenWithThreads(&handle, given), 0);
    EXPECT_EQ(handle->context->thread_count, expected) << given;
    H264Dec_Close(handle);
  }
}

// Data that carries FFmpeg's padding is read where it lies: the pictures
// are FFmpeg's own, and the adapter's copy buffer is never made.
TEST_F(H264DecTest, PaddedDataIsDecodedWithoutACopy) {
  for (size_t i = 0; i < units().size(); ++i) {
    std::vector<uint8_t> padded(units()[i]);
    padded.resize(padded.size() + kH264DecInputPadding, 0);
    int32_t used = -1;
    ASSERT_EQ(H264Dec_DecodePadded(handle_, padded.data(), int32_t(units()[i].size()), &used), 0);
    EXPECT_EQ(used, int32_t(units()[i].size()));
    H264DecPicture* picture = nullptr;
    ASSERT_EQ(H264Dec_GetPicture(handle_, &picture), 0);
    ASSERT_NE(picture, nullptr) << "frame " << i;
    EXPECT_EQ(h264_test::PlaneMd5(*picture), reference()[i]) << "frame " << i;
    EXPECT_EQ(H264Dec_ReleasePicture(handle_, picture), 0);
  }
  EXPECT_EQ(handle_->input, nullptr);
}

// The end of a stream with B-frames: the pictures held for reordering come
// out, in order, and a new stream can follow from its key frame.
TEST(H264DecDrain, GivesThePicturesHeldBackThenTakesANewStream) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir scratch("h264_dec_drain");
  const auto stream = h264_test::Encode(scratch, "bframes", "176x144", 10, "-c:v libx264 -bf 2 -g 10");
  ASSERT_TRUE(stream);
  const auto expected = testing_support::FfmpegFrameMd5s(stream->file);
  ASSERT_EQ(expected.size(), stream->accessUnits.size());
  H264DecHandle* handle = nullptr;
  ASSERT_EQ(H264Dec_Open(&handle), 0);
  std::vector<std::string> md5s;
  auto collect = [&] {
    H264DecPicture* picture = nullptr;
    while (H264Dec_GetPicture(handle, &picture) == 0 && picture) {
      md5s.push_back(h264_test::PlaneMd5(*picture));
      EXPECT_EQ(H264Dec_ReleasePicture(handle, picture), 0);
    }
  };
  for (int pass = 0; pass < 2; ++pass) {
    md5s.clear();
    for (const auto& unit : stream->accessUnits) {
      int32_t used = 0;
      ASSERT_EQ(H264Dec_Decode(handle, unit.data(), int32_t(unit.size()), &used), 0);
      collect();
    }
    EXPECT_LT(md5s.size(), expected.size());
    ASSERT_EQ(H264Dec_Drain(handle), 0);
    collect();
    EXPECT_EQ(md5s, expected) << "pass " << pass;
  }
  // Nothing is left to drain.
  EXPECT_EQ(H264Dec_Drain(handle), 0);
  collect();
  EXPECT_EQ(md5s.size(), expected.size());
  EXPECT_EQ(H264Dec_Drain(nullptr), -1);
  H264Dec_Close(handle);
}

}  // namespace
