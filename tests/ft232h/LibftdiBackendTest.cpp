// What only the libftdi backend does, over the emulated FT232H (what every backend does is in
// tests/platform/DriverTest.cpp): the listing as libusb sees the chip, the chip as an open leaves it and a close
// gives it back, a USB transfer that runs into its time-out, a stream that never pauses, and a purge the chip
// refuses.

#include "platform/Backends.h"
#include "sim/SimDriver.h"
#include "support/WaitFor.h"
#include "usbchip/EmulatedFt232h.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace qv {
namespace {

using namespace platform;

class LibftdiBackend : public ::testing::Test {
 protected:
  void plug(test::EmulatedFt232h::Options options = {}) {
    driver.reset();
    chip.reset();  // one test bed at a time
    chip = std::make_unique<test::EmulatedFt232h>(serial, options);
    driver = makeLibftdiDriver();
  }
  AdapterListRecord listed() {
    uint32_t n = 0;
    EXPECT_EQ(driver->CreateDeviceInfoList(&n), FT_OK);
    EXPECT_EQ(n, 1u);
    AdapterListRecord r{};
    uint32_t capacity = 1;
    EXPECT_EQ(driver->GetDeviceInfoList(&r, &capacity), FT_OK);
    return r;
  }
  void open() {
    ASSERT_EQ(driver->OpenByLocation(chip->locationId(), &handle), FT_OK);
    ASSERT_EQ(driver->SetTimeouts(handle, 300, 50), FT_OK);
  }
  // Bytes from the serial side, and the read of them.
  QByteArray readBytes(uint32_t n) {
    QByteArray buffer(static_cast<int>(n), '\0');
    uint32_t got = 0;
    EXPECT_EQ(driver->Read(handle, buffer.data(), n, &got), FT_OK);
    return buffer.left(static_cast<int>(got));
  }
  FtStatus write(const QByteArray& bytes) {
    uint32_t written = 0;
    return driver->Write(handle, bytes.constData(), static_cast<uint32_t>(bytes.size()), &written);
  }
  // The bytes of the frames the serial side got.
  int framesGot() const { return static_cast<int>(serial->written().size()); }

  sim::SimDriver simDriver;
  std::shared_ptr<sim::SimAdapter> serial = simDriver.addAdapter();
  std::unique_ptr<test::EmulatedFt232h> chip;
  std::unique_ptr<Driver> driver;  // after the chip: it goes first
  FtHandle handle = 0;
};

// A 0x011A frame the adapter takes without answering: something to write.
const QByteArray kSwitch = QByteArray::fromHex("55AA011A0003010203E70D");

TEST_F(LibftdiBackend, ListsTheChipAsLibusbSeesItAtItsPlace) {
  const struct {
    int speedMbps;
    uint32_t flags;  // high speed: 2
  } cases[] = {{480, 2}, {12, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.speedMbps);
    plug({.bus = 3, .ports = "1.4", .speedMbps = c.speedMbps, .serialNumber = "FT9ZZ042"});
    const AdapterListRecord r = listed();
    EXPECT_EQ(r.id, kAcceptedDeviceId);
    EXPECT_EQ(r.type, kDeviceTypeFt232h);
    EXPECT_EQ(r.flags, c.flags);
    EXPECT_EQ(r.locId, 0x03140000u);
    EXPECT_STREQ(r.serialNumber, "FT9ZZ042");
    EXPECT_STREQ(r.description, "Single RS232-HS");
  }
}

// The mode its EEPROM gives it, a short latency timer, nothing stale either way, the kernel's serial driver let go
// of while it is open and given it back at close.
TEST_F(LibftdiBackend, AnOpenSetsTheChipUpAndACloseGivesItBackToTheKernel) {
  plug();
  EXPECT_EQ(chip->seen().kernelDriver, "ftdi_sio");
  open();
  const test::EmulatedFt232h::Seen open = chip->seen();
  EXPECT_TRUE(open.claimed);
  EXPECT_EQ(open.kernelDriver, "usbfs");
  EXPECT_EQ(open.bitMode, 0);
  EXPECT_EQ(open.latencyMs, 2);
  EXPECT_GE(open.rxPurges, 1);
  EXPECT_GE(open.txPurges, 1);
  ASSERT_EQ(driver->Close(handle), FT_OK);
  EXPECT_FALSE(chip->seen().claimed);
  EXPECT_EQ(chip->seen().kernelDriver, "ftdi_sio");
}

// A chip that sends nothing for longer than a USB transfer waits: the transfer ends by its time-out, and the
// adapter still works once the chip sends again.
TEST_F(LibftdiBackend, AUsbTransferThatRunsOutOfTimeIsNoError) {
  plug();
  open();
  chip->setInStalled(true);
  ASSERT_TRUE(test::waitFor([&] { return chip->seen().discards >= 1; }));
  chip->setInStalled(false);
  serial->inject("after");
  EXPECT_EQ(readBytes(5), "after");
  EXPECT_EQ(write(kSwitch), FT_OK);
}

// Bytes that keep coming, one a millisecond, so that every latency period has some: each reaches a read as it
// comes, not once the stream pauses.
TEST_F(LibftdiBackend, AStreamThatNeverPausesReachesReadsAsItComes) {
  plug();
  open();
  // A read waits up to 1 s, time for a loaded machine to bring the first byte, yet short of the 1.5 s the stream
  // lasts.
  ASSERT_EQ(driver->SetTimeouts(handle, 1000, 50), FT_OK);
  chip->setPacing({.bytePeriodUs = 1000});
  serial->inject(QByteArray(1500, 'x'));
  EXPECT_EQ(readBytes(1), "x");
}

// A purge waits for the reader's USB transfer in flight (so that nothing read before it lands after it), not for the
// reader to go idle: the reader, which asks the chip again as soon as a transfer ends, lets it go first.
TEST_F(LibftdiBackend, APurgeWaitsForOneTransferAtMost) {
  plug();
  open();
  ASSERT_EQ(driver->SetTimeouts(handle, 20, 50), FT_OK);
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(readBytes(1), "");  // an exchange under way: the reader asks the chip at its own pace
    const int before = chip->seen().inTransfers;
    ASSERT_EQ(driver->PurgeRx(handle), FT_OK);
    EXPECT_LE(chip->seen().inTransfers - before, 2);
  }
}

// The purge before an exchange refused by the chip: the purge says so, and the exchange's write after it fails
// instead of reading what was left from before; the next exchange goes as usual.
TEST_F(LibftdiBackend, APurgeTheChipRefusesFailsTheExchangeThatAskedForIt) {
  plug();
  open();
  chip->setPurgesFail(true);
  EXPECT_NE(driver->PurgeRx(handle), FT_OK);
  EXPECT_NE(write(kSwitch), FT_OK);
  EXPECT_EQ(framesGot(), 0);
  chip->setPurgesFail(false);
  EXPECT_EQ(driver->PurgeRx(handle), FT_OK);
  EXPECT_EQ(write(kSwitch), FT_OK);
  EXPECT_TRUE(test::waitFor([&] { return framesGot() == 1; }));
}

}  // namespace
}  // namespace qv
