#pragma once
// Re-serialises the parameter sets and slice headers of a CAVLC I/P Annex B
// stream (clauses 7.3.2.1, 7.3.2.2, 7.3.3) with chosen fields changed,
// copying the slice data bits as they stand: streams libx264 does not make.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace h264rewrite {

enum class Mode {
  kIdrToI,                  // IDR pictures after the first become non-IDR I pictures
  kNoOutputOfPriorPics,     // IDR pictures after the first set no_output_of_prior_pics_flag
  kNoRefFramesLevel10,      // max_num_ref_frames 0 and level_idc 10
  kExplicitWeights,         // weighted_pred_flag set; every P slice gets weights of its own
  kFrameNumGaps,            // frame_num steps by 3 with gaps allowed; P lists reordered past the gap
  kNonReferenceThirds,      // every third picture non-reference, frame_num in 4 bits so that it wraps
  kPocType0,                // picture order count type 2 streams rewritten to type 0 (8-bit lsb)
  kLongTermMarking,         // operation 4 once, then 1 and 6 on every fourth reference picture
};

std::optional<Mode> ModeNamed(const std::string& name);

// The rewritten stream, or nullopt with `error` set.
std::optional<std::vector<uint8_t>> Rewrite(const std::vector<uint8_t>& stream, Mode mode, std::string& error);

}  // namespace h264rewrite
