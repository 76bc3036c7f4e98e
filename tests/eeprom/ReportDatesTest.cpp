// The diagnosis report's calendar and texts: hours between stamps, the dates from a barcode, the protection
// flags and the warranty line.

#include "eeprom/ReportDates.h"

#include <gtest/gtest.h>

namespace qv::eeprom {
namespace {

TEST(ReportDates, HoursBetweenStamps) {
  const struct {
    int y1, m1, d1, h1, y2, m2, d2, h2;
    std::optional<int32_t> hours;
  } cases[] = {
      {2018, 1, 31, 22, 2018, 2, 1, 2, 4},
      {2017, 12, 31, 23, 2018, 1, 1, 0, 1},
      {2016, 2, 28, 0, 2016, 3, 1, 0, 48},
      {2100, 2, 28, 0, 2100, 3, 1, 0, 24},  // not a leap year
      {2000, 2, 28, 0, 2000, 3, 1, 0, 48},  // a leap year
      {2018, 5, 5, 10, 2018, 5, 5, 7, -3},  // the same date, an earlier hour
      {2018, 5, 6, 0, 2018, 5, 5, 23, 0},   // the second date before the first
      {2018, 0, 5, 0, 2018, 5, 5, 0, std::nullopt},
      {2018, 4, 31, 0, 2018, 5, 5, 0, std::nullopt},
      {2018, 5, 5, 0, 2019, 2, 29, 0, std::nullopt},
      {2018, 5, 5, 0, 2018, 13, 1, 0, std::nullopt},
      // Every year counts by the calendar, before 1900 too.
      {1899, 12, 31, 0, 1900, 1, 1, 0, 24},
      {1896, 1, 1, 0, 1897, 1, 1, 0, 366 * 24},
      {1800, 1, 1, 0, 1900, 1, 1, 0, 36524 * 24},  // 1800 and 1900 are no leap years
      {-1, 12, 31, 23, 0, 1, 1, 0, 1},
      // Hours beyond 32 bits are no value, not a wrapped one.
      {1, 1, 1, 0, 300000, 1, 1, 0, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.y1 << "-" << c.m1 << "-" << c.d1 << " to " << c.y2 << "-" << c.m2 << "-"
                                    << c.d2);
    EXPECT_EQ(HoursBetween(c.y1, c.m1, c.d1, c.h1, c.y2, c.m2, c.d2, c.h2), c.hours);
  }
}

TEST(ReportDates, TheBarcodeGivesTheManufactureAndExpiryDates) {
  const struct {
    const char* barcode;
    std::optional<ReportDate> made, expires;
  } cases[] = {
      {"QV2024X0312345", ReportDate{2018, 1, 20}, ReportDate{2019, 7, 20}},
      {"X0312345", ReportDate{2018, 1, 20}, ReportDate{2019, 7, 20}},  // eight characters exactly
      {"X1312345", ReportDate{2018, 3, 31}, ReportDate{2019, 9, 30}},  // September has 30 days
      {"U2312345", ReportDate{2015, 6, 6}, ReportDate{2016, 12, 6}},   // June: December of the next year
      {"U4912345", ReportDate{2015, 12, 5}, ReportDate{2017, 6, 5}},   // December: June of the year after next
      {"W3512345", ReportDate{2017, 9, 2}, ReportDate{2019, 3, 2}},
      {"Z0112345", ReportDate{2019, 1, 5}, ReportDate{2020, 7, 5}},
      {"Y0312345", std::nullopt, std::nullopt},  // no year for "Y"
      {"X0012345", std::nullopt, std::nullopt},  // week 0
      {"X5412345", std::nullopt, std::nullopt},  // past the last Saturday
      {"X 312345", std::nullopt, std::nullopt},
      {"X031234", std::nullopt, std::nullopt},  // seven characters
      {"", std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.barcode);
    const BarcodeDates d = DatesFromBarcode(c.barcode);
    EXPECT_EQ(d.manufacture, c.made);
    EXPECT_EQ(d.expiry, c.expires);
  }
  EXPECT_EQ(DatesFromBarcode("QV2024X0312345").tail, "X0312345");
  EXPECT_EQ(DatesFromBarcode("QV2024X0312345").week, 3);
  // A year that starts on a Saturday: week 1 is 1 January.
  EXPECT_EQ(ManufactureDate(2022, 1), (ReportDate{2022, 1, 1}));
  // 1 January 1898 was a Saturday, 1 January 1600 a Saturday too.
  EXPECT_EQ(ManufactureDate(1898, 2), (ReportDate{1898, 1, 8}));
  EXPECT_EQ(ManufactureDate(1600, 53), (ReportDate{1600, 12, 30}));
  EXPECT_EQ(ExpiryDate({2019, 8, 31}, 18), (ReportDate{2021, 2, 28}));
  EXPECT_EQ(ExpiryDate({2018, 8, 31}, 18), (ReportDate{2020, 2, 29}));
}

TEST(ReportTexts, ProtectionFlagsAndWarranty) {
  EXPECT_EQ(ProtectionFlagText(0x00), "NONE");
  EXPECT_EQ(ProtectionFlagText(0x21), "OV,UT");
  EXPECT_EQ(ProtectionFlagText(0x02), ",UV");
  EXPECT_EQ(ProtectionFlagText(0xC0), "");
  EXPECT_EQ(ProtectionFlagText(0x3F), "OV,UV,OC,SC,OT,UT");

  const struct {
    const char* id;
    uint32_t capacity;
    const char* text;
  } cases[] = {
      // clang-format off
      {"QV1304LA", 0, "500 times (SOC>60% D.C)"}, {"QV1304LB", 2150, "500 times (SOC>60% D.C)"},
      {"QV1304LC", 2233, "700 times (SOC>60%)"},  {"QV1304LA ", 2032, ""},
      {"", 2033, "700 times (SOC>60%)"},          {"", 2234, ""},
      {"", 2549, "500 times (SOC>70%)"},          {"", 2749, "500 times (SOC>70%)"},
      {"", 2750, ""},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.id << " " << c.capacity);
    EXPECT_EQ(WarrantyText(c.id, c.capacity), c.text);
  }
}

}  // namespace
}  // namespace qv::eeprom
