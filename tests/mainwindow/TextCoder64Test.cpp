// The text coder held against a second reading: Qt's own Base64 with its alphabet mapped onto ours and "="
// turned into a space.

#include "mainwindow/TextCoder64.h"

#include <gtest/gtest.h>

#include <random>

static void PrintTo(const QByteArray& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace qv::mainwindow {
namespace {

QByteArray expectedText(const QByteArray& data, bool lineBreaks) {
  static const QByteArray standard = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const QByteArray base64 = data.toBase64();
  QByteArray text;
  for (qsizetype i = 0; i < base64.size(); ++i) {
    text.append(base64[i] == '=' ? ' ' : kText64Alphabet[standard.indexOf(base64[i])]);
    if (lineBreaks && (i + 1) % 76 == 0) text.append("\r\n");
  }
  return text;
}

QByteArray randomBytes(std::mt19937& random, int size) {
  QByteArray bytes(size, '\0');
  for (char& b : bytes) b = static_cast<char>(random() & 0xFF);
  return bytes;
}

int encode(QByteArray& out, const QByteArray& data, bool lineBreaks) { return EncodeText64(out, data, lineBreaks); }
int decode(const QByteArray& text, QByteArray& out) { return DecodeText64(text, out); }

TEST(TextCoder64, EncodesThreeBytesIntoFourSymbolsAndFillsAShortGroupWithSpaces) {
  const struct {
    QByteArray data;
    QByteArray text;
  } cases[] = {
      {"", ""},
      {"Man", "xu8O"},
      {"Ma", "xuq "},
      {"M", "xr  "},
      {QByteArray(3, '\0'), "MMMM"},
      {QByteArray(3, '\xFF'), "vvvv"},
  };
  for (const auto& c : cases) {
    QByteArray out = "left over";
    EXPECT_EQ(encode(out, c.data, true), c.text.size()) << c.data.toHex().toStdString();
    EXPECT_EQ(out, c.text);
    EXPECT_EQ(out.constData()[out.size()], '\0') << "the text ends in a zero byte";
  }
}

TEST(TextCoder64, WithLineBreaksCrLfFollowsEverySeventySixthSymbol) {
  QByteArray out;
  const QByteArray bytes57(57, 'q');
  EXPECT_EQ(encode(out, bytes57, true), 76);
  ASSERT_EQ(out.size(), 78);
  EXPECT_TRUE(out.endsWith("\r\n"));
  EXPECT_EQ(out, expectedText(bytes57, true));

  const QByteArray bytes58(58, 'q');
  EXPECT_EQ(encode(out, bytes58, true), 80);
  ASSERT_EQ(out.size(), 82);
  EXPECT_EQ(out.mid(76, 2), "\r\n");
  EXPECT_TRUE(out.endsWith("  ")) << "the last group of one byte ends in two spaces";
  EXPECT_EQ(out.indexOf('\r', 78), -1) << "no break after 80 symbols";

  EXPECT_EQ(encode(out, bytes58, false), 80);
  EXPECT_EQ(out.size(), 80);
  EXPECT_EQ(out.indexOf('\r'), -1);
}

TEST(TextCoder64, DecodesGroupsAndCountsOneByteLessThanTheSymbolsOfAShortLastGroup) {
  const struct {
    QByteArray text;
    QByteArray data;
  } cases[] = {
      {"", ""},
      {"    ", QByteArray(3, '\0')},
      {"xu8O", "Man"},
      {"xuq ", QByteArray("Ma\0", 3)},
      {"xr  ", QByteArray("M\0\0", 3)},
      {"xu8", "Ma"},
      {"xu", "M"},
      {"x", ""},
      {"xu\r\n8O", "Man"},
      {"\r\nx\ru\n8O\r\n", "Man"},
      {"x!u=8~O\x80\xFF", "Man"},
      {QByteArray("xu8O\0xu8O", 9), "Man"},
      {"xu8Oxu8Oxu", "ManManM"},
  };
  for (const auto& c : cases) {
    QByteArray out = "left over";
    EXPECT_EQ(decode(c.text, out), c.data.size()) << c.text.toStdString();
    EXPECT_EQ(out, c.data) << c.text.toStdString();
  }
}

TEST(TextCoder64, RandomBytesComeBackWithZerosUpToAWholeGroup) {
  std::mt19937 random(20240611);
  for (int size = 0; size <= 240; ++size) {
    const QByteArray data = randomBytes(random, size);
    const QByteArray padded = data + QByteArray((3 - size % 3) % 3, '\0');
    for (const bool lineBreaks : {false, true}) {
      QByteArray text;
      ASSERT_EQ(encode(text, data, lineBreaks), padded.size() / 3 * 4);
      ASSERT_EQ(text, expectedText(data, lineBreaks)) << size;
      QByteArray back;
      ASSERT_EQ(decode(text, back), padded.size()) << size;
      ASSERT_EQ(back, padded) << size;
    }
  }
}

}  // namespace
}  // namespace qv::mainwindow
