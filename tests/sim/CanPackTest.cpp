// The simulated CAN pack: its broadcasts and answers byte for byte from the message tables, its writes, its
// faults, and the set-ups that carry it.

#include "sim/CanPack.h"
#include "sim/SimSetups.h"
#include "support/Bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace qv {
namespace {

using sim::CanFrame;
using sim::CanPack;
using test::hex;

QByteArray data(const CanFrame& f) { return QByteArray(reinterpret_cast<const char*>(f.data), 8); }

CanFrame message(uint32_t id, const QByteArray& bytes) {
  CanFrame f;
  f.id = id;
  std::memcpy(f.data, bytes.constData(), static_cast<size_t>(std::min<qsizetype>(bytes.size(), 8)));
  return f;
}

CanFrame request(uint16_t command, uint16_t index, uint8_t value = 0) {
  // clang-format off
  const uint8_t d[8] = {static_cast<uint8_t>(command >> 8), static_cast<uint8_t>(command),
                        static_cast<uint8_t>(index >> 8), static_cast<uint8_t>(index), 0, 0, 0, value};
  // clang-format on
  return message(0x440, QByteArray(reinterpret_cast<const char*>(d), 8));
}

std::vector<CanFrame> ask(CanPack& pack, uint16_t command, uint16_t index) {
  std::vector<CanFrame> out;
  pack.receive(request(command, index), out);
  return out;
}

std::vector<CanFrame> write(CanPack& pack, uint16_t command, uint16_t index, const char* bytes) {
  std::vector<CanFrame> out;
  const QByteArray d = hex(bytes);
  pack.receive(request(command, index, static_cast<uint8_t>(d.size())), out);
  EXPECT_TRUE(out.empty()) << "the pack waits for the data message";
  pack.receive(message(0x441, d), out);
  return out;
}

TEST(CanPack, BroadcastsLittleEndianAtTheirRate) {
  sim::CanPackState s;
  s.commandRegister = 0xC001;
  s.statusRegister = 0x0241;
  s.packVoltage = 10000;
  s.packCurrent = -1000;
  s.rsoc = 80;
  s.energy = 0x01020304;
  s.soh = 9800;
  s.sohEnergy = 500000;
  CanPack pack(s, 100);
  std::vector<CanFrame> out;
  pack.tick(0, out);
  EXPECT_TRUE(out.empty()) << "quiet until spoken to";
  pack.receive(message(0x300, hex("01 5A 00 5A 00 00 00 00")), out);
  EXPECT_TRUE(out.empty()) << "the keep-alive is not answered";
  pack.tick(0, out);
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(out[0].id, 0x400u);
  EXPECT_EQ(data(out[0]), hex("01 C0 41 02 00 00 00 00"));
  EXPECT_EQ(out[1].id, 0x401u);
  EXPECT_EQ(data(out[1]), hex("10 27 00 00 18 FC FF FF"));
  EXPECT_EQ(out[2].id, 0x402u);
  EXPECT_EQ(data(out[2]), hex("50 00 00 00 04 03 02 01"));
  EXPECT_EQ(out[3].id, 0x403u);
  EXPECT_EQ(data(out[3]), hex("48 26 00 00 20 A1 07 00"));
  for (const CanFrame& f : out) EXPECT_EQ(f.length, 8);

  out.clear();
  pack.tick(99, out);
  EXPECT_TRUE(out.empty());
  pack.tick(100, out);
  EXPECT_EQ(out.size(), 4u);
  out.clear();
  pack.tick(10000, out);  // rounds nobody looked for are not made up
  EXPECT_EQ(out.size(), 4u);

  sim::CanPackFaults busy;
  busy.burst = 5;
  pack.setFaults(busy);
  out.clear();
  pack.tick(10100, out);
  EXPECT_EQ(out.size(), 20u);
  EXPECT_EQ(pack.framesSent(), 32);

  pack.setBroadcastPeriod(0);
  out.clear();
  pack.tick(20000, out);
  EXPECT_TRUE(out.empty());
}

TEST(CanPack, AnswersReadsBigEndianFromItsState) {
  sim::CanPackState s;
  s.records[1][16] = 0xB1;
  s.records[1][23] = 0xB8;
  CanPack pack(s);
  struct Case {
    uint16_t command, index;
    const char* value;
  };
  const Case cases[] = {
      // clang-format off
      {0x0001, 1, "51 56 58 34 38 2D 31 33"},  // "QVX48-13"
      {0x0001, 2, "53 34 50 2D 41 30 30 31"},  // "S4P-A001"
      {0x0005, 0, "01 0C 00 00 00 00 00 00"},
      {0x0009, 1, "0D 04 00 00 00 00 00 00"},
      {0x0009, 4, "B6 D0 00 00 00 00 00 00"},
      {0x0009, 5, "28 A0 00 00 00 00 00 00"},
      {0x000A, 2, "30 35 30 37 30 30 30 31"},
      {0x2008, 1, "51 56 31 36 42 43 32 34"},
      {0x1001, 1, "0C E4 0C E5 0C E6 0C E7"},
      {0x1001, 4, "0C F0 00 00 00 00 00 00"},
      {0x1003, 0, "19 1B 00 00 00 00 00 00"},
      {0x1004, 0, "00 01 E2 40 00 00 00 00"},
      {0x1005, 0, "18 05 07 09 05 03 00 00"},
      {0x1008, 0, "00 00 00 39 00 00 00 00"},
      {0x1009, 0, "00 00 20 80 00 00 00 00"},
      {0x200A, 4, "30 30 30 30 30 30 30 31"},
      {0x200B, 0, "00 00 00 00 00 00 00 00"},
      {0x6207, 1, "51 56 33 32 45 45 50 32"},
      {0x6502, 0x203, "B1 00 00 00 00 00 00 B8"},
      // clang-format on
  };
  for (const Case& c : cases) {
    const std::vector<CanFrame> out = ask(pack, c.command, c.index);
    ASSERT_EQ(out.size(), 2u) << c.command << " " << c.index;
    EXPECT_EQ(out[0].id, 0x442u);
    EXPECT_EQ(data(out[0]).left(4), data(request(c.command, c.index)).left(4)) << "the request's command and index";
    EXPECT_EQ(data(out[0]).mid(4), hex("00 00 00 00")) << "status 0";
    EXPECT_EQ(out[1].id, 0x443u);
    EXPECT_EQ(data(out[1]), hex(c.value)) << c.command << " " << c.index;
  }

  // What the pack does not know is refused: a header with status 1 and no data.
  for (const Case& c : {Case{0x0001, 3, ""}, Case{0x1001, 5, ""}, Case{0x6502, 0x100, ""}, Case{0x7777, 0, ""}}) {
    const std::vector<CanFrame> out = ask(pack, c.command, c.index);
    ASSERT_EQ(out.size(), 1u) << c.command << " " << c.index;
    EXPECT_EQ(out[0].data[7], 1);
  }
}

TEST(CanPack, WritesTakeTheirDataMessage) {
  CanPack pack;
  std::vector<CanFrame> out = write(pack, 0x4006, 0, "12 07 03 09 05 07");
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(data(out[0]), hex("40 06 00 00 00 00 00 00"));
  EXPECT_EQ(write(pack, 0x4009, 2, "41 42 43 44 45 46 47 48").size(), 1u);
  EXPECT_EQ(write(pack, 0x4209, 0, "01").size(), 1u);
  const sim::CanPackState s = pack.state();
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(s.clock.data()), 6), hex("12 07 03 09 05 07"));
  EXPECT_EQ(s.barcode32.mid(8, 8), "ABCDEFGH");
  EXPECT_TRUE(s.shippingMode);
  EXPECT_EQ(data(ask(pack, 0x200B, 0)[1]), hex("01 00 00 00 00 00 00 00"));

  // A data message without a request before it is not answered; a command without data is answered at once.
  out.clear();
  pack.receive(message(0x441, hex("01")), out);
  EXPECT_TRUE(out.empty());
  out = ask(pack, 0x4205, 0);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].data[7], 0);
}

TEST(CanPack, Faults) {
  CanPack pack;
  sim::CanPackFaults f;
  f.unanswered = {{0x200A, 3}, {0x4102, CanPack::kAnyIndex}};
  pack.setFaults(f);
  EXPECT_EQ(ask(pack, 0x200A, 2).size(), 2u);
  EXPECT_TRUE(ask(pack, 0x200A, 3).empty());
  EXPECT_TRUE(write(pack, 0x4102, 0, "01").empty());

  f = {};
  f.status = 5;  // refused: header only, and the state stays
  pack.setFaults(f);
  const std::vector<CanFrame> out = write(pack, 0x4209, 0, "01");
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].data[7], 5);
  EXPECT_FALSE(pack.state().shippingMode);
  EXPECT_EQ(ask(pack, 0x1005, 0).size(), 1u);

  f = {};
  f.silent = true;
  pack.setFaults(f);
  EXPECT_TRUE(ask(pack, 0x1005, 0).empty());
  std::vector<CanFrame> broadcasts;  // the pack has been spoken to
  pack.tick(0, broadcasts);
  EXPECT_EQ(broadcasts.size(), 4u);  // a silent pack still broadcasts
}

TEST(CanPack, AppliesTheEraseAndTextWrites) {
  sim::CanPackState s;
  s.records[2][0] = 0xAB;
  CanPack pack(s);
  struct Case {
    uint16_t command, index;
    const char* data;
    uint8_t status;
  };
  const Case cases[] = {
      // clang-format off
      {0x4101, 0, "01", 1}, {0x4101, 0, "00", 0},  // each erase takes only its own data byte
      {0x4102, 0, "02", 1}, {0x4102, 0, "00", 0}, {0x4102, 0, "01", 0},  // the internal erase takes 00 and 01
      {0x4103, 0, "00", 1}, {0x4103, 0, "01", 0},
      {0x4103, 1, "01", 1},
      {0x6207, 2, "41 42 43 44 45 46 47 48", 0}, {0x4009, 4, "31 32 33 34 35 36 37 38", 0},
      {0x4008, 2, "61 62 63 64 00 00 00 00", 0}, {0x4008, 3, "61 62 63 64 00 00 00 00", 1},
      // clang-format on
  };
  for (const Case& c : cases) {
    const std::vector<CanFrame> out = write(pack, c.command, c.index, c.data);
    ASSERT_EQ(out.size(), 1u) << c.command;
    EXPECT_EQ(out[0].data[7], c.status) << c.command << " " << c.data;
  }
  const sim::CanPackState after = pack.state();
  EXPECT_EQ(after.totalChargeCapacity, 0u);
  EXPECT_EQ(after.totalChargeErases, 1);
  EXPECT_EQ(after.internalEepromErases, 2);
  EXPECT_EQ(after.externalEepromErases, 1);
  EXPECT_EQ(after.records[2][0], 0);
  EXPECT_EQ(after.eepBarcode, "QV32EEP2ABCDEFGH0000000000000001");
  EXPECT_EQ(after.barcode32.right(8), "12345678");
  EXPECT_EQ(after.barcode16, QByteArray("QV16BC24abcd\0\0\0\0", 16));
  EXPECT_EQ(data(ask(pack, 0x6207, 2)[1]), hex("41 42 43 44 45 46 47 48"));
}

TEST(CanPack, TakesTheServiceCommandsOnlyWithTheirOwnData) {
  CanPack pack;
  struct Case {
    uint16_t command, index;
    const char* data;
    uint8_t status;
  };
  const Case cases[] = {
      // clang-format off
      {0x4206, 0, "FF FF FF FF FF FF FF 00", 1}, {0x4206, 0, "FF FF FF FF FF FF FF FF", 0},
      {0x4206, 1, "FF FF FF FF FF FF FF FF", 1}, {0x4209, 0, "02", 1},
      {0x4209, 0, "01", 0},
      // clang-format on
  };
  for (const Case& c : cases) {
    const std::vector<CanFrame> out = write(pack, c.command, c.index, c.data);
    ASSERT_EQ(out.size(), 1u) << c.command;
    EXPECT_EQ(out[0].data[7], c.status) << c.command << " " << c.data;
  }
  EXPECT_EQ(pack.state().deepSleeps, 1);
  EXPECT_TRUE(pack.state().shippingMode);
}

TEST(CanPack, CountsTheKeepAlivesWithoutAnsweringThem) {
  CanPack pack(sim::CanPackState{}, 0);
  std::vector<CanFrame> out;
  pack.tick(100, out);
  pack.receive(message(0x300, hex("01 5A 00 5A 00 00 00 00")), out);
  pack.tick(200, out);
  pack.receive(message(0x300, hex("01 5A 00 5A 00 00 00 00")), out);
  CanFrame shortOne = message(0x300, hex("01 5A"));
  shortOne.length = 2;
  pack.receive(shortOne, out);
  EXPECT_TRUE(out.empty());
  const sim::CanKeepAlives k = pack.keepAlives();
  EXPECT_EQ(k.atMs, (std::vector<int64_t>{100, 200, 200}));
  EXPECT_EQ(k.malformed, 1);
}

TEST(CanPack, RefusesOnePartAndAnswersLate) {
  CanPack pack(sim::CanPackState{}, 0);
  sim::CanPackFaults f;
  f.refused = {{0x4009, 3, 2, 0x07}};  // the first two tries of part 3
  f.late = {{0x4101, 0, 150}};
  pack.setFaults(f);
  for (int attempt = 0; attempt < 3; ++attempt) {
    const std::vector<CanFrame> out = write(pack, 0x4009, 3, "41 41 41 41 41 41 41 41");
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].data[7], attempt < 2 ? 0x07 : 0x00) << attempt;
    EXPECT_EQ(pack.state().barcode32.mid(16, 8) == "AAAAAAAA", attempt == 2) << "a refused write is not applied";
  }
  EXPECT_EQ(write(pack, 0x4009, 2, "41 41 41 41 41 41 41 41")[0].data[7], 0) << "only that part";

  std::vector<CanFrame> out;
  pack.tick(1000, out);
  EXPECT_TRUE(write(pack, 0x4101, 0, "00").empty()) << "the answer is held back";
  EXPECT_EQ(pack.state().totalChargeErases, 1) << "the write is applied at once";
  pack.tick(1149, out);
  EXPECT_TRUE(out.empty());
  pack.tick(1150, out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(data(out[0]), hex("41 01 00 00 00 00 00 00"));
}

TEST(CanPack, SetUpsCarryIt) {
  for (const std::string& name : {std::string(), std::string("can")}) {
    auto driver = sim::makeSimDriver(name);
    ASSERT_TRUE(driver) << name;
    ASSERT_EQ(driver->adapters().size(), 1u);
    EXPECT_TRUE(std::dynamic_pointer_cast<CanPack>(driver->adapters()[0]->canNode())) << name;
    EXPECT_EQ(driver->adapters()[0]->pack() != nullptr, name.empty()) << "the serial side of " << name;
  }
  const std::vector<std::string> names = sim::simPackNames();
  EXPECT_NE(std::find(names.begin(), names.end(), "can"), names.end());
}

}  // namespace
}  // namespace qv
