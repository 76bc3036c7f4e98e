#pragma once
// The state that the main window owns and that monitoring, the dispatchers, the commands and the EEPROM tools
// share: the run flag, the detected UR variant, the firmware id text, the report record, the capacity-table
// state, the UR decoders' memory and the records the CAN decoders fill. Each piece is guarded on its own;
// nothing here touches a control.

#include "mainwindow/SharedRecords.h"
#include "platform/Guarded.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <atomic>
#include <cstdint>

namespace qv::mainwindow {

// The one stop signal: 1 = go on, 0 = stop. Tests treat any value other than 0 as go on.
struct RunFlagByte {
  std::atomic<uint8_t> value{0};
  bool running() const { return value.load() != 0; }
  void set(uint8_t v) { value.store(v != 0 ? 1 : 0); }
};

enum : uint8_t { kVariantNone = 0, kVariantUr74 = 1, kVariantUr96 = 2, kVariantUr2 = 3 };

// The firmware id assembled from the answers to message 0x0001: at most 511 characters, never more.
class FirmwareIdText {
 public:
  static constexpr int kCapacity = 511;
  void clear() {
    std::lock_guard lock(mutex_);
    text_.clear();
  }
  // Appends what fits of the bytes; returns the whole text after the append.
  QByteArray append(const QByteArray& bytes) {
    std::lock_guard lock(mutex_);
    text_.append(bytes.left(kCapacity - text_.size()));
    return text_;
  }
  void set(const QByteArray& bytes) {
    std::lock_guard lock(mutex_);
    text_ = bytes.left(kCapacity);
  }
  QByteArray text() const {
    std::lock_guard lock(mutex_);
    return text_;
  }

 private:
  mutable std::mutex mutex_;
  QByteArray text_;
};

// A date and time as the pack stores it: year minus 2000, month, day, hour, minute, second.
struct PackStamp {
  uint8_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// The report record (QVTYPE_REPORT_STRUCT): what the diagnosis report and the history analysis read, gathered
// from pack messages.
// Each field keeps its value until its writer runs again; it is never cleared as a whole.
struct ReportRecord {
  std::array<char, 17> firmwareId{};  // 16 characters and a terminating zero
  std::array<char, 17> cellType{};
  uint32_t designCapacity = 0;  // mAh
  uint32_t cellsInSeries = 0;
  uint32_t cellsInParallel = 0;
  PackStamp lastCharge;
  uint8_t lastChargeSoc = 0;
  uint32_t cycleCount = 0;
  uint8_t stateOfCharge = 0;
  int32_t packCurrent = 0;                  // mA, negative discharging
  uint8_t protectionFlags = 0;              // bit 0 OV, 1 UV, 2 OC, 3 SC, 4 OT, 5 UT
  uint32_t fullChargeCapacity = 0;          // mAh
  uint32_t packVoltage = 0;                 // mV
  int8_t t1 = 0;                            // degrees Celsius
  std::array<uint32_t, 16> cellVoltages{};  // mV, cells 1 to 16
  uint16_t maxCellVoltage = 0;
  uint16_t minCellVoltage = 0;
  uint16_t chargeEventTotal = 0;
  uint16_t dischargeEventTotal = 0;
  PackStamp firstFullCharge;
  PackStamp lastFullCharge;
  PackStamp firstDepletion;
  PackStamp lastDepletion;
  std::array<uint16_t, 6> lowSocSince{};
  PackStamp chargeAfterLowSoc;
  uint64_t totalChargeCapacity = 0;
  std::array<char, 9> barcodeTail{};
  uint16_t week = 0;
  uint16_t expiryYear = 0;
  uint8_t expiryYearOffset = 0;
  uint8_t expiryMonth = 0;
  uint8_t expiryDay = 0;
  QString lastChargeText;
};

// The state of the capacity-table lookup (_BATTERY).
struct BatteryLookup {
  int32_t filePresent = 0;
  int32_t keyFound = 0;
  int32_t linesRead = 0;
  QByteArray keyText;
  QByteArray foundValue;
  QByteArray valueText;
};

// The cell resistances of cells 1 to 13 in milliohms, as "Load" last read them.
using CellResistanceValues = std::array<int16_t, 13>;

struct MainState {
  RunFlagByte RunFlag;
  std::atomic<uint8_t> DetectedUrVariant{kVariantNone};
  FirmwareIdText firmwareIdText;
  Guarded<ReportRecord> report;
  Guarded<BatteryLookup> battery;
  std::atomic<uint32_t> CellDesignCapacity{0};
  SharedRecords records;
  Guarded<CellResistanceValues> CellResistance;
};

}  // namespace qv::mainwindow
