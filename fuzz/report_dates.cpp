// The report's calendar over any barcode and any clock: every date it gives is a calendar date, checked against
// a second count of the days (leap days summed from year 0, each month's length by the Gregorian rule): a
// manufacture date is the week's Saturday of its year, or none when the year has no such week; an expiry date
// lies the months later with the day cut to that month's last; the hours between two stamps are 24 a day
// between their dates plus the hours' difference, 0 when the second date is earlier, none for a date that does
// not exist or hours beyond 32 bits; a barcode's dates are those of its year letter and two week digits.

#include "FuzzCalendar.h"
#include "FuzzSupport.h"
#include "eeprom/ReportDates.h"

#include <QByteArray>

#include <algorithm>
#include <climits>
#include <optional>

using namespace qv;
using eeprom::ReportDate;

namespace {

using fuzz::calendarDate;
using fuzz::days;
using fuzz::floorDiv;
using fuzz::floorMod;
using fuzz::monthLength;
using fuzz::weekday;

std::optional<ReportDate> saturday(int year, int week) {
  if (week < 1) return std::nullopt;
  // The first Saturday of the year, then a week on for each week after.
  const int first = 1 + (6 - weekday(year, 1, 1) + 7) % 7;
  const long long dayOfYear = first + 7LL * (week - 1);
  long long left = dayOfYear;
  for (int m = 1; m <= 12; ++m) {
    if (left <= monthLength(year, m)) return ReportDate{year, m, static_cast<int>(left)};
    left -= monthLength(year, m);
  }
  return std::nullopt;
}

ReportDate later(const ReportDate& made, int months) {
  const long long total = 12LL * made.year + made.month - 1 + months;
  const long long y = floorDiv(total, 12);
  const int m = static_cast<int>(floorMod(total, 12)) + 1;
  return ReportDate{static_cast<int>(y), m, std::min(made.day, monthLength(y, m))};
}

void checkDate(const ReportDate& d) { QV_FUZZ_CHECK(calendarDate(d.year, d.month, d.day)); }

int anyInt(fuzz::Input& in) {
  // Mostly near the years and hours a pack's clock gives, sometimes anything.
  const uint8_t how = in.u8();
  if ((how & 0x03) == 0) return static_cast<int>(in.u32());
  if ((how & 0x03) == 1) return static_cast<int16_t>(in.u16());
  return 1880 + in.u16() % 400;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  while (!in.empty()) {
    switch (in.u8() % 4) {
      case 0: {  // hours between two stamps
        const int y1 = anyInt(in), m1 = in.u8() % 14, d1 = in.u8() % 33, h1 = (in.u8() & 1) ? anyInt(in) : in.u8();
        const int y2 = (in.u8() & 1) ? anyInt(in)
                                     : static_cast<int>(std::clamp<long long>(
                                           static_cast<long long>(y1) + in.u8() % 3 - 1, INT_MIN, INT_MAX));
        const int m2 = in.u8() % 14, d2 = in.u8() % 33, h2 = (in.u8() & 1) ? anyInt(in) : in.u8();
        const std::optional<int32_t> hours = eeprom::HoursBetween(y1, m1, d1, h1, y2, m2, d2, h2);
        std::optional<int32_t> expected;
        if (calendarDate(y1, m1, d1) && calendarDate(y2, m2, d2)) {
          const long long between = days(y2, m2, d2) - days(y1, m1, d1);
          const long long h = between < 0 ? 0 : 24 * between + h2 - h1;
          if (h >= INT32_MIN && h <= INT32_MAX) expected = static_cast<int32_t>(h);
        }
        QV_FUZZ_CHECK(hours == expected);
        break;
      }
      case 1: {  // the week's Saturday of any year
        const int year = anyInt(in);
        const int week = static_cast<int16_t>(in.u16()) % 60;
        const std::optional<ReportDate> made = eeprom::ManufactureDate(year, week);
        QV_FUZZ_CHECK(made == saturday(year, week));
        if (made) {
          checkDate(*made);
          QV_FUZZ_CHECK(weekday(made->year, made->month, made->day) == 6);
        }
        break;
      }
      case 2: {  // an expiry some months after a calendar date
        ReportDate made{anyInt(in), in.u8() % 12 + 1, 0};
        if (made.year > 1'000'000'000 || made.year < -1'000'000'000) made.year /= 4;
        made.day = in.u8() % monthLength(made.year, made.month) + 1;
        const int months = in.u16();
        const ReportDate expiry = eeprom::ExpiryDate(made, months);
        checkDate(expiry);
        QV_FUZZ_CHECK(expiry == later(made, months));
        break;
      }
      case 3: {  // a barcode: a year letter and week digits among its last eight characters, or any bytes
        std::vector<uint8_t> bytes = in.bytes(in.u8() % 24);
        if (bytes.size() >= 8 && (bytes[0] & 0x80) == 0) {
          static constexpr char kLetters[] = "STUVWXYZA";
          const size_t tail = bytes.size() - 8;
          bytes[tail] = static_cast<uint8_t>(kLetters[bytes[tail] % 9]);
          bytes[tail + 1] = static_cast<uint8_t>('0' + bytes[tail + 1] % 10);
          bytes[tail + 2] = static_cast<uint8_t>('0' + bytes[tail + 2] % 10);
        }
        const QByteArray barcode(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
        const eeprom::BarcodeDates dates = eeprom::DatesFromBarcode(barcode);
        QV_FUZZ_CHECK(dates.tail == barcode.right(8));
        std::optional<ReportDate> made;
        if (barcode.size() >= 8) {
          const char letter = dates.tail[0], w1 = dates.tail[1], w2 = dates.tail[2];
          QV_FUZZ_CHECK(dates.week == static_cast<uint16_t>(10 * (w1 - '0') + (w2 - '0')));
          static constexpr struct {
            char letter;
            int year;
          } kYears[] = {{'S', 2013}, {'T', 2014}, {'U', 2015}, {'V', 2016}, {'W', 2017}, {'X', 2018}, {'Z', 2019}};
          const bool digits = w1 >= '0' && w1 <= '9' && w2 >= '0' && w2 <= '9';
          for (const auto& y : kYears) {
            if (y.letter == letter && digits) made = saturday(y.year, 10 * (w1 - '0') + (w2 - '0'));
          }
        }
        QV_FUZZ_CHECK(dates.manufacture == made);
        QV_FUZZ_CHECK(dates.expiry.has_value() == made.has_value());
        if (made) {
          checkDate(*dates.manufacture);
          checkDate(*dates.expiry);
          QV_FUZZ_CHECK(*dates.expiry == later(*made, 18));
        }
        break;
      }
    }
  }
  return 0;
}
