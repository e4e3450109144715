#include "convert/avi_conversion.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "convert/avi_output_names.h"
#include "convert/mpeg4_stream_header.h"
#include "platform/trace.h"

namespace {

constexpr int32_t kNoStream = 6;
// Room kept in every file for the padded last G.723 block written at its close.
constexpr uint64_t kLastBlockBytes = 8 + codecs::audio::CAdpcm::kBlockBytes + sizeof(AviIndexEntry);
constexpr auto kIndexWait = std::chrono::milliseconds(2);
// G.723 payload decoded between two looks at the abort request: whole
// groups of 3 bytes, a few milliseconds of work.
constexpr size_t kG723SliceBytes = 3 * 16384;

bool IsAudioType(uint8_t type) {
  return type == FRAME_TYPE_G723_A || type == FRAME_TYPE_ADPCM || type == FRAME_TYPE_G723 ||
         type == FRAME_TYPE_VOICE;
}

// Output that would overwrite the archive being read ("wb" truncates).
bool IsSameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::exists(a, error) && std::filesystem::equivalent(a, b, error);
}

}  // namespace

CQxAviConversion::CQxAviConversion(CQxVyxParser& reader, std::string outputName, uint64_t splitBytes)
    : reader_(reader),
      output_(std::move(outputName)),
      splitBytes_(std::clamp<uint64_t>(splitBytes, kMinSplitBytes, kMaxFileBytes)),
      maxFileBytes_(std::min(2 * splitBytes_, kMaxFileBytes) - kLastBlockBytes),
      currentClass_(kNoStream) {}

bool CQxAviConversion::Fail(std::string error) {
  platform::Trace("AVI conversion: %s\n", error.c_str());
  if (result_.end != ConversionEnd::kFailed) {
    result_.end = ConversionEnd::kFailed;
    result_.error = std::move(error);
  }
  return false;
}

void CQxAviConversion::UpdateProgress(uint32_t time) {
  const uint64_t duration = reader_.GetDuration();
  const uint64_t offset = reader_.GetTimeOffset(time);
  const uint64_t percent = duration ? std::min<uint64_t>(offset * 100 / duration, 100) : 0;
  progress_.store(static_cast<int>(percent), std::memory_order_relaxed);
}

ConversionResult CQxAviConversion::RunConversion(const std::atomic<bool>& abortRequest) {
  result_ = ConversionResult();
  progress_.store(0, std::memory_order_relaxed);
  currentClass_ = kNoStream;
  currentWidth_ = currentHeight_ = 0;
  fileNumber_ = 0;
  g723_ = G723ToAdpcm();
  abortRequest_ = &abortRequest;
  avi_.SetStopRequest(&abortRequest);

  if (output_.empty()) {
    Fail("No AVI file name was given.");
    return result_;
  }
  reader_.Rewind();
  bool running = true;
  while (running) {
    if (abortRequest.load()) {
      result_.end = ConversionEnd::kAborted;
      break;
    }
    FrameReadout out;
    const int read = reader_.ReadNextFrame(out);
    if (read < 0) {
      Fail("Out of memory reading " + reader_.GetFileName() + ".");
      break;
    }
    if (read == 0) {
      if (out.endOfFile) break;
      std::this_thread::sleep_for(kIndexWait);  // the index is still growing
      continue;
    }
    UpdateProgress(out.frame->index.header.time);
    running = ConvertRecord(*out.frame);
  }
  const bool wroteAny = fileNumber_ > 0;
  CloseFile(result_.end == ConversionEnd::kFinished);  // a failure is recorded in the result
  avi_.SetStopRequest(nullptr);
  abortRequest_ = nullptr;
  if (result_.end == ConversionEnd::kFinished) {
    progress_.store(100, std::memory_order_relaxed);
    if (!wroteAny) Fail("The archive holds no key video frame: no AVI file was written.");
  }
  return result_;
}

bool CQxAviConversion::ConvertRecord(const VyxFrame& frame) {
  const VYX_FRAME_HEADER& header = frame.index.header;
  if (IsAudioType(header.type)) return WriteAudio(frame);
  if (frame.index.codecClass < CODEC_CLASS_MPEG4 || frame.index.codecClass > CODEC_CLASS_JPEG) {
    platform::Trace("AVI conversion: frame type %u skipped\n", header.type);
    return true;
  }
  const bool key = IsKeyFrameType(header.type);
  const bool changes = (header.width != currentWidth_ && header.width != 0) ||
                       (header.height != currentHeight_ && header.height != 0) ||
                       frame.index.codecClass != currentClass_;
  if (changes) {
    if (!CloseFile()) return false;
    if (!key) {
      // The next key frame opens a file, whatever its stream.
      currentClass_ = kNoStream;
      return true;
    }
    currentWidth_ = header.width;
    currentHeight_ = header.height;
    currentClass_ = frame.index.codecClass;
    if (!OpenNextFile(header)) return false;
  } else if (!avi_.IsOpen()) {
    return true;
  } else if (key && avi_.FileSize() >= splitBytes_) {
    if (!CloseFile() || !OpenNextFile(header)) return false;
  }
  return WriteVideo(frame, key);
}

bool CQxAviConversion::WriteVideo(const VyxFrame& frame, bool key) {
  const VYX_FRAME_HEADER& header = frame.index.header;
  const uint8_t* data = frame.payload.data();
  size_t size = frame.payload.size();
  if (header.type == FRAME_TYPE_MPEG4_I && StartsWithVop(data, size)) {
    const auto streamHeader = Mpeg4StreamHeader(header.width, header.height);
    withHeader_.assign(streamHeader.begin(), streamHeader.end());
    withHeader_.insert(withHeader_.end(), frame.payload.begin(), frame.payload.end());
    data = withHeader_.data();
    size = withHeader_.size();
  }
  if (size > kMaxFileBytes)
    return Fail("A video frame of " + std::to_string(size) + " bytes does not fit in an AVI file.");
  return WriteChunk(static_cast<uint8_t>(frame.index.codecClass), key, data, static_cast<uint32_t>(size),
                    header);
}

bool CQxAviConversion::WriteAudio(const VyxFrame& frame) {
  if (!avi_.IsOpen()) return true;  // sound before the first picture
  const VYX_FRAME_HEADER& header = frame.index.header;
  const uint16_t coding = header.type == FRAME_TYPE_VOICE ? AVI_MULAW : AVI_ADPCM;
  if (avi_.AudioType() != 0 && avi_.AudioType() != coding) {
    platform::Trace("AVI conversion: frame type %u skipped, the file's sound is %s\n", header.type,
                    avi_.AudioType() == AVI_MULAW ? "mu-law" : "IMA ADPCM");
    return true;
  }
  const size_t size = std::min<size_t>(frame.payload.size(), kMaxFileBytes);
  switch (header.type) {
    case FRAME_TYPE_VOICE:
      return size == 0 || WriteChunk(AVI_CHUNK_MULAW, true, frame.payload.data(),
                                     static_cast<uint32_t>(size), header);
    case FRAME_TYPE_ADPCM: {
      const size_t whole = size / codecs::audio::CAdpcm::kBlockBytes * codecs::audio::CAdpcm::kBlockBytes;
      return whole == 0 || WriteChunk(AVI_CHUNK_ADPCM, true, frame.payload.data(),
                                      static_cast<uint32_t>(whole), header);
    }
    default:
      return WriteG723AsAdpcm(frame);
  }
}

bool CQxAviConversion::WriteG723AsAdpcm(const VyxFrame& frame) {
  const size_t block = codecs::audio::CAdpcm::kBlockBytes;
  // Samples still waiting come after these blocks: a file that ends among
  // them leaves the waiting samples to the next file.
  writingG723_ = true;
  bool ok = true;
  for (size_t slice = 0; ok && slice < frame.payload.size(); slice += kG723SliceBytes) {
    // A long record gives way to an abort; the file keeps the blocks before it.
    if (slice > 0 && abortRequest_->load()) break;
    blocks_.clear();
    g723_.Push(frame.payload.data() + slice, std::min(kG723SliceBytes, frame.payload.size() - slice), blocks_);
    for (size_t at = 0; ok && at < blocks_.size(); at += block)
      ok = WriteChunk(AVI_CHUNK_ADPCM, true, blocks_.data() + at, block, frame.index.header);
  }
  writingG723_ = false;
  return ok;
}

bool CQxAviConversion::WriteChunk(uint8_t chunkType, bool key, const uint8_t* data, uint32_t size,
                                  const VYX_FRAME_HEADER& header) {
  if (avi_.FileSize() + avi_.GrowthOf(size, header.time, header.usec) > maxFileBytes_) {
    if (!CloseFile() || !OpenNextFile(header)) return false;
    if (avi_.FileSize() + avi_.GrowthOf(size, header.time, header.usec) > maxFileBytes_)
      return Fail("A record of " + std::to_string(size) + " bytes does not fit in an AVI file of at most " +
                  std::to_string(maxFileBytes_ + kLastBlockBytes) + " bytes.");
  }
  const int64_t written = avi_.WriteChunk(chunkType, key, size, data, header.time, header.usec);
  if (written < 0) return WriterEnded(written);
  lastTime_ = header.time;
  lastUsec_ = header.usec;
  return true;
}

bool CQxAviConversion::OpenNextFile(const VYX_FRAME_HEADER& header) {
  const std::string name = AviOutputName(output_, fileNumber_ + 1);
  if (IsSameFile(name, reader_.GetFileName()))
    return Fail("Cannot write " + name + ": it is the archive being converted.");
  ++fileNumber_;
  currentFile_ = name;
  if (avi_.WriteHeader(name, static_cast<uint8_t>(currentClass_), currentWidth_, currentHeight_, header.time,
                       header.usec) != 0)
    return WriterEnded(-4);
  lastTime_ = header.time;
  lastUsec_ = header.usec;
  return true;
}

bool CQxAviConversion::WriterEnded(int64_t result) {
  // The writer has finished or removed the file.
  if (avi_.KeptUnfinished()) result_.files.push_back(currentFile_);
  if (result == CQxAvi::kStopped) {
    result_.end = ConversionEnd::kAborted;
    return false;
  }
  return Fail("Cannot write " + currentFile_ + ": " + avi_.LastError());
}

bool CQxAviConversion::CloseFile(bool finished) {
  if (!avi_.IsOpen()) return true;
  lastBlock_.clear();
  if (!writingG723_) g723_.Flush(lastBlock_);  // not written into a mu-law file
  if (!lastBlock_.empty()) {
    const int64_t written = avi_.WriteChunk(AVI_CHUNK_ADPCM, true, static_cast<uint32_t>(lastBlock_.size()),
                                            lastBlock_.data(), lastTime_, lastUsec_);
    if (written < 0) return WriterEnded(written);
  }
  if (!finished) {
    const int ended = avi_.CloseUnfinished();
    if (avi_.KeptUnfinished()) result_.files.push_back(currentFile_);
    return ended == 0 || Fail("Cannot finish " + currentFile_ + ": " + avi_.LastError());
  }
  if (avi_.Close() != 0) return WriterEnded(-4);
  result_.files.push_back(currentFile_);
  return true;
}
