// The simulated UR2 pack: the frames it answers with, the writes it keeps and acknowledges, what it leaves
// unanswered, and its faults.

#include "sim/SimSetups.h"
#include "sim/Ur2Pack.h"
#include "support/Bytes.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::hex;

// A request frame written out from the frame table: 40 00 kind, eight bytes, XOR, 0D.
QByteArray request(uint8_t kind, const char* message) {
  QByteArray f("\x40\x00", 2);
  f.append(static_cast<char>(kind));
  f.append(hex(message));
  uint8_t x = 0;
  for (char c : f) x ^= static_cast<uint8_t>(c);
  f.append(static_cast<char>(x));
  f.append('\x0D');
  return f;
}

QByteArray read(uint16_t id, uint16_t index) {
  const QByteArray message = QByteArray::number(id, 16).rightJustified(4, '0') +
                             QByteArray::number(index, 16).rightJustified(4, '0') + "00000000";
  return request(1, message.constData());
}

std::vector<QByteArray> answers(sim::Ur2Pack& pack, const QByteArray& frame) { return pack.answer(frame, 13); }

TEST(Ur2Pack, AnswersEachPolledMessageFromItsState) {
  sim::Ur2Pack pack;
  const struct {
    uint16_t id;
    uint16_t index;
    const char* header;
    const char* data;
  } cases[] = {
      {0x1001, 2, "40 00 03 10 01 00 02 00 00 00 00 50 0D", "40 00 04 0C E9 0C EA 0C EB 0C EC 40 0D"},
      {0x1001, 4, "40 00 03 10 01 00 04 00 00 00 00 56 0D", "40 00 04 0C F1 00 00 00 00 00 00 B9 0D"},
      {0x0001, 2, "40 00 03 00 01 00 02 00 00 00 00 40 0D", "40 00 04 51 56 55 32 2D 31 33 53 58 0D"},
      {0x0005, 0, "40 00 03 00 05 00 00 00 00 00 00 46 0D", "40 00 04 01 0A 00 00 00 00 00 00 4F 0D"},
      {0x0009, 1, "40 00 03 00 09 00 01 00 00 00 00 4B 0D", "40 00 04 0D 04 00 00 00 00 00 00 4D 0D"},
      {0x0009, 2, "40 00 03 00 09 00 02 00 00 00 00 48 0D", "40 00 04 00 00 00 00 00 00 26 48 2A 0D"},
      {0x1003, 0, "40 00 03 10 03 00 00 00 00 00 00 50 0D", "40 00 04 19 FD 00 00 00 00 00 00 A0 0D"},
      {0x1004, 0, "40 00 03 10 04 00 00 00 00 00 00 57 0D", "40 00 04 00 00 00 01 00 00 00 00 45 0D"},
      {0x1005, 0, "40 00 03 10 05 00 00 00 00 00 00 56 0D", "40 00 04 18 05 06 07 08 09 00 00 59 0D"},
      {0x2001, 1, "40 00 03 20 01 00 01 00 00 00 00 63 0D", "40 00 04 53 4E 31 32 33 34 35 36 5E 0D"},
      {0x200A, 4, "40 00 03 20 0A 00 04 00 00 00 00 6D 0D", "40 00 04 38 39 41 42 43 44 45 46 42 0D"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    const auto got = answers(pack, read(c.id, c.index));
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(test::hexText(got[0]), test::hexText(hex(c.header)));
    EXPECT_EQ(test::hexText(got[1]), test::hexText(hex(c.data)));
  }
  for (auto [id, index] : {std::pair{0x1002, 0}, {0x1006, 0}, {0x1007, 0}, {0x200B, 0}}) {
    EXPECT_EQ(answers(pack, read(static_cast<uint16_t>(id), static_cast<uint16_t>(index))).size(), 2u) << id;
  }
}

TEST(Ur2Pack, AnswersTheVariantProbe) {
  sim::Ur2Pack pack;
  const auto got = answers(pack, hex("40 00 01 10 06 00 00 00 00 00 00 57 0D"));
  ASSERT_EQ(got.size(), 2u);
  const QByteArray& first = got[0];
  ASSERT_EQ(first.size(), 13);
  uint8_t x = 0;
  for (int i = 0; i < 11; ++i) x ^= static_cast<uint8_t>(first[i]);
  EXPECT_EQ(static_cast<uint8_t>(first[0]), 0x40);
  EXPECT_EQ(static_cast<uint8_t>(first[11]), x);
  EXPECT_GE(first[4], 1);
  EXPECT_LE(first[4], 100);
}

TEST(Ur2Pack, LeavesUnknownAndBrokenRequestsUnanswered) {
  sim::Ur2PackState state;
  state.answersBarcode32 = false;
  sim::Ur2Pack pack(state);
  QByteArray badCheck = read(0x1001, 1);
  badCheck[11] = static_cast<char>(badCheck[11] ^ 1);
  for (const QByteArray& frame : {read(0x0001, 1), read(0x1001, 5), read(0x6600, 0), read(0x200A, 1), read(0x6207, 1),
                                  read(0x2008, 1), badCheck, QByteArray("X"), hex("26 0D 0A")}) {
    EXPECT_TRUE(answers(pack, frame).empty()) << test::hexText(frame).toStdString();
  }
}

TEST(Ur2Pack, WritesAreKeptAndAcknowledgedByAHeader) {
  sim::Ur2Pack pack;
  const struct {
    const char* command;
    const char* data;
  } writes[] = {
      // clang-format off
      {"40 01 00 00 00 00 00 08", "31 32 33 00 00 00 00 00"},
      {"42 09 00 00 00 00 00 01", "01 00 00 00 00 00 00 00"},
      {"40 06 00 00 00 00 00 06", "12 07 03 09 05 07 00 00"},
      {"40 09 00 02 00 00 00 08", "41 42 43 00 00 00 00 00"},
      {"41 03 00 00 00 00 00 01", "01 00 00 00 00 00 00 00"},
      // clang-format on
  };
  for (const auto& w : writes) {
    SCOPED_TRACE(w.command);
    EXPECT_TRUE(answers(pack, request(1, w.command)).empty());
    const auto ack = answers(pack, request(2, w.data));
    ASSERT_EQ(ack.size(), 1u);
    EXPECT_EQ(ack[0].mid(2, 9), hex(w.command).left(4).prepend('\x03') + hex("00 00 00 00"));
  }
  const sim::Ur2PackState s = pack.state();
  EXPECT_EQ(s.serial, QByteArray("123"));
  EXPECT_TRUE(s.shippingMode);
  EXPECT_EQ(s.clock, (std::array<uint8_t, 6>{0x12, 7, 3, 9, 5, 7}));
  EXPECT_EQ(s.barcode32.mid(8, 8), hex("41 42 43 00 00 00 00 00"));
  EXPECT_EQ(s.barcode32.left(8), QByteArray("QV2024BA"));
  EXPECT_EQ(s.eepromErases, 1);

  // A data frame with no write before it, or after a read, is not acknowledged.
  EXPECT_TRUE(answers(pack, request(2, "01 00 00 00 00 00 00 00")).empty());
  answers(pack, read(0x1005, 0));
  EXPECT_TRUE(answers(pack, request(2, "01 00 00 00 00 00 00 00")).empty());
}

TEST(Ur2Pack, FaultsOnDemand) {
  sim::Ur2Pack pack;
  pack.setFaults({.silent = true});
  EXPECT_TRUE(answers(pack, read(0x1001, 1)).empty());

  pack.setFaults({.badCheck = true});
  for (const QByteArray& f : answers(pack, read(0x1001, 1))) {
    uint8_t x = 0;
    for (int i = 0; i < 11; ++i) x ^= static_cast<uint8_t>(f[i]);
    EXPECT_NE(static_cast<uint8_t>(f[11]), x);
  }

  pack.setFaults({.status = 2});
  EXPECT_EQ(static_cast<uint8_t>(answers(pack, read(0x1001, 1))[0][10]), 2);

  // One message refused, the others answered; the refused write is not kept.
  pack.setFaults({.status = 1, .refused = 0x4209});
  EXPECT_EQ(static_cast<uint8_t>(answers(pack, read(0x1001, 1))[0][10]), 0);
  answers(pack, request(1, "42 09 00 00 00 00 00 01"));
  EXPECT_EQ(static_cast<uint8_t>(answers(pack, request(2, "01 00 00 00 00 00 00 00"))[0][10]), 1);
  EXPECT_FALSE(pack.state().shippingMode);

  // Frames lost on the line: the write they began is never seen, the next one is.
  pack.setFaults({.lostFrames = 2});
  EXPECT_TRUE(answers(pack, request(1, "41 03 00 00 00 00 00 01")).empty());
  EXPECT_TRUE(answers(pack, request(2, "01 00 00 00 00 00 00 00")).empty());
  EXPECT_TRUE(answers(pack, request(1, "41 03 00 00 00 00 00 01")).empty());
  EXPECT_EQ(answers(pack, request(2, "01 00 00 00 00 00 00 00")).size(), 1u);
  EXPECT_EQ(pack.state().eepromErases, 1);
}

TEST(Ur2Pack, SleepsWhenAskedAndStaysSilentOnDemand) {
  for (uint16_t message : {0x4205, 0x4206}) {
    SCOPED_TRACE(message);
    sim::Ur2Pack pack;
    EXPECT_TRUE(answers(pack, read(message, 0)).empty());
    EXPECT_EQ(pack.state().sleptOn, message);
    EXPECT_EQ(answers(pack, read(0x1005, 0)).size(), 2u);  // woken by the next request
    pack.setFaults({.silentAsleep = true});
    EXPECT_TRUE(answers(pack, read(0x1005, 0)).empty());
  }
}

TEST(Ur2Pack, IsASimulatedSetUp) {
  auto driver = sim::makeSimDriver("ur2");
  ASSERT_NE(driver, nullptr);
  EXPECT_NE(std::dynamic_pointer_cast<sim::Ur2Pack>(driver->adapters().at(0)->pack()), nullptr);
  const auto names = sim::simPackNames();
  EXPECT_NE(std::find(names.begin(), names.end(), "ur2"), names.end());
}

}  // namespace
}  // namespace qv
