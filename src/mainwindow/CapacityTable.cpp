#include "mainwindow/CapacityTable.h"

#include "mainwindow/MainFormControls.h"
#include "platform/Checks.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace qv::mainwindow {
namespace {

// No key or energy comes near this; a longer line is not a table line, and its length must not grow a text
// without bound.
constexpr int kMaxFieldLength = 255;

// Only the characters of a decimal number: the number reader of the boxes passes over blanks around a number,
// and a NUL or a blank outside ASCII beside the digits would otherwise leave a number standing.
bool isEnergy(const QByteArray& text) {
  const auto decimal = [](char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
  };
  long double v = 0;
  return std::all_of(text.begin(), text.end(), decimal) && parseDouble(QString::fromLatin1(text), &v) && v >= 0;
}

// The scan of one lookup, kept apart from the shared state until it ends.
struct LineReader {
  QByteArray keyText;
  QByteArray valueText;
  bool pastComma = false;
  bool overlong = false;

  void take(char c) {
    if (!pastComma && c == ',') {
      pastComma = true;
      return;
    }
    if (c == ',') return;
    QByteArray& field = pastComma ? valueText : keyText;
    if (field.size() >= kMaxFieldLength) {
      overlong = true;
      return;
    }
    field.append(c);
  }
  bool matches(const QByteArray& wanted, QByteArray* found) const {
    return !overlong && CsvKeyMatches(wanted, keyText, valueText, found) == 1;
  }
  void reset() { *this = LineReader{}; }
};

int lookupInto(BatteryLookup& b, const QString& name, const QByteArray& wanted) {
  // A file read takes as long as the disk does: never while others wait for the exchange or the store.
  QV_CHECK(!platform::checks::holds(platform::checks::Lock::Exchange),
           "no file read of a table under the exchange lock");
  QV_CHECK(!platform::checks::holds(platform::checks::Lock::Store), "no file read of a table under the store's lock");
  QFile file(name);
  bool matched = false;
  LineReader line;
  QByteArray found;
  if (file.open(QIODevice::ReadOnly)) {
    int lineNumber = 0;
    char c = 0;
    while (file.getChar(&c)) {
      if (c == ' ' || c == '\t' || c == '\r') continue;
      if (c == '\n') {
        ++b.linesRead;
        if (lineNumber++ > 0 && line.matches(wanted, &found)) {
          matched = true;
          break;
        }
        line.reset();
        continue;
      }
      if (lineNumber > 0) line.take(c);
    }
    // A last line without its LF is a line all the same.
    if (!matched && lineNumber > 0) matched = line.matches(wanted, &found);
  }
  if (matched) {
    b.keyText = line.keyText;
    b.valueText = line.valueText;
    b.foundValue = found;
  } else {
    b.keyText.clear();
    b.valueText.clear();
    b.foundValue.clear();
  }
  return matched ? 1 : 0;
}

}  // namespace

bool CapacityFileExists(const QString& name) { return QFileInfo(name).isFile(); }

int LookupCsvValue(Guarded<BatteryLookup>& battery, const QString& name, const QByteArray& wantedKey) {
  return battery.with([&](BatteryLookup& b) { return lookupInto(b, name, wantedKey); });
}

int CsvKeyMatches(const QByteArray& wantedKey, const QByteArray& lineKey, const QByteArray& lineValue,
                  QByteArray* found) {
  if (lineKey.isEmpty() || wantedKey.isEmpty() || !wantedKey.startsWith(lineKey) || !isEnergy(lineValue)) return 0;
  *found = lineValue;
  return 1;
}

std::optional<QByteArray> LookupCapacity(Guarded<BatteryLookup>& battery, const QByteArray& key) {
  return battery.with([&](BatteryLookup& b) -> std::optional<QByteArray> {
    b = BatteryLookup{};
    b.filePresent = CapacityFileExists(QString::fromLatin1(kCapacityTableFile)) ? 1 : 0;
    if (b.filePresent != 1 || key.isEmpty()) return std::nullopt;
    b.keyFound = lookupInto(b, QString::fromLatin1(kCapacityTableFile), key);
    if (b.keyFound == 0) return std::nullopt;
    return b.foundValue;
  });
}

void LookupUrBatteryEnergy(Controls& controls, Guarded<BatteryLookup>& battery) {
  const QByteArray id = controls.text(ctl::EditFWID).toLatin1();
  if (id.isEmpty()) return;
  if (const auto energy = LookupCapacity(battery, id)) {
    controls.setText(ctl::Edit_UR96_Battery_Wh, QString::fromLatin1(*energy));
  }
}

std::optional<QString> TruncatedDecimal(long double value) {
  // Within (-2^63, 2^63) the conversion is defined; 2^63 itself is exact in long double.
  constexpr long double kLimit = 9223372036854775808.0L;
  if (!std::isfinite(value) || value <= -kLimit || value >= kLimit) return std::nullopt;
  return QString::number(static_cast<long long>(value));
}

void ShowEnergyShare(Controls& controls, Control box, long double share) {
  controls.setText(box, TruncatedDecimal(share).value_or(QString()));
}

// The constants are the double 0.01 as the formulas write it; the products are formed in long double, so
// that, say, 58 % of 50 Wh comes out as 29 and not as 28.999... truncated to 28.
void ShowUrSohEnergy(Controls& controls) {
  long double asoc = 0, wh = 0;
  if (!boxNumber(controls, ctl::Edit_UR96_Battery_Wh, &wh) || !boxNumber(controls, ctl::EditASOC, &asoc)) return;
  ShowEnergyShare(controls, ctl::Edit_UR96_SOH_Wh, asoc * 0.01 * wh);
}

void ShowUrSocEnergy(Controls& controls) {
  long double rsoc = 0, asoc = 0, wh = 0;
  if (!boxNumber(controls, ctl::Edit_UR96_Battery_Wh, &wh) || !boxNumber(controls, ctl::EditASOC, &asoc) ||
      !boxNumber(controls, ctl::EditRSOC, &rsoc))
    return;
  ShowEnergyShare(controls, ctl::Edit_UR96_SOC_Wh, rsoc * 0.01 * (asoc * 0.01 * wh));
}

}  // namespace qv::mainwindow
