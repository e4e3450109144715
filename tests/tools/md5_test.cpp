// The tools' and tests' MD5 against the test suite of RFC 1321 (A.5), whole
// and fed in pieces.
#include "tools/common/md5.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

struct Vector {
  const char* message;
  const char* digest;
};

constexpr Vector kRfc1321[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

TEST(Md5, DigestsOfTheRfc1321TestSuiteWholeAndInPieces) {
  for (const Vector& v : kRfc1321) {
    const std::string message = v.message;
    EXPECT_EQ(Md5::Hex(message.data(), message.size()), v.digest) << '"' << message << '"';
    for (size_t piece : {1, 7, 64}) {
      Md5 md5;
      for (size_t at = 0; at < message.size(); at += piece)
        md5.Update(message.data() + at, std::min(piece, message.size() - at));
      EXPECT_EQ(md5.FinishHex(), v.digest) << '"' << message << "\" in pieces of " << piece;
    }
  }
}

}  // namespace
