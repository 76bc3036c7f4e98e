// The libftdi backend on whatever machine runs the tests: the listing succeeds, with no adapter or with some
// plugged in, and each record it gives is whole (an accepted FT232H with a location, NUL-terminated texts); a
// location nothing is plugged into opens nothing.

#include "platform/Backends.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

namespace qv {
namespace {

using namespace platform;

TEST(BackendLibftdi, ListingSucceedsAndItsRecordsAreWhole) {
  auto driver = makeLibftdiDriver();
  uint32_t n = 99;
  ASSERT_EQ(driver->CreateDeviceInfoList(&n), FT_OK);
  ASSERT_LE(n, 64u);
  std::vector<AdapterListRecord> list(n + 1);
  std::memset(list.data(), 0xEE, list.size() * sizeof(AdapterListRecord));
  uint32_t filled = n + 1;
  ASSERT_EQ(driver->GetDeviceInfoList(list.data(), &filled), FT_OK);
  EXPECT_EQ(filled, n);

  std::set<uint32_t> locations;
  for (uint32_t i = 0; i < std::min(filled, n); ++i) {
    const AdapterListRecord& r = list[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(r.id, kAcceptedDeviceId);
    EXPECT_EQ(r.type, kDeviceTypeFt232h);
    EXPECT_NE(r.locId >> 24, 0u) << "a USB bus number is 1 or more";
    EXPECT_TRUE(locations.insert(r.locId).second) << "two adapters at one location";
    EXPECT_NE(std::memchr(r.serialNumber, '\0', sizeof r.serialNumber), nullptr);
    EXPECT_NE(std::memchr(r.description, '\0', sizeof r.description), nullptr);
  }

  uint32_t absent = 0x01100000;
  while (locations.count(absent) != 0) ++absent;
  FtHandle h = 0;
  EXPECT_EQ(driver->OpenByLocation(absent, &h), FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(h, 0u);
  uint32_t got = 0;
  EXPECT_EQ(driver->Write(h, "x", 1, &got), FT_INVALID_HANDLE);
}

}  // namespace
}  // namespace qv
