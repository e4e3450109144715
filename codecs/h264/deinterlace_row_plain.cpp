#include "codecs/h264/deinterlace_row.h"

namespace avc {

void DeinterlaceRowPlain(const DeinterlaceRowJob& job) {
  for (int x = 0; x < job.width; x += 2) DeinterlacePair(job, x);
  FinishDeinterlacedRows(job);
}

}  // namespace avc
