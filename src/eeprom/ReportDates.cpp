#include "eeprom/ReportDates.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace qv::eeprom {

namespace {

constexpr int kSaturday = 6;
constexpr int kMonthsToExpiry = 18;
// The models the ratings are known for: two letters, four digits, two letters; the same first seven.
constexpr const char* kRatedModels[] = {"QV1304LA", "QV1304LB"};

bool validDate(int year, int month, int day) { return day >= 1 && day <= DaysInMonth(year, month); }

// Days from 1 January 1900 to that date, negative before it, for any year: the Gregorian calendar's 400-year
// cycle counted from a year that begins in March, so that a leap day ends its year.
long long dayNumber(long long year, int month, int day) {
  const long long y = year - (month <= 2 ? 1 : 0);
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yearOfEra = y - era * 400;
  const long long dayOfYear = (153LL * ((month + 9) % 12) + 2) / 5 + day - 1;
  const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  // 1 March of year 0 is day -693901 from 1 January 1900.
  return era * 146097 + dayOfEra - 693901;
}

}  // namespace

uint16_t IsLeapYear(int32_t year) { return (year % 400 == 0 || (year % 4 == 0 && year % 100 != 0)) ? 1 : 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return kDays[month - 1] + (month == 2 ? IsLeapYear(year) : 0);
}

std::optional<int32_t> HoursBetween(int y1, int m1, int d1, int h1, int y2, int m2, int d2, int h2) {
  if (!validDate(y1, m1, d1) || !validDate(y2, m2, d2)) return std::nullopt;
  const long long days = dayNumber(y2, m2, d2) - dayNumber(y1, m1, d1);
  if (days < 0) return 0;
  const long long hours = 24 * days + h2 - h1;
  if (hours < INT32_MIN || hours > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(hours);
}

std::optional<ReportDate> ManufactureDate(int year, int week) {
  if (week < 1) return std::nullopt;
  // 1 January 1900 was a Monday (weekday 1; 0 is Sunday).
  int weekday = static_cast<int>(((1 + dayNumber(year, 1, 1)) % 7 + 7) % 7);
  int saturdays = 0;
  for (int month = 1; month <= 12; ++month) {
    for (int day = 1; day <= DaysInMonth(year, month); ++day, weekday = (weekday + 1) % 7) {
      if (weekday == kSaturday && ++saturdays == week) return ReportDate{year, month, day};
    }
  }
  return std::nullopt;
}

ReportDate ExpiryDate(const ReportDate& made, int months) {
  const int n = made.month - 1 + months;
  ReportDate e{made.year + n / 12, n % 12 + 1, 0};
  e.day = std::min(made.day, DaysInMonth(e.year, e.month));
  return e;
}

BarcodeDates DatesFromBarcode(const QByteArray& barcode) {
  BarcodeDates out;
  out.tail = barcode.right(8);
  if (barcode.size() < 8) return out;
  const auto digit = [&](int i) { return out.tail[i] - '0'; };
  out.week = static_cast<uint16_t>(10 * digit(1) + digit(2));
  static constexpr struct {
    char letter;
    int year;
  } kYears[] = {{'S', 2013}, {'T', 2014}, {'U', 2015}, {'V', 2016}, {'W', 2017}, {'X', 2018}, {'Z', 2019}};
  const bool digits = std::isdigit(static_cast<unsigned char>(out.tail[1])) &&
                      std::isdigit(static_cast<unsigned char>(out.tail[2]));
  for (const auto& y : kYears) {
    if (y.letter != out.tail[0] || !digits) continue;
    out.manufacture = ManufactureDate(y.year, out.week);
    if (out.manufacture) out.expiry = ExpiryDate(*out.manufacture, kMonthsToExpiry);
  }
  return out;
}

QString ProtectionFlagText(uint8_t flags) {
  if (flags == 0) return QStringLiteral("NONE");
  static const char* const kPieces[] = {"OV", ",UV", ",OC", ",SC", ",OT", ",UT"};
  QString text;
  for (int bit = 0; bit < 6; ++bit) {
    if ((flags & (1u << bit)) != 0) text += QLatin1String(kPieces[bit]);
  }
  return text;
}

bool IsRatedModel(const QByteArray& firmwareId) {
  return std::any_of(std::begin(kRatedModels), std::end(kRatedModels),
                     [&](const char* code) { return firmwareId == code; });
}

QString WarrantyText(const QByteArray& firmwareId, uint32_t cellDesignCapacity) {
  if (IsRatedModel(firmwareId)) return QStringLiteral("500 times (SOC>60% D.C)");
  if (cellDesignCapacity >= 2033 && cellDesignCapacity <= 2233) return QStringLiteral("700 times (SOC>60%)");
  if (cellDesignCapacity >= 2549 && cellDesignCapacity <= 2749) return QStringLiteral("500 times (SOC>70%)");
  return {};
}

}  // namespace qv::eeprom
