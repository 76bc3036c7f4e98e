#include "eeprom/EepHeader.h"

#include "link/Bytes.h"
#include "link/PackMessages.h"

#include <algorithm>

namespace qv::eeprom {

namespace {

namespace msg = link::msg;
using link::be16;
using link::be32;

int32_t s32(const uint8_t* p) { return static_cast<int32_t>(be32(p)); }

QString dec(long long v) { return QString::number(v); }

template <size_t N>
QString fieldString(const std::array<char, N>& field) {
  return QString::fromLatin1(link::fieldText(reinterpret_cast<const uint8_t*>(field.data()), N));
}

}  // namespace

void EepHeaderHandlers::HandleEepHeaderUnit(uint16_t id, uint16_t index, const uint8_t d[8]) {
  if (index != 0 || id < msg::kEepHeaderCount || id > msg::kEepHeaderUnitLast) return;
  header_.with([&](EepHeaderRecord& h) {
    switch (id) {
      case msg::kEepHeaderCount: h.byteCount = be16(d); break;
      case msg::kEepHeaderId:
        h.id = {static_cast<char>(d[0]), static_cast<char>(d[1]), static_cast<char>(d[2]),
                static_cast<char>(d[3] + 0x30)};
        break;
      case msg::kEepCurrentUnit: h.currentUnit = d[0]; break;
      case msg::kEepVoltageUnit: h.voltageUnit = d[0]; break;
      case msg::kEepVoltageDiffUnit: h.voltageDiffUnit = d[0]; break;
      default: break;
    }
  });
}

void EepHeaderHandlers::HandleEepHeaderBattery(uint16_t id, uint16_t index, const uint8_t d[8]) {
  if (id == msg::kEepCellType) {
    if (index != 1 && index != 2) return;
    const size_t at = 8 * (index - 1u);
    header_.with([&](EepHeaderRecord& h) { std::copy_n(d, 8, h.cellType.begin() + at); });
    state_.report.with([&](mainwindow::ReportRecord& r) { std::copy_n(d, 8, r.cellType.begin() + at); });
    return;
  }
  if (id == msg::kEepBarcode) {
    if (index < 1 || index > 4) return;
    state_.records.CanBarcodeBuffer.with(
        [&](mainwindow::BarcodeField& b) { std::copy_n(d, 8, b.begin() + 8 * (index - 1u)); });
    return;
  }
  if (index != 0 || id < msg::kEepBatteryInfoFirst || id > msg::kEepBatteryInfoLast) return;
  header_.with([&](EepHeaderRecord& h) {
    switch (id) {
      case msg::kEepMaxVoltageDiff: h.maxVoltageDiff = be16(d); break;
      case msg::kEepWarrantyCycles: h.warrantyCycles = be16(d); break;
      case msg::kEepWarrantyCapacity: h.warrantyCapacityPercent = d[0]; break;
      case msg::kEepWarrantyMonths: h.warrantyMonths = d[0]; break;
      case msg::kEepCycleCount: h.cycleCount = be16(d); break;
      case msg::kEepTotalChargeCapacity: h.totalChargeCapacity = be32(d); break;
      default: break;
    }
  });
}

void EepHeaderHandlers::HandleEepHeaderEvents(uint16_t id, uint16_t index, const uint8_t d[8]) {
  if (index != 0 || id < msg::kEepEventTotalsFirst || id > msg::kEepEventTotalsLast) return;
  const uint16_t v = be16(d);
  header_.with([&](EepHeaderRecord& h) {
    uint16_t* const fields[] = {
        &h.chargeStartTotal,       &h.dischargeStartTotal, &h.sleepTotal,          &h.wakeUpTotal,
        &h.deepSleepTotal,         &h.resetTotal,          &h.protectReleaseTotal, &h.fscTotal,
        &h.storageTemperatureTotal};
    *fields[id - msg::kEepEventTotalsFirst] = v;
  });
  if (id == msg::kEepChargeStartTotal) state_.report.with([&](mainwindow::ReportRecord& r) { r.chargeEventTotal = v; });
  if (id == msg::kEepDischargeStartTotal)
    state_.report.with([&](mainwindow::ReportRecord& r) { r.dischargeEventTotal = v; });
}

void EepHeaderHandlers::HandleEepHeaderFlags(uint16_t id, uint16_t index, const uint8_t d[8]) {
  if (index != 0 || id < msg::kEepProtectionCountsFirst || id > msg::kEepProtectionCountsLast) return;
  header_.with([&](EepHeaderRecord& h) {
    struct Pair {
      int32_t* count;
      int32_t* extreme;
    };
    const Pair pairs[] = {{&h.cocCount, &h.maxChargeCurrent},     {&h.docCount, &h.maxDischargeCurrent},
                          {&h.cotCount, &h.maxChargeTemperature}, {&h.dotCount, &h.maxDischargeTemperature},
                          {&h.cutCount, &h.minTemperature},       {&h.ovCount, &h.maxCellVoltage},
                          {&h.uvCount, &h.minCellVoltage},        {&h.scCount, nullptr}};
    const Pair& p = pairs[id - msg::kEepProtectionCountsFirst];
    *p.count = s32(d);
    if (p.extreme != nullptr) *p.extreme = s32(d + 4);
  });
}

// Each line is its pieces joined: no format string, so a line ending in a percent sign needs no escape.
QStringList EepHeaderLines(const EepHeaderView& view) {
  const EepHeaderRecord& h = view.header;
  const QString barcode = fieldString(view.barcode);  // at most the field's 32 characters
  return {
      "1. EEPROM Header Block : Unit Section ",
      "Header's total number of bytes :   " + dec(static_cast<int32_t>(h.byteCount)),
      "ID :   " + fieldString(h.id),
      "Pack Current Unit :   " + dec(h.currentUnit) + "   mA",
      "Pack Volat Unit :   " + dec(h.voltageUnit) + "   mV",
      "Voltage Diff Unit : " + dec(h.voltageDiffUnit) + "   mV",
      kSeparatorLine,
      "2. EEPROM Header Block : Battery Information Section",
      "Max Volt Diff :   " + dec(h.maxVoltageDiff) + "   mV",
      "Warranty Cycle :   " + dec(h.warrantyCycles) + "   times",
      "Warranty Design Capacity percentage:   " + dec(h.warrantyCapacityPercent) + "   %",
      "Warranty Months :   " + dec(h.warrantyMonths) + "   ",
      "Cell type 16 Bytes :   " + fieldString(h.cellType) + "   ",
      "Cycle Count :   " + dec(h.cycleCount) + "   times",
      "Total Charge Capacity :   " + dec(static_cast<int32_t>(h.totalChargeCapacity)) + "   mAh",
      "Barcode32 :   " + barcode + "   ",
      kSeparatorLine,
      "3. EEPROM Header Block : Event Information Section",
      "Charge Start Total :   " + dec(h.chargeStartTotal) + "   times",
      "Discharge Start Total :   " + dec(h.dischargeStartTotal) + "   times",
      "Sleep Total :   " + dec(h.sleepTotal) + "   times",
      "Deep Sleep Total :   " + dec(h.deepSleepTotal) + " times",
      "Wake Up Total :   " + dec(h.wakeUpTotal) + " times",
      "Reset Total :   " + dec(h.resetTotal) + "   times",
      "Protecol Release Total :   " + dec(h.protectReleaseTotal) + "   times",
      "FSC Total :   " + dec(h.fscTotal) + "   times",
      "Storage Temperature total:   " + dec(h.storageTemperatureTotal) + "   times",
      kSeparatorLine,
      "4. EEPROM Header Block : Flag Count Sectiion ",
      "COC Total :   " + dec(h.cocCount) + "   times",
      "Max Charge Current :   " + dec(h.maxChargeCurrent) + "   mA",
      "DOC Total :   " + dec(h.docCount) + "   times",
      "Max Discharge Current :   " + dec(h.maxDischargeCurrent) + "   mA",
      "COT Total :   " + dec(h.cotCount) + "   times",
      "Max Charge Temperature :   " + dec(h.maxChargeTemperature) + "   Deg. C",
      "DOT Total :   " + dec(h.dotCount) + "   times",
      "Max Discharge Temperature :   " + dec(h.maxDischargeTemperature) + "   Deg. C",
      "CUT Total :   " + dec(h.cutCount) + "   times",
      "Min Temperature :   " + dec(h.minTemperature) + "   Deg. C",
      "OV Total :   " + dec(h.ovCount) + "   times",
      "Max Cell Voltage :   " + dec(h.maxCellVoltage) + "   mV",
      "UV Total :   " + dec(h.uvCount) + "   times",
      "Min Cell Voltage :   " + dec(h.minCellVoltage) + "   mV",
      "SC Total :   " + dec(h.scCount) + "   times",
  };
}

}  // namespace qv::eeprom
