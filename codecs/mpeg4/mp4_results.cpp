#include "codecs/mpeg4/mp4_decoder.h"

namespace {

struct ResultRow {
  int32_t result;
  bool refusal;
  const char* meaning;
};

constexpr ResultRow kResults[] = {
    {MP4DEC_OK, false, ""},
    {MP4DEC_MACROBLOCK_ERROR, false, "macroblock data damaged"},
    {MP4DEC_ERR_SCALABILITY, true, "scalable VOL"},
    {MP4DEC_ERR_VOL_USER_DATA, false, "VOL followed by user data"},
    {MP4DEC_ERR_DATA_PARTITIONED, true, "data partitioning"},
    {MP4DEC_ERR_UNSUPPORTED_VOL, true, "VOL with sprites, OBMC, newpred, reduced resolution or not 8-bit"},
    {MP4DEC_ERR_COMPLEXITY, true, "complexity estimation header"},
    {MP4DEC_ERR_UNSUPPORTED_VOP, true, "VOP not supported (S-VOP, quantiser or fcode 0, intra DC as AC)"},
    {MP4DEC_ERR_SHAPE, true, "VOL shape not rectangular"},
    {MP4DEC_ERR_MCBPC, false, "invalid MCBPC code"},
    {MP4DEC_ERR_NO_VIDEO_OBJECT, false, "no video object start code"},
    {MP4DEC_ERR_NO_VOP, false, "no VOP start code"},
    {MP4DEC_ERR_NO_VOL, false, "video object without a VOL"},
    {MP4DEC_ERR_SIZE, true, "VOL size differs from the picture size"},
    {MP4DEC_ERR_INTRA_VLC, false, "invalid intra coefficient code"},
    {MP4DEC_ERR_INTER_VLC, false, "invalid inter coefficient code"},
    {MP4DEC_ERR_NO_GOV, false, "no GOV start code"},
    {MP4DEC_ERR_NO_SEQUENCE, false, "no visual object sequence start code"},
    {MP4DEC_ERR_NOT_VIDEO, true, "visual object other than video"},
    {MP4DEC_ERR_VIDEO_PACKETS, true, "video packets (resync markers)"},
    {MP4DEC_B_VOP_SKIPPED, false, "B-VOP skipped"},
    {MP4DEC_NO_REFERENCE, false, "no decoded picture to predict from"},
    {MP4DEC_ERR_ALLOCATION, false, "memory cannot be had"},
};

const ResultRow* Find(int32_t result) {
  for (const ResultRow& row : kResults)
    if (row.result == result) return &row;
  return nullptr;
}

}  // namespace

const char* Mp4Dec_DescribeResult(int32_t result) {
  const ResultRow* row = Find(result);
  return row ? row->meaning : "unknown result";
}

bool Mp4Dec_IsRefusal(int32_t result) {
  const ResultRow* row = Find(result);
  return row && row->refusal;
}
