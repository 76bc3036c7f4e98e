// The driver's semantics, one suite over every backend with an adapter plugged in: the simulated adapter, the tty
// backend over a pseudo-terminal (the test holds the master side, where an emulator of the adapter would sit),
// and the libftdi backend over an emulated FT232H below libusb. Listing, exclusive opens, handles that a close
// invalidates, reads that return on count or time-out and keep the rest, purges, a pulled cable and the same
// socket again. For the two real backends, the reasons an open fails and a pull, each one line on standard
// error naming the node.

#include "PtyPair.h"
#include "platform/Backends.h"
#include "sim/SimDriver.h"
#include "support/OrdinaryUser.h"
#include "support/StderrLines.h"
#include "usbchip/EmulatedFt232h.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {
namespace {

using namespace platform;

// 0x0701 request frame with its CHK: what the simulated adapter takes as one frame.
QByteArray request0701(const QByteArray& payload, uint16_t expected) {
  QByteArray covered("\x07\x01", 2);
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

QByteArray everyByte() {
  QByteArray all;
  for (int i = 0; i < 256; ++i) all.append(static_cast<char>(i));
  return all;
}

// One backend with one adapter plugged in, and what stands at the adapter's other end.
class Rig {
 public:
  virtual ~Rig() = default;
  virtual Driver& driver() = 0;
  // Bytes the adapter will deliver to the host.
  virtual void deviceSends(const QByteArray& bytes) = 0;
  // What the adapter got from the host, once it holds `size` bytes (or nothing more comes).
  virtual QByteArray deviceGot(int size) = 0;
  virtual void pull() = 0;
  virtual void plugIn() = 0;
  // Another program holds the adapter; the adapter's node is not ours to open (for the real backends).
  virtual void hold() {}
  virtual void forbid() {}
  // What names the adapter in the backend's lines on standard error; empty for a backend that writes none.
  virtual std::string node() const = 0;
};

class SimRig : public Rig {
 public:
  SimRig() : adapter_(driver_.addAdapter()) {}
  Driver& driver() override { return driver_; }
  void deviceSends(const QByteArray& bytes) override { adapter_->inject(bytes); }
  QByteArray deviceGot(int) override {
    QByteArray all;
    for (const QByteArray& f : adapter_->written()) all.append(f);
    return all;
  }
  void pull() override { adapter_->unplug(); }
  void plugIn() override { adapter_->replug(); }
  std::string node() const override { return {}; }

 private:
  sim::SimDriver driver_;
  std::shared_ptr<sim::SimAdapter> adapter_;
};

// A pseudo-terminal behind a node that comes and goes as a ttyUSB node does: a link to the slave side.
class TtyRig : public Rig {
 public:
  TtyRig() {
    node_ = folder_.filePath(QStringLiteral("ttyUSB0")).toStdString();
    plugIn();
    driver_ = makeTtyDriver({QStringLiteral("/nonexistent/ttyUSB1"), QString::fromStdString(node_)});
  }
  ~TtyRig() override {
    driver_.reset();
    if (held_ >= 0) ::close(held_);
  }
  Driver& driver() override { return *driver_; }
  void deviceSends(const QByteArray& bytes) override { pty_->write(bytes); }
  QByteArray deviceGot(int size) override { return pty_->read(size, 2000); }
  void pull() override {
    pty_->closeMaster();
    ::unlink(node_.c_str());
  }
  void plugIn() override {
    pty_ = std::make_unique<test::PtyPair>();
    ASSERT_TRUE(pty_->ok());
    ASSERT_EQ(::symlink(pty_->slave().toLocal8Bit().constData(), node_.c_str()), 0);
  }
  std::string node() const override { return node_; }
  // Another program has the terminal open in exclusive mode.
  void hold() override {
    held_ = ::open(pty_->slave().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(held_, 0);
    ASSERT_EQ(::ioctl(held_, TIOCEXCL), 0);
  }
  void forbid() override { ASSERT_EQ(::chmod(pty_->slave().toLocal8Bit().constData(), 0400), 0); }

 private:
  QTemporaryDir folder_;
  std::string node_;
  std::unique_ptr<test::PtyPair> pty_;
  int held_ = -1;
  std::unique_ptr<Driver> driver_;
};

// The libftdi backend over the emulated chip; the chip's serial side is a simulated adapter.
class ChipRig : public Rig {
 public:
  ChipRig() : serial_(simDriver_.addAdapter()), chip_(serial_), driver_(makeLibftdiDriver()) {}
  ~ChipRig() override { driver_.reset(); }
  Driver& driver() override { return *driver_; }
  void deviceSends(const QByteArray& bytes) override { serial_->inject(bytes); }
  QByteArray deviceGot(int size) override {
    QByteArray all;
    for (int tries = 0; tries < 2000 && all.size() < size; ++tries) {
      all.clear();
      for (const QByteArray& f : serial_->written()) all.append(f);
      if (all.size() < size) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return all;
  }
  void pull() override { chip_.pull(); }
  void plugIn() override { chip_.plugIn(); }
  std::string node() const override { return chip_.placeKey(); }
  void hold() override { chip_.setHeldByAnotherProgram(true); }
  void forbid() override { chip_.setNodeReadOnly(true); }

 private:
  sim::SimDriver simDriver_;
  std::shared_ptr<sim::SimAdapter> serial_;
  test::EmulatedFt232h chip_;
  std::unique_ptr<Driver> driver_;
};

struct Backend {
  const char* name;
  std::function<std::unique_ptr<Rig>()> make;
};
void PrintTo(const Backend& b, std::ostream* out) { *out << b.name; }

const Backend kSim{"sim", [] { return std::make_unique<SimRig>(); }};
const Backend kTty{"tty", [] { return std::make_unique<TtyRig>(); }};
const Backend kLibftdi{"libftdi", [] { return std::make_unique<ChipRig>(); }};

std::string nameOf(const ::testing::TestParamInfo<Backend>& info) { return info.param.name; }

class DriverOn : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    rig = GetParam().make();
    listed = list();
    ASSERT_EQ(listed.size(), 1u);
    ASSERT_EQ(d().OpenByLocation(listed[0].locId, &handle), FT_OK);
  }
  platform::Driver& d() { return rig->driver(); }
  std::vector<AdapterListRecord> list() {
    uint32_t n = 0;
    EXPECT_EQ(d().CreateDeviceInfoList(&n), FT_OK);
    std::vector<AdapterListRecord> records(n);
    uint32_t capacity = n;
    if (n > 0) {
      EXPECT_EQ(d().GetDeviceInfoList(records.data(), &capacity), FT_OK);
    }
    records.resize(capacity);
    return records;
  }
  // Until the driver holds n received bytes, so that the reads after it do not depend on when bytes arrive.
  void waitQueued(uint32_t n) {
    uint32_t queued = 0;
    for (int tries = 0; tries < 30000 && queued < n; ++tries) {
      ASSERT_EQ(d().GetQueueStatus(handle, &queued), FT_OK);
      if (queued < n) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_GE(queued, n);
  }
  QByteArray readBytes(uint32_t n) {
    QByteArray buffer(static_cast<int>(n), '\0');
    uint32_t got = 0;
    EXPECT_EQ(d().Read(handle, buffer.data(), n, &got), FT_OK);
    return buffer.left(static_cast<int>(got));
  }

  std::unique_ptr<Rig> rig;
  std::vector<AdapterListRecord> listed;
  FtHandle handle = 0;
};

TEST_P(DriverOn, ListsWithinTheCallersRoomAndOpensExclusively) {
  EXPECT_EQ(listed[0].id, kAcceptedDeviceId);
  EXPECT_NE(std::memchr(listed[0].serialNumber, '\0', sizeof listed[0].serialNumber), nullptr);
  EXPECT_NE(std::memchr(listed[0].description, '\0', sizeof listed[0].description), nullptr);
  uint32_t n = 0;
  ASSERT_EQ(d().CreateDeviceInfoList(&n), FT_OK);
  AdapterListRecord none[1] = {};
  uint32_t capacity = 0;
  ASSERT_EQ(d().GetDeviceInfoList(none, &capacity), FT_OK);
  EXPECT_EQ(capacity, 0u);  // never more than the caller has room for

  FtHandle second = 77;
  EXPECT_NE(d().OpenByLocation(listed[0].locId, &second), FT_OK);
  EXPECT_EQ(second, 77u);  // a failed open leaves the caller's handle alone
  EXPECT_NE(d().OpenByLocation(listed[0].locId ^ 0x00F00000, &second), FT_OK);
  EXPECT_EQ(second, 77u);
  EXPECT_EQ(d().Close(handle), FT_OK);
  uint32_t got = 0;
  uint8_t buf[4];
  EXPECT_EQ(d().Read(handle, buf, 4, &got), FT_INVALID_HANDLE);  // closed handles fail cleanly
  EXPECT_EQ(d().Write(handle, buf, 4, &got), FT_INVALID_HANDLE);
  EXPECT_EQ(d().PurgeRx(handle), FT_INVALID_HANDLE);
  EXPECT_EQ(d().Close(handle), FT_INVALID_HANDLE);
  EXPECT_EQ(d().OpenByLocation(listed[0].locId, &handle), FT_OK);  // and the device can be opened again
}

TEST_P(DriverOn, BytesPassUnchangedBothWays) {
  const QByteArray all = everyByte();
  rig->deviceSends(all);
  waitQueued(256);
  EXPECT_EQ(readBytes(256), all);
  const QByteArray frame = request0701(all.mid(0x20, 40), 96);
  uint32_t written = 0;
  ASSERT_EQ(d().Write(handle, frame.constData(), static_cast<uint32_t>(frame.size()), &written), FT_OK);
  EXPECT_EQ(written, static_cast<uint32_t>(frame.size()));
  EXPECT_EQ(rig->deviceGot(frame.size()), frame);
}

TEST_P(DriverOn, ReadsEndOnTheirCountOrTheirTimeOutAndKeepTheRest) {
  ASSERT_EQ(d().SetTimeouts(handle, 100, 50), FT_OK);
  rig->deviceSends("abcdef");
  waitQueued(6);
  EXPECT_EQ(readBytes(2), "ab");     // the count is there: no wait for more
  EXPECT_EQ(readBytes(40), "cdef");  // fewer than asked by the time-out: a success with fewer bytes
  EXPECT_EQ(readBytes(4), "");       // nothing comes: the time-out ends the read

  rig->deviceSends("stale");
  waitQueued(5);
  EXPECT_EQ(readBytes(1), "s");
  ASSERT_EQ(d().PurgeRx(handle), FT_OK);
  rig->deviceSends("fresh");
  waitQueued(5);
  EXPECT_EQ(readBytes(5), "fresh");
}

// The cable pulled while a read waits for its bytes: the read fails instead of running out its time, so do the
// calls after it, and the device leaves the listing. Plugged into the same socket again, it is listed at the same
// location id, opens, and its bytes pass. A real backend says so once, naming the node.
TEST_P(DriverOn, APullFailsTheWaitingReadAndTheSameSocketAgainIsTheSameLocation) {
  ASSERT_EQ(d().SetTimeouts(handle, 60000, 500), FT_OK);
  testing::internal::CaptureStderr();
  FtStatus readStatus = FT_OK;
  std::thread reader([&] {
    char buffer[4];
    uint32_t n = 0;
    readStatus = d().Read(handle, buffer, 4, &n);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // most likely waiting by now; either way it fails
  rig->pull();
  reader.join();
  EXPECT_EQ(readStatus, FT_IO_ERROR);
  uint32_t n = 0;
  EXPECT_EQ(d().Write(handle, "x", 1, &n), FT_IO_ERROR);
  char buffer[8];
  EXPECT_EQ(d().Read(handle, buffer, 8, &n), FT_IO_ERROR);
  EXPECT_EQ(d().Close(handle), FT_OK);
  EXPECT_TRUE(list().empty());
  const std::string said = testing::internal::GetCapturedStderr();
  if (!rig->node().empty()) {
    EXPECT_EQ(test::linesNaming(said, rig->node()), 1) << said;
  }

  rig->plugIn();
  const std::vector<AdapterListRecord> again = list();
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again[0].locId, listed[0].locId);
  ASSERT_EQ(d().OpenByLocation(again[0].locId, &handle), FT_OK);
  rig->deviceSends(QByteArrayLiteral("\x55\xAA\x00"));
  waitQueued(3);
  EXPECT_EQ(readBytes(3), QByteArrayLiteral("\x55\xAA\x00"));
  EXPECT_EQ(d().Close(handle), FT_OK);
}

// The simulator's own listing: accepted adapters and others, a serial longer than its field cut.
TEST(SimDriver, ListsEveryAdapterItWasGivenWithItsTextsBounded) {
  sim::SimDriver d;
  d.addAdapter(kAcceptedDeviceId, "A1");
  d.addAdapter(0x04036001, "0123456789ABCDEFGHIJ");
  uint32_t n = 0;
  ASSERT_EQ(d.CreateDeviceInfoList(&n), FT_OK);
  ASSERT_EQ(n, 2u);
  AdapterListRecord both[2] = {};
  uint32_t capacity = 2;
  ASSERT_EQ(d.GetDeviceInfoList(both, &capacity), FT_OK);
  EXPECT_EQ(both[0].id, kAcceptedDeviceId);
  EXPECT_EQ(both[1].id, 0x04036001u);
  EXPECT_EQ(std::strlen(both[1].serialNumber), 15u);
}

INSTANTIATE_TEST_SUITE_P(EveryBackend, DriverOn, ::testing::Values(kSim, kTty, kLibftdi), nameOf);

// Why an open fails, on the backends that reach a real device: the scan listed the adapter, the open fails with
// the handle left alone, and standard error has one line with the node and the reason.
class RealBackend : public ::testing::TestWithParam<Backend> {};

TEST_P(RealBackend, AFailedOpenSaysWhyOnceNamingTheNode) {
  const bool tty = std::string(GetParam().name) == "tty";
  const struct {
    const char* name;
    void (Rig::*apply)();
    const char* reason;  // in the line, as the backend words it
  } cases[] = {
      {"held by another program", &Rig::hold, tty ? "Device or resource busy" : "Resource busy"},
      {"not permitted", &Rig::forbid, tty ? "Permission denied" : "Access denied"},
      {"gone since the scan", &Rig::pull, tty ? "No such file or directory" : "No such device"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<Rig> rig = GetParam().make();
    uint32_t n = 0;
    ASSERT_EQ(rig->driver().CreateDeviceInfoList(&n), FT_OK);
    ASSERT_EQ(n, 1u);
    AdapterListRecord record{};
    uint32_t capacity = 1;
    ASSERT_EQ(rig->driver().GetDeviceInfoList(&record, &capacity), FT_OK);
    ((*rig).*c.apply)();
    testing::internal::CaptureStderr();
    FtHandle handle = 77;
    {
      test::ScopedOrdinaryUser user;
      EXPECT_NE(rig->driver().OpenByLocation(record.locId, &handle), FT_OK);
    }
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(handle, 77u);
    EXPECT_EQ(test::linesNaming(said, rig->node()), 1) << said;
    EXPECT_NE(said.find(c.reason), std::string::npos) << said;
  }
}

INSTANTIATE_TEST_SUITE_P(ToADevice, RealBackend, ::testing::Values(kTty, kLibftdi), nameOf);

}  // namespace
}  // namespace qv
