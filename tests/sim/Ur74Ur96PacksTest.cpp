#include "sim/CompositePack.h"
#include "sim/SimSetups.h"
#include "sim/Ur2Pack.h"
#include "sim/Ur74Pack.h"
#include "sim/Ur96Pack.h"
#include "support/Bytes.h"
#include "support/TimeScale.h"

#include <gtest/gtest.h>

#include <algorithm>

// Failures show texts, not their bytes.
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace qv::sim {
namespace {

const QByteArray kUr74Query = test::hex("55 AA 07 01 00 01 00 4A 58 EA 0D");
const QByteArray kUr96Query = test::hex("55 AA 07 01 00 03 00 60 26 0D 0A BB 0D");
// The UR2 probe: pack frame 0x1006 in a 0x0701 frame of L 13, E 13.
const QByteArray kUr2Probe = test::hex("55 AA 07 01 00 0D 00 0D 40 00 01 10 06 00 00 00 00 00 00 57 0D F4 0D");

// One simulated adapter, opened; what a written frame brings back.
class UrPacks : public ::testing::Test {
 protected:
  void SetUp() override {
    adapter_ = driver_.addAdapter();
    ASSERT_EQ(driver_.OpenByLocation(adapter_->record().locId, &handle_), platform::FT_OK);
    driver_.SetTimeouts(handle_, 100, 100);
  }
  QByteArray exchange(const QByteArray& request) {
    uint32_t n = 0;
    EXPECT_EQ(driver_.Write(handle_, request.constData(), static_cast<uint32_t>(request.size()), &n), platform::FT_OK);
    QByteArray reply(512, '\0');
    EXPECT_EQ(driver_.Read(handle_, reply.data(), 512, &n), platform::FT_OK);
    return reply.left(n);
  }

  test::ScopedTimeScale fast_{0.02};
  SimDriver driver_;
  std::shared_ptr<SimAdapter> adapter_;
  platform::FtHandle handle_ = 0;
};

uint8_t byteSum(const QByteArray& r) {
  uint8_t sum = 0;
  for (int i = 1; i <= 94; ++i) sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(r[i]));
  return sum;
}

TEST_F(UrPacks, EachPackAnswersItsOwnQueryOnly) {
  auto ur74 = std::make_shared<Ur74Pack>();
  adapter_->setPack(ur74);
  const QByteArray reply74 = exchange(kUr74Query);
  ASSERT_EQ(reply74.size(), 74 + 8);
  EXPECT_EQ(reply74.left(6), test::hex("55 AA 07 02 00 4A"));
  EXPECT_EQ(reply74.mid(6, 74), ur74->record());
  EXPECT_EQ(reply74[6], '!');
  EXPECT_TRUE(exchange(kUr96Query).isEmpty());
  EXPECT_TRUE(exchange(kUr2Probe).isEmpty());

  auto ur96 = std::make_shared<Ur96Pack>();
  adapter_->setPack(ur96);
  const QByteArray reply96 = exchange(kUr96Query);
  ASSERT_EQ(reply96.size(), 104);
  EXPECT_EQ(reply96.left(6), test::hex("55 AA 07 02 00 60"));
  const QByteArray record = reply96.mid(6, 96);
  EXPECT_EQ(record[0], 'J');
  EXPECT_EQ(static_cast<uint8_t>(record[95]), byteSum(record));
  EXPECT_EQ(static_cast<uint8_t>(reply96[102]), checksum(reply96.mid(2, 100)));
  EXPECT_TRUE(exchange(kUr74Query).isEmpty());
  EXPECT_TRUE(exchange(kUr2Probe).isEmpty());
}

TEST_F(UrPacks, Ur96RecordFromThePackState) {
  Ur96State s;
  s.soh = 98;
  s.rsoc = 76;
  s.cycles = 0x0102;
  s.designCapacity = 0x03040506;
  s.totalCharge = 0x0708090A0B0C;
  s.currentMa = -500;
  s.firmwareId = "QV13";
  s.firmwareVersion = 0x0104;
  s.parallel = 2;
  s.temperatures = {-20, 0, 5};
  s.serial = "SN1";
  s.tail[0] = 0xAB;
  const QByteArray r = Ur96Pack(s).record();
  ASSERT_EQ(r.size(), 96);
  EXPECT_EQ(test::hexText(r.mid(1, 14)), "62 4C 01 02 03 04 05 06 07 08 09 0A 0B 0C");
  EXPECT_EQ(test::hexText(r.mid(23, 4)), "FF FF FE 0C");
  EXPECT_EQ(r.mid(31, 12), "QV13        ");
  EXPECT_EQ(test::hexText(r.mid(43, 4)), "01 04 00 02");
  EXPECT_EQ(test::hexText(r.mid(50, 3)), "EC 00 05");
  EXPECT_EQ(r.mid(56, 8), QByteArray("SN1\0\0\0\0\0", 8));
  EXPECT_EQ(static_cast<uint8_t>(r[64]), 0xAB);
}

TEST_F(UrPacks, Faults) {
  auto ur96 = std::make_shared<Ur96Pack>();
  adapter_->setPack(ur96);
  ur96->setFaults({true, 0});
  QByteArray reply = exchange(kUr96Query);
  ASSERT_EQ(reply.size(), 104);
  EXPECT_NE(static_cast<uint8_t>(reply[6 + 95]), byteSum(reply.mid(6, 96)));
  EXPECT_EQ(static_cast<uint8_t>(reply[102]), checksum(reply.mid(2, 100)));  // the adapter's frame is sound
  ur96->setFaults({false, 5});
  reply = exchange(kUr96Query);
  ASSERT_EQ(reply.size(), 91 + 8);
  EXPECT_EQ(reply.left(6), test::hex("55 AA 07 02 00 5B"));

  auto ur74 = std::make_shared<Ur74Pack>();
  ur74->setFaults({30});
  adapter_->setPack(ur74);
  EXPECT_EQ(exchange(kUr74Query).size(), 44 + 8);
}

TEST(SimSetups, UrPacksByNameAndUr96ByDefault) {
  const std::vector<std::string> names = simPackNames();
  for (const char* name : {"", "ur74", "ur96"}) {
    EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
  }
  EXPECT_EQ(makeSimDriver("no such pack"), nullptr);
  const auto packOf = [](const std::string& name) { return makeSimDriver(name)->adapters().at(0)->pack(); };
  // The UR96 pack answers its record and, for the cells of the UR96 poll, pack frames.
  for (const char* name : {"", "ur96"}) {
    const auto pack = std::dynamic_pointer_cast<CompositePack>(packOf(name));
    ASSERT_NE(pack, nullptr) << name;
    ASSERT_EQ(pack->members().size(), 2u);
    EXPECT_NE(std::dynamic_pointer_cast<Ur96Pack>(pack->members()[0]), nullptr);
    EXPECT_NE(std::dynamic_pointer_cast<Ur2Pack>(pack->members()[1]), nullptr);
  }
  EXPECT_NE(std::dynamic_pointer_cast<Ur74Pack>(packOf("ur74")), nullptr);
}

}  // namespace
}  // namespace qv::sim
