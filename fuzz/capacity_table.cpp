// The capacity table "VM_CAP.CSV": whatever the file holds, the lookup finds the line a plain reading of the
// table finds, with its value, and a value found is the number its text says; the energy shares shown from it
// are the products of those numbers, or empty when they are too large to show.

#include "FuzzStore.h"
#include "FuzzSupport.h"
#include "mainwindow/CapacityTable.h"
#include "mainwindow/MainFormControls.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <charconv>
#include <cmath>
#include <optional>
#include <string>

using namespace qv;

namespace {

enum class Energy { Yes, No, Unsure };

// A decimal number, not negative, read by the C++ number reader; a number beyond double's range cannot be
// judged here.
Energy energyOf(const std::string& value) {
  if (value.empty()) return Energy::No;
  for (char c : value) {
    if (!((c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-' || c == 'e' || c == 'E')) return Energy::No;
  }
  std::string text = value;
  if (text[0] == '+') {
    if (text.size() > 1 && (text[1] == '-' || text[1] == '+')) return Energy::No;
    text.erase(0, 1);
  }
  double v = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::general);
  if (error == std::errc::result_out_of_range) return Energy::Unsure;
  if (error != std::errc() || end != text.data() + text.size()) return Energy::No;
  return v >= 0 ? Energy::Yes : Energy::No;
}

struct Found {
  bool judged = true;
  std::optional<std::string> value;
};

// The table read line by line: LF ends a line, space, TAB and CR are dropped, the first line is the header,
// the key runs to the first comma and the value is everything after it but commas; a field longer than 255
// characters makes the line no table line; the last line counts without its LF.
Found lookup(const std::string& file, const std::string& wanted) {
  Found result;
  size_t start = 0;
  bool header = true;
  while (start < file.size()) {
    size_t stop = file.find('\n', start);
    if (stop == std::string::npos) stop = file.size();
    const std::string raw = file.substr(start, stop - start);
    start = stop + 1;
    if (header) {
      header = false;
      continue;
    }
    std::string key, value;
    bool pastComma = false;
    for (char c : raw) {
      if (c == ' ' || c == '\t' || c == '\r') continue;
      if (c == ',') {
        pastComma = true;
        continue;
      }
      (pastComma ? value : key).push_back(c);
    }
    if (key.size() > 255 || value.size() > 255) continue;
    if (key.empty() || wanted.empty() || wanted.compare(0, key.size(), key) != 0) continue;
    const Energy e = energyOf(value);
    if (e == Energy::Unsure) return {false, std::nullopt};
    if (e == Energy::Yes) return {true, value};
  }
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::enterScratchFolder();

  fuzz::Input in(data, size);
  const uint8_t mode = in.u8();
  const std::vector<uint8_t> keyBytes = in.bytes(in.u8() % 40);
  const uint8_t asoc = in.u8(), rsoc = in.u8();
  const std::vector<uint8_t> table = in.rest();
  const std::string file(table.begin(), table.end());
  const std::string wanted(keyBytes.begin(), keyBytes.end());
  {
    QFile f(QString::fromLatin1(mainwindow::kCapacityTableFile));
    QV_FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QV_FUZZ_CHECK(f.write(reinterpret_cast<const char*>(table.data()), static_cast<qint64>(table.size())) ==
                  static_cast<qint64>(table.size()));
  }

  Guarded<mainwindow::BatteryLookup> battery;
  const QByteArray key(wanted.data(), static_cast<qsizetype>(wanted.size()));
  const std::optional<QByteArray> got = mainwindow::LookupCapacity(battery, key);
  const Found expected = lookup(file, wanted);
  if (expected.judged) {
    QV_FUZZ_CHECK(got.has_value() == expected.value.has_value());
    if (got) QV_FUZZ_CHECK(got->toStdString() == *expected.value);
  }
  const mainwindow::BatteryLookup b = battery.snapshot();
  QV_FUZZ_CHECK(b.filePresent == 1);
  QV_FUZZ_CHECK(b.keyFound == (got ? 1 : 0));
  if (!got) QV_FUZZ_CHECK(b.foundValue.isEmpty() && b.keyText.isEmpty() && b.valueText.isEmpty());
  if (!wanted.empty()) QV_FUZZ_CHECK(b.linesRead <= static_cast<int>(std::count(file.begin(), file.end(), '\n')));

  // The shares shown from the value found, against the same products in double.
  if (!got || (mode & 0x01) == 0) return 0;
  qv::fuzz::FuzzStore controls;
  controls.setText(qv::mainwindow::ctl::Edit_UR96_SOH_Wh, QStringLiteral("previous"));
  controls.setText(qv::mainwindow::ctl::Edit_UR96_SOC_Wh, QStringLiteral("previous"));
  controls.setText(qv::mainwindow::ctl::Edit_UR96_Battery_Wh, QString::fromLatin1(*got));
  controls.setText(qv::mainwindow::ctl::EditASOC, QString::number(asoc));
  controls.setText(qv::mainwindow::ctl::EditRSOC, QString::number(rsoc));
  mainwindow::ShowUrSohEnergy(controls);
  mainwindow::ShowUrSocEnergy(controls);
  const std::string valueText = got->toStdString();
  double wh = 0;
  const char* first = valueText.data() + (valueText[0] == '+' ? 1 : 0);
  if (std::from_chars(first, valueText.data() + valueText.size(), wh).ec != std::errc()) return 0;
  const struct {
    qv::Control box;
    double share;
  } shares[] = {{qv::mainwindow::ctl::Edit_UR96_SOH_Wh, asoc * 0.01 * wh},
                {qv::mainwindow::ctl::Edit_UR96_SOC_Wh, rsoc * 0.01 * (asoc * 0.01 * wh)}};
  for (const auto& s : shares) {
    const QString shown = controls.text(s.box);
    QV_FUZZ_CHECK(shown != QStringLiteral("previous"));
    // Far from the 64-bit limit the judgement is plain; near it the two precisions may fall either side.
    if (s.share < 9.2e18) {
      bool ok = false;
      const double v = shown.toDouble(&ok);
      QV_FUZZ_CHECK(ok && std::fabs(v - std::trunc(s.share)) <= 1 + 1e-12 * s.share);
    } else if (s.share > 9.3e18) {
      QV_FUZZ_CHECK(shown.isEmpty());
    }
  }
  return 0;
}
