// Texts as files and the pack hold them: the Traditional Chinese ones in Big5, every other byte as itself; and
// the characters the program shows for those bytes.

#include "platform/Text.h"

#include <gtest/gtest.h>

namespace qv::platform {
namespace {

TEST(Big5Text, ChineseInBig5AndEightBitTextsByteForByte) {
  ASSERT_TRUE(big5Available());
  EXPECT_EQ(big5Bytes(QString::fromUtf8("環境溫度")), QByteArray::fromHex("c0f4b9d2b7c5abd7"));
  EXPECT_EQ(big5Bytes(QString::fromUtf8("℃ ")), QByteArray::fromHex("a24a20"));
  // clang-format off
  EXPECT_EQ(big5Bytes(QString::fromUtf8("第3次 , Pass.")), QByteArray("\xB2\xC4" "3\xA6\xB8 , Pass."));
  // clang-format on
  // Characters of the 8-bit range come out as their own byte.
  EXPECT_EQ(big5Bytes(QString::fromLatin1("AB\xA4\xFF\x01")), QByteArray("AB\xA4\xFF\x01"));
  // A character Big5 has no code for is one '?', a pair of surrogates included.
  EXPECT_EQ(big5Bytes(QString::fromUtf8("a😀b")), QByteArray("a?b"));
  EXPECT_EQ(big5Bytes(QString()), QByteArray());
}

TEST(Big5Text, BytesReadAsBig5ComeBackAsTheSameBytes) {
  const struct {
    QByteArray bytes;
    QString shown;
  } cases[] = {
      {QByteArray::fromHex("b1f8bd58") + "123", QString::fromUtf8("條碼123")},
      {"BC-0001", "BC-0001"},
      // Bytes that are no Big5 character of their own: a lead byte at the end or before a byte no pair has,
      // 0x80 and 0xFF, a code Big5 reads as a Latin-1 character (A1B1 is the section sign), and codes that
      // Big5 writes back with another code (A2CC, F9FA).
      {QByteArray::fromHex("41b1"), QString::fromLatin1("A\xB1")},
      {QByteArray::fromHex("b10a"), QString::fromLatin1("\xB1\n")},
      {QByteArray::fromHex("80ff"), QString::fromLatin1("\x80\xFF")},
      {QByteArray::fromHex("a1b1"), QString::fromLatin1("\xA1\xB1")},
      {QByteArray::fromHex("a2cc"), QString::fromLatin1("\xA2\xCC")},
      {QByteArray::fromHex("f9fa"), QString::fromLatin1("\xF9\xFA")},
      // A pair's second byte may be an ASCII letter.
      {QByteArray::fromHex("a4a4a440"), QString::fromUtf8("中一")},
      {{}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes.toHex().toStdString());
    EXPECT_EQ(big5Text(c.bytes), c.shown);
    EXPECT_EQ(big5Bytes(big5Text(c.bytes)), c.bytes);
  }
  // Every pair of bytes comes back as it went.
  for (int lead = 0x80; lead <= 0xFF; ++lead) {
    for (int trail = 0; trail <= 0xFF; ++trail) {
      const QByteArray pair{static_cast<char>(lead), static_cast<char>(trail)};
      ASSERT_EQ(big5Bytes(big5Text(pair)), pair) << pair.toHex().toStdString();
    }
  }
}

TEST(Big5Text, CutOnWholeCharacters) {
  const QString chinese = QString::fromUtf8("測");
  EXPECT_EQ(big5BytesAtMost(QString(40, QLatin1Char('A')), 32), QByteArray(32, 'A'));
  EXPECT_EQ(big5BytesAtMost(QString(17, chinese[0]), 32), big5Bytes(QString(16, chinese[0])));
  EXPECT_EQ(big5BytesAtMost(QString(31, QLatin1Char('A')) + chinese, 32), QByteArray(31, 'A'));
  EXPECT_EQ(big5BytesAtMost(QString::fromUtf8("😀x"), 1), QByteArray("?"));
}

}  // namespace
}  // namespace qv::platform
