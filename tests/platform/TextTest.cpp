// Texts as files hold them: the 8-bit texts byte for byte, the Traditional Chinese ones in Big5.

#include "platform/Text.h"

#include <gtest/gtest.h>

namespace qv::platform {
namespace {

TEST(Big5Text, ChineseInBig5AndEightBitTextsByteForByte) {
  ASSERT_TRUE(big5Available());
  EXPECT_EQ(big5Bytes(QString::fromUtf8("環境溫度")), QByteArray::fromHex("c0f4b9d2b7c5abd7"));
  EXPECT_EQ(big5Bytes(QString::fromUtf8("℃ ")), QByteArray::fromHex("a24a20"));
  EXPECT_EQ(big5Bytes(QString::fromUtf8("第3次 , Pass.")), QByteArray("\xB2\xC4" "3\xA6\xB8 , Pass."));
  // A text from the pack, kept as Latin-1, comes out as the bytes it came in as.
  EXPECT_EQ(big5Bytes(QString::fromLatin1("AB\xA4\xFF\x01")), QByteArray("AB\xA4\xFF\x01"));
  // A character Big5 has no code for is one '?', a pair of surrogates included.
  EXPECT_EQ(big5Bytes(QString::fromUtf8("a😀b")), QByteArray("a?b"));
  EXPECT_EQ(big5Bytes(QString()), QByteArray());
}

}  // namespace
}  // namespace qv::platform
