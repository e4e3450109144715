// The progressive I/P ITU-T H.264.1 conformance streams against FFmpeg's
// per-frame md5s of the same streams.
#include <gtest/gtest.h>

#include "tests/codecs/h264/avc_test_support.h"
#include "tests/support/frame_md5s.h"
#include "tests/support/test_support.h"

namespace {

struct ConformanceCase {
  const char* name;
  uint32_t widthInMbs;
  uint32_t heightInMbs;
};

class Conformance : public testing::TestWithParam<ConformanceCase> {};

TEST_P(Conformance, PicturesMatchTheReferenceMd5s) {
  const ConformanceCase& c = GetParam();
  ORLENTA_REQUIRE_TESTDATA(stream, std::string("h264/") + c.name);
  ORLENTA_REQUIRE_TESTDATA(listing, std::string("h264_framemd5/") + c.name + ".framemd5");
  const auto expected = testing_support::ReadFrameMd5s(listing);
  ASSERT_FALSE(expected.empty());
  const std::vector<std::string> decoded = avc_test::DecodeFileMd5(stream, c.widthInMbs, c.heightInMbs);
  ASSERT_EQ(decoded.size(), expected.size());
  for (size_t i = 0; i < decoded.size(); ++i) EXPECT_EQ(decoded[i], expected[i]) << "picture " << i;
}

INSTANTIATE_TEST_SUITE_P(Streams, Conformance,
                         testing::Values(ConformanceCase{"BA1_Sony_D.jsv", 11, 9},
                                         ConformanceCase{"BAMQ1_JVC_C.264", 11, 9},
                                         ConformanceCase{"BASQP1_Sony_C.jsv", 11, 9},
                                         ConformanceCase{"CVPCMNL1_SVA_C.264", 22, 18},
                                         ConformanceCase{"NL1_Sony_D.jsv", 11, 9},
                                         ConformanceCase{"NLMQ1_JVC_C.264", 11, 9},
                                         ConformanceCase{"SVA_BA1_B.264", 11, 9},
                                         ConformanceCase{"SVA_NL1_B.264", 11, 9},
                                         ConformanceCase{"BA1_FT_C.264", 22, 18},
                                         ConformanceCase{"BAMQ2_JVC_C.264", 11, 9},
                                         ConformanceCase{"BANM_MW_D.264", 11, 9},
                                         ConformanceCase{"BA_MW_D.264", 11, 9},
                                         ConformanceCase{"CI1_FT_B.264", 22, 18},
                                         ConformanceCase{"CI_MW_D.264", 11, 9},
                                         ConformanceCase{"CVFC1_Sony_C.jsv", 22, 18},
                                         ConformanceCase{"LS_SVA_D.264", 11, 9},
                                         ConformanceCase{"MIDR_MW_D.264", 11, 9},
                                         ConformanceCase{"MPS_MW_A.264", 11, 9},
                                         ConformanceCase{"MR1_BT_A.h264", 11, 9},
                                         ConformanceCase{"MR1_MW_A.264", 11, 9},
                                         ConformanceCase{"MR2_MW_A.264", 11, 9},
                                         ConformanceCase{"MR2_TANDBERG_E.264", 11, 9},
                                         ConformanceCase{"NLMQ2_JVC_C.264", 11, 9},
                                         ConformanceCase{"NRF_MW_E.264", 11, 9},
                                         ConformanceCase{"SVA_BA2_D.264", 11, 9},
                                         ConformanceCase{"SVA_Base_B.264", 11, 9},
                                         ConformanceCase{"SVA_CL1_E.264", 11, 9},
                                         ConformanceCase{"SVA_FM1_E.264", 11, 9},
                                         ConformanceCase{"SVA_NL2_E.264", 11, 9}),
                         [](const testing::TestParamInfo<ConformanceCase>& info) {
                           std::string name = info.param.name;
                           for (char& ch : name) {
                             if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return name;
                         });

}  // namespace
