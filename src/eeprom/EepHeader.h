#pragma once
// The EEPROM header block as the EEPROM window holds it (EepHeaderRecord), the four handlers that fill it from
// the pack's answers to messages 0x6100 to 0x6407, and the 44 lines that show it.
//
// The handlers run on whichever thread read the answer; the record is written and read whole under its own
// lock, so a reader on another thread always takes a consistent copy. Its barcode field is the shared
// CanBarcodeBuffer of the main window's records: the CAN barcode decoders and the barcode commands use the same
// 32 characters.

#include "mainwindow/MainState.h"

#include <QStringList>

#include <array>
#include <cstdint>

namespace qv::eeprom {

struct EepHeaderRecord {
  uint32_t byteCount = 0;       // 0: the pack keeps no header
  std::array<char, 8> id{};     // three characters and a digit, zeros after
  uint8_t currentUnit = 0;      // mA
  uint8_t voltageUnit = 0;      // mV
  uint8_t voltageDiffUnit = 0;  // mV
  uint16_t maxVoltageDiff = 0;  // mV
  uint16_t warrantyCycles = 0;
  uint8_t warrantyCapacityPercent = 0;
  uint8_t warrantyMonths = 0;
  std::array<char, 32> cellType{};  // 16 characters written, the zero tail ends the text
  uint16_t cycleCount = 0;
  uint32_t totalChargeCapacity = 0;  // mAh
  uint16_t chargeStartTotal = 0;
  uint16_t dischargeStartTotal = 0;
  uint16_t sleepTotal = 0;
  uint16_t wakeUpTotal = 0;
  uint16_t deepSleepTotal = 0;
  uint16_t resetTotal = 0;
  uint16_t protectReleaseTotal = 0;
  uint16_t fscTotal = 0;
  uint16_t storageTemperatureTotal = 0;
  int32_t cocCount = 0, maxChargeCurrent = 0;         // mA
  int32_t docCount = 0, maxDischargeCurrent = 0;      // mA
  int32_t cotCount = 0, maxChargeTemperature = 0;     // degrees Celsius
  int32_t dotCount = 0, maxDischargeTemperature = 0;  // degrees Celsius
  int32_t cutCount = 0, minTemperature = 0;           // degrees Celsius
  int32_t ovCount = 0, maxCellVoltage = 0;            // mV
  int32_t uvCount = 0, minCellVoltage = 0;            // mV
  int32_t scCount = 0;
};

// The header record with the barcode it shows, taken together.
struct EepHeaderView {
  EepHeaderRecord header;
  mainwindow::BarcodeField barcode{};
};

// The handlers of the four header sections. Each takes only its own IDs with the indexes they have; every other
// message leaves the records as they were. Battery also copies the cell type into the report record, Events the
// charge and discharge start totals.
class EepHeaderHandlers {
 public:
  EepHeaderHandlers(Guarded<EepHeaderRecord>& header, mainwindow::MainState& state) : header_(header), state_(state) {}

  void HandleEepHeaderUnit(uint16_t id, uint16_t index, const uint8_t d[8]);
  void HandleEepHeaderBattery(uint16_t id, uint16_t index, const uint8_t d[8]);
  void HandleEepHeaderEvents(uint16_t id, uint16_t index, const uint8_t d[8]);
  void HandleEepHeaderFlags(uint16_t id, uint16_t index, const uint8_t d[8]);

 private:
  Guarded<EepHeaderRecord>& header_;
  mainwindow::MainState& state_;
};

// The Header page's lines for that record: four sections, 44 lines, each separated from the next by the line of
// the two characters line feed and carriage return.
QStringList EepHeaderLines(const EepHeaderView& view);

// The line that stands between the sections of a page: line feed, then carriage return.
inline const QString kSeparatorLine = QStringLiteral("\n\r");

}  // namespace qv::eeprom
