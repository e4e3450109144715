// fuzz_seeds OUTDIR: writes a starting corpus for each fuzz target into
// OUTDIR/<target>, from small streams that ffmpeg makes (when it is
// installed) and frames our own encoders make.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/audio/adpcm.h"
#include "codecs/audio/qx_voice.h"
#include "tests/fuzz/fuzz_input.h"
#include "tools/h264rewrite/interlacer.h"
#include "tools/vyxmux/annexb_splitter.h"
#include "tools/vyxmux/field_pair_records.h"
#include "tools/vyxmux/mpeg4_vop_splitter.h"
#include "tools/vyxmux/vyx_writer.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr uint32_t kT0 = 1700000000;

Bytes ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteSeed(const fs::path& dir, const std::string& name, const Bytes& bytes) {
  fs::create_directories(dir);
  std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
}

// A tiny clip in the given ffmpeg output options; empty when ffmpeg fails.
Bytes Ffmpeg(const fs::path& work, const std::string& name, const std::string& options,
             const std::string& size = "48x32") {
  const fs::path out = work / name;
  const std::string command = "ffmpeg -v error -y -f lavfi -i testsrc2=size=" + size + ":rate=10 " + options +
                              " '" + out.string() + "' </dev/null";
  if (std::system(command.c_str()) != 0) return {};
  return ReadFile(out);
}

Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

std::vector<int16_t> Tone(size_t samples) {
  std::vector<int16_t> pcm(samples);
  for (size_t i = 0; i < samples; ++i) pcm[i] = static_cast<int16_t>(9000 * std::sin(0.07 * double(i)));
  return pcm;
}

Bytes VoiceFrame(uint16_t code, const std::vector<int16_t>& pcm) {
  QxVoiceState state{};
  QX_VOICE_EncReset(&state, code);
  Bytes frame(QX_VOICE_FRAME_CAPACITY);
  if (QX_VOICE_EncodeFrame(&state, pcm.data(), frame.data(), static_cast<int16_t>(pcm.size())) != QX_VOICE_OK)
    return {};
  frame.resize(4 + 2 * size_t{frame[2]});
  return frame;
}

Bytes AdpcmBlock(const std::vector<int16_t>& pcm) {
  codecs::audio::CAdpcm codec;
  Bytes block(codecs::audio::CAdpcm::kBlockBytes);
  codec.Encode(std::span<const int16_t, codecs::audio::CAdpcm::kSamplesPerBlock>(pcm.data(),
                                                                                 pcm.data() + 505),
               std::span<uint8_t, codecs::audio::CAdpcm::kBlockBytes>(block));
  return block;
}

void VoiceSeeds(const fs::path& dir) {
  const auto pcm = Tone(160);
  for (const uint16_t code : {1, 2, 3, 4, 5, 6, 7, 35, 36, 37, 38, 39, 65, 66, 67, 68}) {
    const Bytes frame = VoiceFrame(code, pcm);
    fuzz::InputWriter w;
    w.U8(fuzz::kVoiceEncReset);
    w.U16(code);
    w.U8(fuzz::kVoiceEncode);
    w.U16(static_cast<uint16_t>(pcm.size()));
    for (const int16_t s : pcm) w.U16(static_cast<uint16_t>(s));
    w.U8(fuzz::kVoiceDecReset);
    w.U16(code);
    for (int i = 0; i < 2; ++i) {
      w.U8(fuzz::kVoiceDecode);
      w.U16(static_cast<uint16_t>(frame.size()));
      w.Bytes(frame);
    }
    WriteSeed(dir, "code-" + std::to_string(code), w.Data());
  }
  for (const uint16_t transcode : {97, 98, 99, 100}) {
    const Bytes frame = VoiceFrame(static_cast<uint16_t>(transcode - 32), pcm);
    fuzz::InputWriter w;
    w.U8(fuzz::kVoiceTransReset);
    w.U16(transcode);
    w.U8(fuzz::kVoiceTransCode);
    w.U16(static_cast<uint16_t>(frame.size()));
    w.Bytes(frame);
    w.U8(fuzz::kVoiceVersion);
    WriteSeed(dir, "transcode-" + std::to_string(transcode), w.Data());
  }
}

void AudioCodecSeeds(const fs::path& out) {
  const auto pcm = Tone(2 * 505);
  Bytes blocks = AdpcmBlock(pcm);
  const Bytes second = AdpcmBlock(std::vector<int16_t>(pcm.begin() + 505, pcm.end()));
  blocks.insert(blocks.end(), second.begin(), second.end());
  WriteSeed(out / "adpcm", "two-blocks", blocks);

  // Voice in units and across them, ADPCM blocks, G.723 codes, each as
  // the archive would carry them.
  fuzz::InputWriter audio;
  auto record = [&](uint8_t typeChoice, const Bytes& payload) {
    audio.U8(typeChoice);
    audio.U32(static_cast<uint32_t>(payload.size()));
    audio.U16(static_cast<uint16_t>(payload.size()));
    audio.Bytes(payload);
    audio.U8(1);
  };
  const Bytes voice = VoiceFrame(QX_VOICE_G711_ULAW, Tone(320));
  record(0, Bytes(voice.begin() + 4, voice.end()));
  record(0, Bytes(voice.begin() + 4, voice.begin() + 200));
  record(1, blocks);
  record(2, Bytes(48, 0x6B));
  record(3, Bytes(3000, 0x35));
  WriteSeed(out / "audio_frames", "every-type", audio.Data());

  for (const uint16_t bytes : {3, 48, 300}) {
    fuzz::InputWriter w;
    w.U16(bytes);
    w.U16(0);
    for (uint16_t i = 0; i < bytes; ++i) w.U8(static_cast<uint8_t>(i * 37 + 11));
    WriteSeed(out / "g723_coder", "payload-" + std::to_string(bytes), w.Data());
  }
}

// An archive of the video units with voice, IMA ADPCM and G.723 records
// between them.
Bytes Archive(const fs::path& work, const std::string& name, uint8_t keyType, uint8_t otherType,
              const std::vector<std::pair<Bytes, bool>>& units) {
  const fs::path path = work / name;
  VyxWriter writer;
  if (!writer.Open(path.string())) return {};
  const auto voice = VoiceFrame(QX_VOICE_G711_ULAW, Tone(160));
  const auto adpcm = AdpcmBlock(Tone(505));
  for (size_t i = 0; i < units.size(); ++i) {
    VYX_FRAME_HEADER h = MakeFrameHeader(units[i].second ? keyType : otherType, kT0 + uint32_t(i / 5),
                                         uint32_t(i % 5) * 200000);
    h.width = 48;
    h.height = 32;
    writer.Write(h, units[i].first);
    if (i % 2 == 0) writer.Write(MakeFrameHeader(FRAME_TYPE_VOICE, h.time, h.usec), Bytes(voice.begin() + 4, voice.end()));
    if (i % 3 == 0) writer.Write(MakeFrameHeader(FRAME_TYPE_ADPCM, h.time, h.usec), adpcm);
    if (i % 4 == 0) writer.Write(MakeFrameHeader(FRAME_TYPE_G723, h.time, h.usec), Bytes(30, 0x5A));
  }
  if (!writer.Close()) return {};
  return ReadFile(path);
}

void VideoSeeds(const fs::path& out, const fs::path& work) {
  const Bytes h264 = Ffmpeg(work, "clip.264", "-t 0.6 -c:v libx264 -g 3 -bf 0 -pix_fmt yuv420p -f h264");
  const Bytes mpeg4 = Ffmpeg(work, "clip.m4v", "-t 0.6 -c:v mpeg4 -g 3 -f m4v");
  const Bytes jpeg = Ffmpeg(work, "still.jpg", "-frames:v 1 -c:v mjpeg -f image2");
  if (!h264.empty()) WriteSeed(out / "annexb_splitter", "clip.264", h264);
  if (!mpeg4.empty()) WriteSeed(out / "mpeg4_vop_splitter", "clip.m4v", mpeg4);
  if (!jpeg.empty()) WriteSeed(out / "jpeg_size", "still.jpg", jpeg);
  // The own H.264 decoder's input: size in macroblocks, references, flags,
  // then pieces of an intra-only CAVLC stream, one access unit each.
  const Bytes intra = Ffmpeg(work, "intra.264", "-t 0.3 -c:v libx264 -g 1 -coder 0 -bf 0 -pix_fmt yuv420p -f h264");
  if (!intra.empty()) {
    fuzz::InputWriter w;
    for (const uint8_t v : {3, 2, 1, 1}) w.U8(v);
    for (const AccessUnit& u : SplitAnnexB(intra)) {
      w.U16(static_cast<uint16_t>(u.bytes.size()));
      w.Bytes(u.bytes);
    }
    WriteSeed(out / "avc_decoder", "intra.264", w.Data());
  }
  // And I/P streams: every partition shape, several references, explicit
  // weights over a fade.
  const std::pair<const char*, const char*> inter[] = {
      {"inter.264", "-t 0.4 -c:v libx264 -g 6 -bf 0 -pix_fmt yuv420p -x264-params cabac=0:partitions=all:ref=3 -f h264"},
      {"weighted.264", "-t 0.4 -vf fade=in:0:8 -c:v libx264 -profile:v main -g 10 -bf 0 -pix_fmt yuv420p "
                       "-x264-params cabac=0:weightp=2:weightb=0 -f h264"}};
  for (const auto& [name, args] : inter) {
    const Bytes stream = Ffmpeg(work, name, args);
    if (stream.empty()) continue;
    fuzz::InputWriter w;
    for (const uint8_t v : {3, 2, 3, 1}) w.U8(v);
    for (const AccessUnit& u : SplitAnnexB(stream)) {
      w.U16(static_cast<uint16_t>(u.bytes.size()));
      w.Bytes(u.bytes);
    }
    WriteSeed(out / "avc_decoder", name, w.Data());
  }
  // Interlaced streams, one archive record (a frame picture or a field
  // pair) per piece: field pairs from a half-height encode, frame pictures
  // of an interlaced sequence and both mixed, with picture order count
  // type 0, long-term field pairs and explicit weights per reference field.
  const std::string baseline =
      "-c:v libx264 -profile:v baseline -bf 0 -pix_fmt yuv420p -x264-params cabac=0:ref=2:partitions=all -f h264";
  const Bytes full = Ffmpeg(work, "full.264", "-frames:v 6 " + baseline);
  const Bytes half = Ffmpeg(work, "half.264", "-frames:v 12 " + baseline, "48x16");
  using h264rewrite::InterlacedLayout;
  const std::pair<const char*, h264rewrite::InterlaceOptions> interlaced[] = {
      {"field-pairs.264", {InterlacedLayout::kFieldPairs, false, false, false, false}},
      {"field-pairs-long-term.264", {InterlacedLayout::kFieldPairs, true, true, true, false}},
      {"field-pairs-weights.264", {InterlacedLayout::kFieldPairs, false, false, false, true}},
      {"interlaced-frames.264", {InterlacedLayout::kInterlacedFrames, false, false, false, false}},
      {"mixed.264", {InterlacedLayout::kMixed, true, true, false, true}}};
  for (const auto& [name, options] : interlaced) {
    std::string error;
    const auto stream = full.empty() || half.empty() ? std::nullopt : h264rewrite::Interlace(full, half, options, error);
    if (!stream) continue;
    fuzz::InputWriter w;
    for (const uint8_t v : {3, 2, 4, 1}) w.U8(v);
    std::vector<std::pair<Bytes, bool>> records;
    for (const AccessUnit& u : JoinFieldPairs(SplitAnnexB(*stream))) {
      w.U16(static_cast<uint16_t>(u.bytes.size()));
      w.Bytes(u.bytes);
      records.emplace_back(u.bytes, u.idr);
    }
    WriteSeed(out / "avc_decoder", name, w.Data());
    if (options.layout == InterlacedLayout::kMixed) {
      WriteSeed(out / "vyx_reader", "h264-mixed-fields.vyx",
                Archive(work, "h264-mixed-fields.vyx", FRAME_TYPE_H264_I, FRAME_TYPE_H264_P, records));
    }
  }
  // The decoder's input: picture width, height and mode, then the bytes;
  // baseline and progressive (with restart intervals), subsampled and not.
  const std::pair<const char*, const char*> jpegs[] = {
      {"baseline-420.jpg", "-frames:v 1 -c:v mjpeg -pix_fmt yuvj420p -f image2"},
      {"baseline-444.jpg", "-frames:v 1 -c:v mjpeg -pix_fmt yuvj444p -f image2"},
      {"baseline-422.jpg", "-frames:v 1 -c:v mjpeg -pix_fmt yuvj422p -f image2"},
  };
  for (const auto& [name, options] : jpegs) {
    const Bytes bytes = Ffmpeg(work, name, options);
    if (bytes.empty()) continue;
    for (const uint8_t mode : {0, 1}) {
      Bytes seed{48, 32, mode};
      seed.insert(seed.end(), bytes.begin(), bytes.end());
      WriteSeed(out / "jpeg_decoder", std::string(mode ? "fast-" : "accurate-") + name, seed);
    }
  }
  // cjpeg's progressive pictures, and its RGB ones (Adobe marker, ids R, G, B).
  const Bytes ppm = Ffmpeg(work, "still.ppm", "-frames:v 1 -f image2 -c:v ppm");
  const std::pair<const char*, const char*> cjpegs[] = {{"fast-progressive.jpg", "-progressive -restart 1"},
                                                         {"fast-rgb.jpg", "-rgb -restart 2B"}};
  for (const auto& [name, options] : cjpegs) {
    const fs::path file = work / name;
    if (ppm.empty() || std::system(("cjpeg " + std::string(options) + " -outfile '" + file.string() + "' '" +
                                    (work / "still.ppm").string() + "' 2>/dev/null")
                                       .c_str()) != 0) {
      continue;
    }
    Bytes seed{48, 32, 1};
    const Bytes bytes = ReadFile(file);
    seed.insert(seed.end(), bytes.begin(), bytes.end());
    WriteSeed(out / "jpeg_decoder", name, seed);
  }

  std::vector<std::pair<Bytes, bool>> h264Units, mpeg4Units, jpegUnits;
  for (const AccessUnit& u : SplitAnnexB(h264)) h264Units.emplace_back(u.bytes, u.idr);
  for (const Mpeg4Vop& v : SplitMpeg4Vops(mpeg4)) mpeg4Units.emplace_back(v.bytes, v.intra);
  if (!jpeg.empty()) jpegUnits = {{jpeg, true}, {jpeg, true}};
  if (!h264Units.empty())
    WriteSeed(out / "vyx_reader", "h264.vyx", Archive(work, "h264.vyx", FRAME_TYPE_H264_I, FRAME_TYPE_H264_P, h264Units));
  if (!mpeg4Units.empty())
    WriteSeed(out / "vyx_reader", "mpeg4.vyx",
              Archive(work, "mpeg4.vyx", FRAME_TYPE_MPEG4_I, FRAME_TYPE_MPEG4_P, mpeg4Units));
  if (!jpegUnits.empty())
    WriteSeed(out / "vyx_reader", "jpeg.vyx", Archive(work, "jpeg.vyx", FRAME_TYPE_JPEG, FRAME_TYPE_JPEG, jpegUnits));
  WriteSeed(out / "vyx_reader", "voice-only.vyx", Archive(work, "voice.vyx", FRAME_TYPE_H264_I, FRAME_TYPE_H264_P, {}));

  // The decoder front: each clip at its own size and at a smaller and a
  // larger header size, under every display set-up.
  const struct {
    uint8_t kind;  // 1 + value % 4
    const char* name;
    const std::vector<std::pair<Bytes, bool>>& units;
  } clips[] = {{0, "h264", h264Units}, {1, "mpeg4", mpeg4Units}, {2, "jpeg", jpegUnits}, {3, "qx264", h264Units}};
  for (const auto& clip : clips) {
    if (clip.units.empty()) continue;
    for (uint8_t depth = 0; depth < std::size(fuzz::kDepths); ++depth) {
      for (uint8_t overlay = 0; overlay < 2; ++overlay) {
        for (const auto& [width, height] : {std::pair{48, 32}, std::pair{16, 8}, std::pair{64, 64}}) {
          fuzz::InputWriter w;
          w.U8(depth);
          w.U8(overlay);
          w.U8(clip.kind);
          w.U16(static_cast<uint16_t>(width - 1));
          w.U16(static_cast<uint16_t>(height - 1));
          for (const auto& unit : clip.units) {
            w.U32(static_cast<uint32_t>(unit.first.size()));
            w.Bytes(unit.first);
          }
          WriteSeed(out / "vdecode",
                    std::string(clip.name) + "-d" + std::to_string(depth) + "o" + std::to_string(overlay) + "-" +
                        std::to_string(width),
                    w.Data());
        }
      }
    }
  }
}

// The MPEG-4 decoder: clips of the coding tools it decodes (and one it
// refuses), at their own size; one without its headers, which decodes with
// the stream defaults, and one at a size its VOL does not match.
void Mp4DecoderSeeds(const fs::path& dir, const fs::path& work) {
  const struct {
    const char* name;
    const char* options;
  } clips[] = {
      {"plain", "-c:v mpeg4 -g 3"},
      {"qpel-mv4", "-c:v mpeg4 -flags +qpel+mv4"},
      {"interlaced-alternate", "-c:v mpeg4 -flags +ildct+ilme -alternate_scan 1"},
      {"mpeg-quant", "-c:v mpeg4 -mpeg_quant 1 -q:v 2"},
      {"dquant", "-c:v mpeg4 -b:v 60k -lumi_mask 0.3 -p_mask 0.3"},
      {"bframes", "-c:v mpeg4 -bf 1"},
      {"xvid-qpel", "-c:v libxvid -flags +qpel"},
  };
  auto seed = [&](const std::string& name, uint16_t width, uint16_t height, uint8_t choices, const Bytes& stream) {
    fuzz::InputWriter w;
    w.U16(static_cast<uint16_t>(width - 1));
    w.U16(static_cast<uint16_t>(height - 1));
    w.U8(choices);
    w.Bytes(stream);
    WriteSeed(dir, name, w.Data());
  };
  for (const auto& clip : clips) {
    const Bytes stream = Ffmpeg(work, std::string(clip.name) + ".m4v", std::string("-t 0.6 ") + clip.options + " -f m4v");
    if (stream.empty()) continue;
    seed(clip.name, 48, 32, 0, stream);
    if (std::string(clip.name) != "plain") continue;
    seed("plain-other-size", 64, 32, 0, stream);
    for (size_t i = 0; i + 4 <= stream.size(); ++i) {
      if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1 && stream[i + 3] == 0xB6) {
        seed("plain-without-headers", 48, 32, fuzz::kMp4Resolution25 | fuzz::kMp4CombFilter,
             Bytes(stream.begin() + ptrdiff_t(i), stream.end()));
        break;
      }
    }
  }
}

// Records as the conversion's target describes them: kind (type - 128),
// shape (width and height choices), time step, then a 16-bit length and
// the payload.  A key frame, predicted frames, voice, IMA ADPCM and G.723.
void AviConversionSeeds(const fs::path& dir) {
  fuzz::InputWriter w;
  w.U16(0);
  auto record = [&](uint8_t kind, uint8_t shape, uint8_t step, const Bytes& payload) {
    w.U8(kind);
    w.U8(shape);
    w.U8(step);
    w.U16(static_cast<uint16_t>(payload.size()));
    w.Bytes(payload);
  };
  const uint8_t cif = 3 + 6 * 3;  // 352x352
  record(FRAME_TYPE_H264_I - 128, cif, 10, Bytes(600, 0x41));
  record(FRAME_TYPE_VOICE - 128, 0, 5, VoiceFrame(QX_VOICE_G711_ULAW, Tone(320)));
  record(FRAME_TYPE_H264_P - 128, cif, 10, Bytes(200, 0x42));
  record(FRAME_TYPE_ADPCM - 128, 0, 5, AdpcmBlock(Tone(505)));
  record(FRAME_TYPE_G723 - 128, 0, 5, Bytes(96, 0x35));
  record(FRAME_TYPE_H264_I - 128, cif, 0x81, Bytes(600, 0x43));
  WriteSeed(dir, "every-kind", w.Data());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_seeds OUTDIR\n");
    return 2;
  }
  const fs::path out = argv[1];
  const fs::path work = out / "streams";
  fs::create_directories(work);
  VoiceSeeds(out / "qx_voice");
  AudioCodecSeeds(out);
  VideoSeeds(out, work);
  AviConversionSeeds(out / "avi_conversion");
  Mp4DecoderSeeds(out / "mp4_decoder", work);
  WriteSeed(out / "dewarp_settings", "dewarp.ini",
            Text("\xEF\xBB\xBF[lens_param]\r\na0=0\r\na1=0.6366\r\na2=0\r\n[center_param]\r\ncenterX=5000\r\n"
                 "centerY=5000\r\nradius=5000\r\n[viewmode_param]\r\nw1R=96\r\nh1R=72\r\nw1Rmov=64\r\nh1Rmov=48\r\n"
                 "w4R=64\r\nh4R=48\r\nratio=2\r\ncut=6\r\nMoveSensitivity=4\r\nWheelSensitivity=24\r\n"));
  fs::remove_all(work);
  return 0;
}
