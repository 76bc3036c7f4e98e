// The driver's semantics, over the simulated backend: listing, exclusive opens, handles that a close
// invalidates, reads that return on count or time-out, and a pulled cable.

#include "platform/Time.h"
#include "sim/SimDriver.h"
#include "support/TimeScale.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

namespace qv {
namespace {

using namespace platform;

class Echo : public sim::SerialPack {
 public:
  std::vector<QByteArray> answer(const QByteArray& payload, uint16_t expected) override {
    QByteArray a = payload;
    a.resize(expected, 'x');
    return {a};
  }
};

QByteArray request0701(const QByteArray& payload, uint16_t expected) {
  QByteArray covered;
  covered.append("\x07\x01", 2);
  covered.append(static_cast<char>(payload.size() >> 8));
  covered.append(static_cast<char>(payload.size()));
  covered.append(static_cast<char>(expected >> 8));
  covered.append(static_cast<char>(expected));
  covered.append(payload);
  QByteArray f("\x55\xAA", 2);
  f.append(covered);
  f.append(static_cast<char>(sim::checksum(covered)));
  f.append('\x0D');
  return f;
}

TEST(Driver, ListsWithBoundsAndOpensExclusively) {
  sim::SimDriver d;
  d.addAdapter(kAcceptedDeviceId, "A1");
  d.addAdapter(0x04036001, "0123456789ABCDEFGHIJ");  // a serial longer than its field is cut
  uint32_t n = 0;
  ASSERT_EQ(d.CreateDeviceInfoList(&n), FT_OK);
  ASSERT_EQ(n, 2u);
  AdapterListRecord list[1] = {};
  uint32_t capacity = 1;
  ASSERT_EQ(d.GetDeviceInfoList(list, &capacity), FT_OK);
  EXPECT_EQ(capacity, 1u);  // never more than the caller has room for
  EXPECT_EQ(list[0].id, kAcceptedDeviceId);
  AdapterListRecord both[2] = {};
  capacity = 2;
  ASSERT_EQ(d.GetDeviceInfoList(both, &capacity), FT_OK);
  EXPECT_EQ(std::strlen(both[1].serialNumber), 15u);

  FtHandle h = 0;
  ASSERT_EQ(d.OpenByLocation(both[0].locId, &h), FT_OK);
  FtHandle second = 77;
  EXPECT_NE(d.OpenByLocation(both[0].locId, &second), FT_OK);
  EXPECT_EQ(second, 77u);  // a failed open leaves the caller's handle alone
  EXPECT_NE(d.OpenByLocation(0xDEAD, &second), FT_OK);
  EXPECT_EQ(d.Close(h), FT_OK);
  uint32_t got = 0;
  uint8_t buf[4];
  EXPECT_NE(d.Read(h, buf, 4, &got), FT_OK);  // closed handles fail cleanly
  EXPECT_NE(d.Write(h, buf, 4, &got), FT_OK);
  EXPECT_NE(d.Close(h), FT_OK);
  EXPECT_EQ(d.OpenByLocation(both[0].locId, &h), FT_OK);  // and the device can be opened again
}

TEST(Driver, ReadReturnsOnCountOrTimeoutAndKeepsTheRest) {
  test::ScopedTimeScale fast(0.05);
  sim::SimDriver d;
  auto adapter = d.addAdapter();
  adapter->setPack(std::make_shared<Echo>());
  FtHandle h = 0;
  ASSERT_EQ(d.OpenByLocation(adapter->record().locId, &h), FT_OK);
  ASSERT_EQ(d.SetTimeouts(h, 100, 50), FT_OK);

  const QByteArray req = request0701("X", 74);
  uint32_t n = 0;
  ASSERT_EQ(d.Write(h, req.constData(), static_cast<uint32_t>(req.size()), &n), FT_OK);
  EXPECT_EQ(n, static_cast<uint32_t>(req.size()));

  uint8_t buf[512] = {};
  ASSERT_EQ(d.Read(h, buf, 10, &n), FT_OK);  // the count is there: no wait for the rest
  EXPECT_EQ(n, 10u);
  EXPECT_EQ(buf[0], 0x55);
  ASSERT_EQ(d.Read(h, buf, 312, &n), FT_OK);  // fewer than asked by the time-out: a success with fewer bytes
  EXPECT_EQ(n, 82u - 10u);
  EXPECT_EQ(buf[n - 1], 0x0D);

  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_EQ(d.Read(h, buf, 1, &n), FT_OK);  // nothing comes: the time-out ends the read
  EXPECT_EQ(n, 0u);
  EXPECT_GE(std::chrono::steady_clock::now() - t0, scaled(100) - std::chrono::milliseconds(1));

  ASSERT_EQ(d.Write(h, req.constData(), static_cast<uint32_t>(req.size()), &n), FT_OK);
  ASSERT_EQ(d.PurgeRx(h), FT_OK);
  ASSERT_EQ(d.Read(h, buf, 1, &n), FT_OK);
  EXPECT_EQ(n, 0u);
}

TEST(Driver, PulledCableFailsTheNextCallWithoutHanging) {
  test::ScopedTimeScale fast(0.05);
  sim::SimDriver d;
  auto adapter = d.addAdapter();
  FtHandle h = 0;
  ASSERT_EQ(d.OpenByLocation(adapter->record().locId, &h), FT_OK);
  ASSERT_EQ(d.SetTimeouts(h, 100000, 50), FT_OK);  // a long time-out must not matter
  adapter->unplug();
  uint8_t buf[8];
  uint32_t n = 0;
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_NE(d.Read(h, buf, 8, &n), FT_OK);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
  EXPECT_NE(d.Write(h, buf, 8, &n), FT_OK);
  uint32_t count = 9;
  ASSERT_EQ(d.CreateDeviceInfoList(&count), FT_OK);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(d.Close(h), FT_OK);
}

}  // namespace
}  // namespace qv
