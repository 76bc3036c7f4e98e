#include "mainwindow/CanDecoders.h"

#include "link/Bytes.h"
#include "mainwindow/CapacityTable.h"

#include "link/ConfigFormControls.h"
#include "mainwindow/MainFormControls.h"
#include "platform/Text.h"

#include <algorithm>
#include <numeric>
#include <string>
#include <string_view>

namespace qv::mainwindow {

namespace {

using link::kProtocolCan;
using link::kProtocolUr;

using link::be16;
using link::be32;
using link::le16;
using link::le32;

// Copies the data bytes up to the first blank, at most eight, to the field from `at`.
void copyUpToBlank(const uint8_t d[8], char* at) {
  for (int i = 0; i < 8 && d[i] != ' '; ++i) at[i] = static_cast<char>(d[i]);
}

bool boxWholeNumber(const Controls& controls, Control box, long double* out) {
  long long n = 0;
  if (!boxInt(controls, box, &n)) return false;
  *out = static_cast<long double>(n);
  return true;
}

// A result that is no finite number (a zero divisor) leaves the box as it was; the energy shares, which have no
// divisor, go through ShowEnergyShare instead.
void showTruncated(Controls& controls, Control box, long double value) {
  if (const std::optional<QString> text = TruncatedDecimal(value)) controls.setText(box, *text);
}

// The status boxes of the 0x400 broadcast: each shows its bit in its colour, silver when the bit is clear.
enum Word { kCr, kAsr1 };
struct StatusBox {
  Control name;
  Word word;
  int bit;
  Colour set;
};
constexpr StatusBox kStatusBoxes[] = {
    {ctl::Edit400hASR1Bit0FD, kAsr1, 0, colour::Lime},      {ctl::Edit400hASR1Bit1NED, kAsr1, 1, colour::Lime},
    {ctl::Edit400hASR1Bit2CHGFET, kAsr1, 2, colour::Lime},  {ctl::Edit400hASR1Bit3DSGFET, kAsr1, 3, colour::Lime},
    {ctl::Edit400hASR1Bit5DSG, kAsr1, 5, colour::Lime},     {ctl::Edit400hASR1Bit6FC, kAsr1, 6, colour::Lime},
    {ctl::Edit400hASR1Bit7CHG, kAsr1, 7, colour::Lime},     {ctl::Edit400hASR1Bit8TCA, kAsr1, 8, colour::Red},
    {ctl::Edit400hASR1Bit9COV, kAsr1, 9, colour::Red},      {ctl::Edit400hASR1Bit10CUV, kAsr1, 10, colour::Red},
    {ctl::Edit400hASR1Bit11OCC, kAsr1, 11, colour::Red},    {ctl::Edit400hASR1Bit12SCD, kAsr1, 12, colour::Red},
    {ctl::Edit400hASR1Bit13OCD, kAsr1, 13, colour::Red},    {ctl::Edit400hASR1Bit14TDA, kAsr1, 14, colour::Red},
    {ctl::Edit400hASR1Bit15CHVPA, kAsr1, 15, colour::Lime}, {ctl::Edit400hCRBit0Approval, kCr, 0, colour::Lime},
    {ctl::Edit400hCRBit1CReduct1, kCr, 1, colour::Lime},    {ctl::Edit400hCRBit2CReduct2, kCr, 2, colour::Lime},
    {ctl::Edit400hCRBit14SW1, kCr, 14, colour::Red},        {ctl::Edit400hCRBit15SW2, kCr, 15, colour::Red},
};

}  // namespace

CanDecoders::CanDecoders(Controls& controls, MainState& state) : controls_(controls), state_(state) {}

void CanDecoders::ShowCanStatusRegisters(const uint8_t d[8]) {
  const uint16_t words[] = {le16(d), le16(d + 2)};
  for (const StatusBox& box : kStatusBoxes) {
    controls_.setColor(box.name, (words[box.word] >> box.bit & 1) != 0 ? box.set : colour::Silver);
  }
}

void CanDecoders::ShowCanPackVoltageCurrent(const uint8_t d[8]) {
  controls_.setText(ctl::Edit401hPackVoltage, QString::number(le32(d)));
  controls_.setText(ctl::Edit401hPackCurrent, QString::number(static_cast<int32_t>(le32(d + 4))));
}

void CanDecoders::ShowCanCapacity(const uint8_t d[8]) {
  const QString rsoc = QString::number(le32(d));
  controls_.setText(ctl::Edit402hRBtyWhCapPercentage, rsoc);
  controls_.setText(ctl::Edit402hABtyWhCapmWh, QString::number(le32(d + 4)));
  controls_.setText(ctl::EditRSOC, rsoc);

  long double capacity = 0, asoc = 0, rsocBox = 0;
  if (!boxNumber(controls_, ctl::Edit_Battery_Capacity_BRCAN, &capacity) ||
      !boxNumber(controls_, ctl::EditASOC, &asoc) || !boxNumber(controls_, ctl::EditRSOC, &rsocBox))
    return;
  ShowEnergyShare(controls_, ctl::Edit_BRCAN_SOC_Wh, capacity * (asoc * 0.01) * (rsocBox * 0.01));
}

void CanDecoders::ShowCanHealth(const uint8_t d[8]) {
  const uint16_t health = le16(d);
  switch (controls_.itemIndex(link::ctl::RadioGroup_Protocol)) {
    case kProtocolCan: {
      controls_.setText(ctl::Edit_403h_RSOH, QString::number(health));
      controls_.setText(ctl::EditASOC, QString::number(health));
      controls_.setText(ctl::Edit403hBatteryPackSOHmWh, QString::number(le32(d + 4)));
      long double capacity = 0, asoc = 0;
      if (!boxNumber(controls_, ctl::Edit_Battery_Capacity_BRCAN, &capacity) ||
          !boxNumber(controls_, ctl::EditASOC, &asoc))
        return;
      ShowEnergyShare(controls_, ctl::Edit_BRCAN_SOH_Capacity, (asoc * 0.01) * capacity);
      break;
    }
    case kProtocolUr: controls_.setText(ctl::EditASOC, QString::number(health / 100)); break;
    default: break;
  }
}

void CanDecoders::ShowCanModelName(int half, const uint8_t d[8]) {
  if (half == 1) {
    state_.firmwareIdText.set(link::fieldText(d, 8));
    modelNameFirstHalf_ = true;
  } else {
    if (modelNameFirstHalf_) {
      controls_.setText(ctl::Edit_ModelName, platform::big5Text(state_.firmwareIdText.append(link::fieldText(d, 8))));
    }
    modelNameFirstHalf_ = false;
  }
  // The first half starts the field afresh; the second replaces its own eight characters whole, so that a
  // shorter second half keeps nothing of an earlier one.
  state_.records.EVT_TEST_SET.with([&](EvtTestSet& set) {
    const auto from = set.ModelName.begin() + (half == 1 ? 0 : 8);
    std::fill(from, half == 1 ? set.ModelName.end() : from + 8, '\0');
    copyUpToBlank(d, &*from);
  });
}

void CanDecoders::ShowCanFwVersion(const uint8_t d[8]) {
  controls_.setText(ctl::Edit_FWVer, QString::number(d[0]) + "." + QString::number(d[1]));
}

void CanDecoders::ShowCanCellConfig(const uint8_t d[8]) {
  const QString series = QString::number(d[0]);
  const QString parallel = QString::number(d[1]);
  controls_.setText(ctl::EditCellSeries, series);
  controls_.setText(ctl::Edit_CellSeries, series);
  controls_.setText(ctl::EditCellParallel, parallel);
  controls_.setText(ctl::Edit_CellParallel, parallel);
  state_.records.EVT_TEST_SET.with([&](EvtTestSet& set) { set.CellSeries = d[0]; });
}

void CanDecoders::ShowCanFullChargeCapacity() {
  long double capacity = 0, health = 0, series = 0;
  if (!boxWholeNumber(controls_, ctl::Edit_Battery_Capacity_BRCAN, &capacity) ||
      !boxWholeNumber(controls_, ctl::EditASOC, &health) || !boxWholeNumber(controls_, ctl::Edit_CellSeries, &series))
    return;
  showTruncated(controls_, ctl::EditFullChargeCapacity, capacity * (health * 0.01) * 1000 / (series * 3.6));
}

void CanDecoders::ShowCanDesignVoltage(const uint8_t d[8]) {
  controls_.setText(ctl::EditDesignVoltage, QString::number(be16(d)));
}

void CanDecoders::ShowCanDesignCapacity(const uint8_t d[8]) {
  controls_.setText(ctl::EditDesignCapacity, QString::number(be16(d)));
}

void CanDecoders::ShowCanBarcode32(int quarter, const uint8_t d[8]) {
  const BarcodeField field = state_.records.CanBarcodeBuffer.with([&](BarcodeField& buffer) {
    char* at = buffer.data() + 8 * (quarter - 1);
    for (int i = 0; i < 8; ++i) {
      if (d[i] != ' ') at[i] = static_cast<char>(d[i]);
    }
    return buffer;
  });
  const auto end = std::find(field.begin(), field.end(), '\0');
  controls_.setText(ctl::Edit_Barcode32_RW, platform::big5Text(QByteArrayView(field.data(), end - field.begin())));
}

void CanDecoders::ShowCanCellVolts(int index, const uint8_t d[8]) {
  const int first = 4 * (index - 1);  // cell number less one
  const int count = index == 4 ? 1 : 4;
  state_.records.CellVoltArray.with([&](CanCellVolts& cells) {
    for (int i = 0; i < count; ++i) {
      const uint16_t mv = be16(d + 2 * i);
      cells.volts[static_cast<size_t>(first + i)] = mv;
      if (mv != 0 && cells.nonZeroCount < UINT8_MAX) ++cells.nonZeroCount;
    }
  });
  for (int i = 0; i < count; ++i) {
    controls_.setText(ctl::kCellEdits[static_cast<size_t>(first + i)], QString::number(be16(d + 2 * i)));
  }
}

void CanDecoders::ShowCanTotalChargeCapacity(const uint8_t d[8]) {
  controls_.setText(ctl::EditTotalChargeCapcity, QString::number(be32(d)));
}

void CanDecoders::ShowCanRtc(const uint8_t d[8]) {
  const int year = 2000 + d[0];
  const auto n = [&](int i) { return QString::number(d[i]); };
  controls_.setText(ctl::EditRTC,
                    " " + QString::number(year) + "." + n(1) + "." + n(2) + "  " + n(3) + ":" + n(4) + ":" + n(5));
  controls_.setText(ctl::Edit_RTC, controls_.text(ctl::EditRTC));
  state_.records.EVT_TEST.with([&](EvtTest& test) {
    test.PackRtcYear = year;
    test.PackRtcMonth = d[1];
    test.PackRtcDay = d[2];
    test.PackRtcHour = d[3];
    test.PackRtcMinute = d[4];
    test.PackRtcSecond = d[5];
    test.PackRtcDate = year * 10000 + d[1] * 100 + d[2];
    test.PackRtcSeconds = d[3] * 3600 + d[4] * 60 + d[5];
  });
}

void CanDecoders::ShowCanCycleCount(const uint8_t d[8]) {
  const QString cycles = QString::number(be32(d));
  controls_.setText(ctl::EditCycleCount, cycles);
  controls_.setText(ctl::Edit_CycleCount, cycles);
}

void CanDecoders::ShowCanRemainCapacity(const uint8_t d[8]) {
  controls_.setText(ctl::EditRemainCapacity, QString::number(be32(d)));
}

void CanDecoders::ShowCanShippingMode(const uint8_t d[8]) {
  const bool enabled = (d[0] & 0x01) != 0;
  controls_.setText(ctl::Label_ShippingMode_RX_DAT, QStringLiteral("DAT : OK"));
  controls_.setChecked(ctl::CheckBox_ShippingModeReadOnly, enabled);
  controls_.setText(ctl::CheckBox_ShippingModeReadOnly,
                    enabled ? QStringLiteral("Enabled") : QStringLiteral("Disabled"));
}

void CanDecoders::StoreCanEepRecordPart(int block, int part, const uint8_t d[8], uint8_t status) {
  state_.records.ProtectBlockBuffer.with([&](EepBlockBuffer& b) {
    if (b.canBlock != 0 && b.canBlock != block) return;
    std::copy_n(d, 8, b.raw.begin() + 8 * (part - 1));
    const auto bit = static_cast<uint8_t>(1u << (part - 1));
    b.partsReceived |= bit;
    if (status == 0) {
      b.partsAccepted |= bit;
    } else {
      b.partsAccepted &= static_cast<uint8_t>(~bit);
    }
    switch (part) {
      case 1:
        std::copy_n(d, 6, b.dateTime.begin());
        b.currentHigh = static_cast<int32_t>(uint32_t{d[6]} << 24 | uint32_t{d[7]} << 16);
        b.current = b.currentHigh;
        break;
      case 2:
        b.currentLow = be16(d);
        b.current = static_cast<int32_t>(static_cast<uint32_t>(b.currentHigh) + b.currentLow);
        b.voltage = be32(d + 2) * 2u;
        b.stateOfCharge = d[6];
        b.t1 = static_cast<int8_t>(d[7]);
        break;
      case 3:
        b.voltageDifference = be16(d);
        b.cycleCount = be16(d + 2);
        b.flag = d[4];
        break;
      case 4:
        b.byteSum = std::accumulate(b.raw.begin(), b.raw.begin() + 30, uint32_t{0});
        b.valid = b.raw[30] == (b.byteSum >> 8 & 0xFF) && b.raw[31] == (b.byteSum & 0xFF) ? 1 : 0;
        break;
    }
  });
}

void CanDecoders::ShowWakeUpLineType(const uint8_t d[8]) {
  controls_.setText(wakeUpLineTypeBox_, QString::number(d[5]));
}

}  // namespace qv::mainwindow
