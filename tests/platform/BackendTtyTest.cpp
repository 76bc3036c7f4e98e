// What only the serial-device backend does, over a pseudo-terminal pair (the test holds the master side, where an
// emulator of the adapter would sit; the backend opens the slave path as an adapter): its listing of the paths it
// was given, and raw mode. What every backend does is in DriverTest.cpp.

#include "platform/Backends.h"
#include "support/TimeScale.h"

#include <gtest/gtest.h>

#include <memory>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

namespace qv {
namespace {

using namespace platform;

class PtyPair {
 public:
  PtyPair() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) slave_ = ptsname(master_);
  }
  ~PtyPair() { closeMaster(); }
  bool ok() const { return !slave_.isEmpty(); }
  const QString& slave() const { return slave_; }

  void write(const QByteArray& bytes) {
    ASSERT_EQ(::write(master_, bytes.constData(), static_cast<size_t>(bytes.size())), bytes.size());
  }
  // What the backend wrote, up to n bytes or until nothing more comes within a short while.
  QByteArray read(int n) {
    QByteArray got;
    while (got.size() < n) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 200) <= 0) break;
      char buffer[512];
      const ssize_t r = ::read(master_, buffer, sizeof buffer);
      if (r <= 0) break;
      got.append(buffer, static_cast<int>(r));
    }
    return got;
  }
  void closeMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  QString slave_;
};

QByteArray everyByte() {
  QByteArray all;
  for (int i = 0; i < 256; ++i) all.append(static_cast<char>(i));
  return all;
}

class BackendTty : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.ok());
    driver = makeTtyDriver({QStringLiteral("/nonexistent/ttyUSB9"), pty.slave()});
    uint32_t n = 0;
    ASSERT_EQ(driver->CreateDeviceInfoList(&n), FT_OK);
    ASSERT_EQ(n, 1u);
    uint32_t capacity = 1;
    ASSERT_EQ(driver->GetDeviceInfoList(&record, &capacity), FT_OK);
    ASSERT_EQ(driver->OpenByLocation(record.locId, &handle), FT_OK);
  }
  QByteArray readBytes(uint32_t n) {
    QByteArray buffer(static_cast<int>(n), '\0');
    uint32_t got = 0;
    EXPECT_EQ(driver->Read(handle, buffer.data(), n, &got), FT_OK);
    return buffer.left(static_cast<int>(got));
  }

  test::ScopedTimeScale fast{0.2};
  PtyPair pty;
  std::unique_ptr<Driver> driver;
  AdapterListRecord record{};
  FtHandle handle = 0;
};

TEST_F(BackendTty, ListsTheConfiguredPathsThatExist) {
  EXPECT_EQ(record.id, kAcceptedDeviceId);
  EXPECT_EQ(record.locId, 2u);  // its place in the configuration, whatever is missing before it
  EXPECT_STREQ(record.description, pty.slave().toLocal8Bit().constData());
  FtHandle second = 0;
  EXPECT_NE(driver->OpenByLocation(record.locId, &second), FT_OK);
  EXPECT_NE(driver->OpenByLocation(1, &second), FT_OK);
  EXPECT_EQ(second, 0u);
}

TEST_F(BackendTty, EveryBytePassesUnchangedBothWays) {
  const QByteArray all = everyByte();
  uint32_t written = 0;
  ASSERT_EQ(driver->Write(handle, all.constData(), 256, &written), FT_OK);
  EXPECT_EQ(written, 256u);
  EXPECT_EQ(pty.read(256), all);

  pty.write(all);
  EXPECT_EQ(readBytes(256), all);
  EXPECT_TRUE(pty.read(1).isEmpty());  // no echo
}

}  // namespace
}  // namespace qv
