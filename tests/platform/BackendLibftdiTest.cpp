// The libftdi backend without an adapter attached: the listing is empty and no error, and nothing opens.

#include "platform/Backends.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace platform;

TEST(BackendLibftdi, ListingWithoutAnAdapterIsEmptyAndNoError) {
  auto driver = makeLibftdiDriver();
  uint32_t n = 99;
  ASSERT_EQ(driver->CreateDeviceInfoList(&n), FT_OK);
  EXPECT_EQ(n, 0u);
  AdapterListRecord list[1] = {};
  uint32_t capacity = 1;
  EXPECT_EQ(driver->GetDeviceInfoList(list, &capacity), FT_OK);
  EXPECT_EQ(capacity, 0u);

  FtHandle h = 0;
  EXPECT_EQ(driver->OpenByLocation(0x01100000, &h), FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(h, 0u);
  uint32_t got = 0;
  EXPECT_EQ(driver->Write(h, "x", 1, &got), FT_INVALID_HANDLE);
}

}  // namespace
}  // namespace qv
