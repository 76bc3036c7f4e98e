#include "mainwindow/Ur74Record.h"

#include "mainwindow/CapacityTable.h"
#include "mainwindow/CellSpread.h"

#include "mainwindow/MainFormControls.h"

#include <QByteArray>

#include <algorithm>
#include <array>
#include <optional>
#include <string>

namespace qv::mainwindow {
namespace {

constexpr int kCells = 13;

// A capacity model: design capacity, the cycle count at which the fade levels off, the fade below it
// (numerator per cycle over a denominator) and the share of the design capacity left from there on.
struct CapacityModel {
  uint32_t designCapacity;
  uint32_t cycleThreshold;
  uint32_t fadeNumerator;
  uint32_t fadeDenominator;
  uint32_t endPercent;

  uint32_t fullChargeCapacity(uint32_t cycles) const {
    if (cycles >= cycleThreshold) return designCapacity * endPercent / 100;
    return designCapacity - cycles * fadeNumerator * designCapacity / fadeDenominator;
  }
};

constexpr CapacityModel kModelClass0{5700, 700, 40, 70000, 60};
constexpr CapacityModel kModelClass3{8600, 700, 40, 70000, 60};
constexpr CapacityModel kModelClass5{11600, 500, 30, 50000, 70};

// The model codes (the first ten characters of the firmware id) of the packs with their own capacity model;
// every other code is a class 3 pack.
struct ModelCode {
  const char* code;
  const CapacityModel* model;
};
constexpr std::array<ModelCode, 6> kModelCodes = {{
    {"QV0703A12B", &kModelClass0},
    {"QV1006A14C", &kModelClass3},
    {"QV1006B24C", &kModelClass3},
    {"QV1306A15D", &kModelClass3},
    {"QV1306C25D", &kModelClass3},
    {"QV1310AA6E", &kModelClass5},
}};

class Record {
 public:
  explicit Record(QByteArrayView bytes) : bytes_(bytes) {}
  uint8_t at(qsizetype i) const { return i < bytes_.size() ? static_cast<uint8_t>(bytes_[i]) : 0; }
  uint16_t u16(qsizetype i) const { return static_cast<uint16_t>(at(i) << 8 | at(i + 1)); }
  uint64_t u40(qsizetype i) const {
    uint64_t v = 0;
    for (qsizetype k = 0; k < 5; ++k) v = v << 8 | at(i + k);
    return v;
  }
  // The text of n bytes from i, ended early by a zero byte.
  QByteArray text(qsizetype i, qsizetype n) const {
    QByteArray t;
    for (qsizetype k = 0; k < n && at(i + k) != 0; ++k) t.append(static_cast<char>(at(i + k)));
    return t;
  }
  bool bytesEqual(qsizetype i, const char* s) const {
    for (qsizetype k = 0; s[k] != '\0'; ++k) {
      if (at(i + k) != static_cast<uint8_t>(s[k])) return false;
    }
    return true;
  }

 private:
  QByteArrayView bytes_;
};

// The model class (Ur74ModelClass) is not kept between records: every record chooses it again.
const CapacityModel& modelFor(const Record& r) {
  for (const ModelCode& m : kModelCodes) {
    if (r.bytesEqual(39, m.code)) return *m.model;
  }
  return kModelClass3;
}

bool isDigit(uint8_t c) { return c >= '0' && c <= '9'; }

void showTemperature(Controls& controls, const Record& r, bool selectorQ) {
  if (!selectorQ) {
    controls.setText(ctl::EditT1, QString::number(r.at(69) >> 1));
    return;
  }
  const uint8_t t = r.at(68);
  if (t >= 128) {
    const int below = 256 - t;
    if (below <= 40) {
      controls.setColor(ctl::EditT1, colour::Blue);
      controls.setText(ctl::EditT1, QStringLiteral("-") + QString::number(below));
    } else {
      controls.setText(ctl::EditT1, QString());
      controls.setColor(ctl::EditT1, colour::White);
    }
  } else {
    controls.setText(ctl::EditT1, t <= 100 ? QString::number(t) : QString());
  }
}

std::optional<long long> cellNumber(const Controls& controls, int cell) {
  long long v = 0;
  if (!boxInt(controls, ctl::kCellEdits[static_cast<size_t>(cell - 1)], &v)) return std::nullopt;
  return v;
}

}  // namespace

void UpdateCellSpread(Controls& controls) {
  int count = kCells;
  for (int cell = 8; cell <= kCells; ++cell) {
    const auto v = cellNumber(controls, cell);
    if (!v) return;
    if (*v == 0) {
      count = cell - 1;
      break;
    }
  }
  // Other counts show 0 for all three.
  std::array<long long, kCells> cells{};
  int shown = 0;
  if (count == 7 || count == 10 || count == 13) {
    for (shown = 0; shown < count; ++shown) {
      const auto v = cellNumber(controls, shown + 1);
      if (!v) return;
      cells[static_cast<size_t>(shown)] = *v;
    }
  }
  ShowCellSpread(controls, MaxOf(cells.data(), shown), MinOf(cells.data(), shown));
}

void DecodeUr74Record(QByteArrayView bytes, Controls& controls, MainState& state, Ur74CellCount& cellCount) {
  const Record r(bytes);
  controls.setMaximum(ctl::ProgressBarSOC, 200);
  if (r.at(0) != '!') return;

  bool selectorQ = false;
  if (r.at(39) >= 'A' && r.at(39) <= 'Z') {
    selectorQ = r.at(27) == 'Q';
    controls.setText(ctl::EditFWID, QString::fromLatin1(r.text(39, 12)));
    if (isDigit(r.at(41)) && isDigit(r.at(42))) cellCount.inForce = (r.at(41) - '0') * 10 + (r.at(42) - '0');
  } else {
    controls.setText(ctl::EditFWID, QString());
  }

  const int inForce = cellCount.inForce.load();
  uint32_t packSum = 0;
  for (int cell = 1; cell <= kCells; ++cell) {
    const Control box = ctl::kCellEdits[static_cast<size_t>(cell - 1)];
    if (inForce >= cell) {
      const uint16_t mv = r.u16(2 * cell - 1);
      packSum += mv;
      controls.setText(box, QString::number(mv));
    } else {
      controls.setText(box, QStringLiteral("0"));
    }
  }
  controls.setText(ctl::EditPackVolt, QString::number(packSum));
  UpdateCellSpread(controls);

  const uint32_t rsoc = r.at(53) >> 1;
  const CapacityModel& model = modelFor(r);
  const uint32_t dc = model.designCapacity;
  const uint64_t tcc = r.u40(34) / 7200;
  const uint32_t rem = rsoc * dc / 100;
  const auto est = static_cast<uint64_t>(dc * 0.4 + static_cast<double>(tcc));
  const uint64_t total = rem > est ? rem : est;
  controls.setText(ctl::EditDC, QString::number(dc));
  const auto cycles = static_cast<uint32_t>(total / dc);
  controls.setText(ctl::EditCycleCnt, QString::number(cycles));
  const uint32_t fcc = model.fullChargeCapacity(cycles);
  controls.setText(ctl::EditFCC, QString::number(fcc));
  const uint32_t asoc = fcc * 100 / dc;
  controls.setText(ctl::EditASOC, QString::number(asoc));
  controls.setPosition(ctl::ProgressBarSOH, static_cast<int>(asoc));

  LookupUrBatteryEnergy(controls, state.battery);
  ShowUrSohEnergy(controls);
  controls.setText(ctl::EditTCC, QString::number(total));

  const uint8_t flags = r.at(52);
  constexpr std::array<Control, 5> kFlagBoxes = {ctl::EditOVF, ctl::EditUVF, ctl::EditOCF, ctl::EditSCF, ctl::EditOTF};
  for (int bit = 4; bit >= 0; --bit) {
    controls.setColor(kFlagBoxes[bit], (flags >> bit & 1) != 0 ? colour::Red : colour::White);
  }

  controls.setMaximum(ctl::ProgressBarSOC, 200);
  controls.setPosition(ctl::ProgressBarSOC, r.at(53));
  controls.setText(ctl::EditRSOC, QString::number(rsoc));

  LookupUrBatteryEnergy(controls, state.battery);
  ShowUrSocEnergy(controls);

  showTemperature(controls, r, selectorQ);

  const QString current = QString::number(r.u16(70));
  controls.setText(ctl::EditPackCurrent, (r.at(54) & 0x40) != 0 ? QStringLiteral("-") + current : current);
}

}  // namespace qv::mainwindow
