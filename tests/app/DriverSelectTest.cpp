// What QUVEXA_ADAPTER picks: the simulator by name, serial devices by path, the USB adapters otherwise.

#include "app/DriverSelect.h"
#include "sim/SimDriver.h"

#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <memory>

namespace qv::app {
namespace {

uint32_t deviceCount(platform::Driver& driver) {
  uint32_t n = 99;
  EXPECT_EQ(driver.CreateDeviceInfoList(&n), platform::FT_OK);
  return n;
}

TEST(DriverSelect, SimulatorByNameAndTheDefaultPackForAnUnknownOne) {
  for (const char* setting : {"sim", "sim:ur74", "sim:can", "sim:no-such-pack"}) {
    SCOPED_TRACE(setting);
    auto driver = makeDriver(QString::fromLatin1(setting));
    ASSERT_NE(dynamic_cast<sim::SimDriver*>(driver.get()), nullptr);
    EXPECT_EQ(deviceCount(*driver), 1u);
  }
}

TEST(DriverSelect, SerialDevicesListedByPathWhileTheyExist) {
  QTemporaryFile first, second;
  ASSERT_TRUE(first.open());
  ASSERT_TRUE(second.open());
  auto driver =
      makeDriver(QStringLiteral("tty:") + first.fileName() + QStringLiteral(",/nonexistent/tty,") + second.fileName());
  ASSERT_NE(driver, nullptr);
  EXPECT_EQ(dynamic_cast<sim::SimDriver*>(driver.get()), nullptr);
  EXPECT_EQ(deviceCount(*driver), 2u);
}

TEST(DriverSelect, AnythingElseIsTheUsbAdapters) {
  for (const char* setting : {"", "usb"}) {
    SCOPED_TRACE(setting);
    auto driver = makeDriver(QString::fromLatin1(setting));
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(dynamic_cast<sim::SimDriver*>(driver.get()), nullptr);
  }
}

}  // namespace
}  // namespace qv::app
