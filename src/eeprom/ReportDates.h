#pragma once
// The calendar of the diagnosis report: leap years, hours between two stamps, the manufacture date that a
// barcode's year letter and week give, the expiry date some months later, and the texts of the ratings and the
// protection flags.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace qv::eeprom {

struct ReportDate {
  int year = 0;
  int month = 0;  // 1 to 12
  int day = 0;    // 1 to the month's length
  bool operator==(const ReportDate&) const = default;
};

// 1 for a leap year of the Gregorian calendar, else 0.
uint16_t IsLeapYear(int32_t year);
// The days of that month of that year; 0 for a month outside 1 to 12.
int DaysInMonth(int year, int month);

// TFormMain::HoursBetween: the whole hours from the first stamp to the second, 24 per day between the dates plus
// the difference of the hours; 0 when the second date lies before the first, the difference of the hours (which
// may be negative) on the same date. Every year counts by the Gregorian calendar, those before 1900 too. No value
// for a stamp whose month or day does not exist, nor for a span of hours beyond 32 bits.
std::optional<int32_t> HoursBetween(int y1, int m1, int d1, int h1, int y2, int m2, int d2, int h2);

// The day on which the count of Saturdays since 1 January of the year reaches the week; none for week 0 or a week
// past the year's last Saturday.
std::optional<ReportDate> ManufactureDate(int year, int week);
// That date some months later; a day the later month does not have becomes its last day.
ReportDate ExpiryDate(const ReportDate& made, int months);

// The dates a barcode carries in its last eight characters: a year letter ("S" 2013 to "X" 2018, "Z" 2019),
// two week digits, five more. A barcode shorter than eight characters, another letter or a week that finds no
// Saturday gives no dates.
struct BarcodeDates {
  QByteArray tail;  // the last eight characters, or fewer when the barcode is shorter
  uint16_t week = 0;
  std::optional<ReportDate> manufacture;
  std::optional<ReportDate> expiry;  // 18 months after manufacture
};
BarcodeDates DatesFromBarcode(const QByteArray& barcode);

// "NONE" for no flag, else the set flags' names in the order OV, UV, OC, SC, OT, UT, each but OV after a comma.
QString ProtectionFlagText(uint8_t flags);

// The two models whose ratings the report knows, and the warranty line of any pack.
bool IsRatedModel(const QByteArray& firmwareId);
QString WarrantyText(const QByteArray& firmwareId, uint32_t cellDesignCapacity);

}  // namespace qv::eeprom
