// The fixture's measurement answers as the reader takes them, the SOC text, and the barcode write buffer.

#include "commands/FixtureCommands.h"
#include "commands/UrBarcodeCommands.h"
#include "support/Bytes.h"

#include <gtest/gtest.h>

#include <optional>

namespace qv {
namespace {

using test::hex;

// 0xFF minus the XOR of bytes 2 to 5 + L: the CHK a well-made answer carries.
QByteArray sealed(QByteArray frame) {
  uint8_t x = 0;
  for (int i = 2; i < frame.size() - 2; ++i) x ^= static_cast<uint8_t>(frame[i]);
  frame[frame.size() - 2] = static_cast<char>(0xFF ^ x);
  return frame;
}

std::optional<commands::FixtureReply> parse(const QByteArray& bytes, int got = -1) {
  return commands::ParseFixtureReply(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                     got < 0 ? static_cast<size_t>(bytes.size()) : static_cast<size_t>(got));
}

TEST(ParseFixtureReply, AcceptsOnlyAWholeFrameOfItsChannel) {
  const QByteArray ch3 = sealed(hex("55 AA 01 19 00 06 00 03 00 00 0C E4 00 0D"));
  QByteArray wrongChk = ch3;
  wrongChk[12] = static_cast<char>(wrongChk[12] ^ 0x5A);
  QByteArray noTerminator = ch3;
  noTerminator[13] = 0x0C;
  const QByteArray samples = sealed(hex("55 AA 01 19 00 18 00 06 0E 74 0E 7E 0E 6A 0E 79 0E 76 00 32 0E 72 0E 75 "
                                        "0E 73 0E 78 0E 77 00 0D"));
  const struct Case {
    const char* name;
    QByteArray bytes;
    int got;  // what the read delivered (-1: all of it)
    std::optional<uint16_t> channel;
  } cases[] = {
      {"channel 3 of the frame table", ch3, -1, 3},
      {"a wrong checksum is not examined", wrongChk, -1, 3},
      {"a longer value field: L above 6", sealed(hex("55 AA 01 19 00 07 00 05 00 00 0C E4 99 00 0D")), -1, 5},
      {"bytes after the frame", ch3 + hex("55 AA"), -1, 3},
      {"byte 7 + L is not 0D", noTerminator, -1, std::nullopt},
      {"the terminator not read", ch3, 13, std::nullopt},
      {"cut in the middle", ch3, 9, std::nullopt},
      {"L beyond what was read", sealed(hex("55 AA 01 19 01 00 00 03 00 00 0C E4 00 0D")), -1, std::nullopt},
      {"L too short for a value", sealed(hex("55 AA 01 19 00 05 00 03 00 00 0C 00 0D")), -1, std::nullopt},
      {"a channel the fixture does not have", sealed(hex("55 AA 01 19 00 06 00 07 00 00 0C E4 00 0D")), -1,
       std::nullopt},
      {"a pass-through reply type", sealed(hex("55 AA 07 02 00 06 00 03 00 00 0C E4 00 0D")), -1, std::nullopt},
      {"no 55 AA", sealed(hex("55 AB 01 19 00 06 00 03 00 00 0C E4 00 0D")), -1, std::nullopt},
      {"two bytes", hex("55 AA"), -1, std::nullopt},
      {"nothing", QByteArray(), -1, std::nullopt},
      {"eleven samples", samples, -1, 6},
      {"samples with L 23",
       sealed(hex("55 AA 01 19 00 17 00 06 0E 74 0E 7E 0E 6A 0E 79 0E 76 00 32 0E 72 0E 75 "
                  "0E 73 0E 78 0E 77 00 0D")),
       -1, std::nullopt},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    const std::optional<commands::FixtureReply> reply = parse(k.bytes, k.got);
    ASSERT_EQ(reply.has_value(), k.channel.has_value());
    if (reply) {
      EXPECT_EQ(reply->channel, *k.channel);
    }
  }
  EXPECT_EQ(parse(ch3)->value, 3300u);
  EXPECT_EQ(parse(sealed(hex("55 AA 01 19 00 06 00 04 FF FF FF FF 00 0D")))->value, 4294967295u);
  const commands::SocSampleBytes expected{0x0E, 0x74, 0x0E, 0x7E, 0x0E, 0x6A, 0x0E, 0x79, 0x0E, 0x76, 0x00,
                                          0x32, 0x0E, 0x72, 0x0E, 0x75, 0x0E, 0x73, 0x0E, 0x78, 0x0E, 0x77};
  EXPECT_EQ(parse(samples)->samples, expected);
}

TEST(SocVoltText, RoundsHalfUpToHundredthsOfAVolt) {
  const struct {
    uint32_t mv;
    const char* text;
  } cases[] = {{3700, "3.70"}, {3704, "3.70"}, {3705, "3.71"}, {3709, "3.71"},   {0, "0.00"},
               {4, "0.00"},    {5, "0.01"},    {995, "1.00"},  {65535, "65.54"}, {12345, "12.35"}};
  for (const auto& k : cases) EXPECT_EQ(commands::SocVoltText(k.mv), k.text) << k.mv;
}

TEST(BarcodeWriteBuffer, HoldsTheFirst32BytesOfTheTextAndZerosAfterIt) {
  std::array<uint8_t, 32> abc{'A', 'B', 'C'};
  EXPECT_EQ(commands::BarcodeWriteBuffer("ABC"), abc);
  EXPECT_EQ(commands::BarcodeWriteBuffer(""), (std::array<uint8_t, 32>{}));
  const QString forty = QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ!@#$");
  const std::array<uint8_t, 32> cut = commands::BarcodeWriteBuffer(forty);
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(cut.data()), 32), forty.left(32).toLatin1());
  // 8-bit characters go out as their byte.
  EXPECT_EQ(commands::BarcodeWriteBuffer(QString::fromLatin1("\xE9")).front(), 0xE9);
}

}  // namespace
}  // namespace qv
