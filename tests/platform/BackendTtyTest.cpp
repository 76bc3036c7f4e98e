// What only the serial-device backend does, over a pseudo-terminal pair (the test holds the master side, where an
// emulator of the adapter would sit; the backend opens the slave path as an adapter): its listing of the paths it
// was given, and raw mode. What every backend does is in DriverTest.cpp.

#include "PtyPair.h"
#include "platform/Backends.h"
#include "support/TimeScale.h"

#include <gtest/gtest.h>

#include <memory>

namespace qv {
namespace {

using namespace platform;

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
  test::PtyPair pty;
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
