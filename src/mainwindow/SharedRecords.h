#pragma once
// Records that the Function Test and the EEPROM tools own and read, but that the CAN decoders fill from the
// pack's answers on whichever thread dispatched them, and that the main window's creation fills from EVT.ini.
// They live here, below all of them, so the decoders need no higher layer. Each is guarded on its own: a
// reader takes a whole snapshot, a writer changes it whole. Whoever holds two at once takes EVT_TEST_SET
// before EVT_TEST.

#include "platform/Guarded.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <array>
#include <cstdint>

namespace qv::mainwindow {

// Zero-terminated character fields of the Function Test's records.
using EvtText64 = std::array<char, 64>;
using EvtText32 = std::array<char, 32>;

// The text a zero-terminated field holds (all of it when no zero byte ends it).
template <size_t N>
QByteArray evtText(const std::array<char, N>& field) {
  return QByteArray(field.data(), static_cast<qsizetype>(std::find(field.begin(), field.end(), '\0') - field.begin()));
}

// EVT_TEST: the Function Test's check record. The expected values and limits come from EVT.ini [Check]; the
// failure lines are the current run's; the pack clock is what the CAN clock answer last reported, the written
// clock what the clock-set command last wrote. Flags are 0 or 1.
struct EvtTest {
  static constexpr int kFailSlots = 256;  // slot 0 is never used

  EvtText64 BarcodeName{};
  EvtText64 ProjectName{};
  EvtText32 FWVer{};
  int32_t RTCAccuracyRange = 0;
  int32_t DateTimeAccuracyRange = 0;      // s
  int32_t DateTimeFirstToCheckRange = 0;  // s
  int32_t SOCMax = 0;
  int32_t SOCMin = 0;
  int32_t SOHMax = 0;
  int32_t SOHMin = 0;
  int32_t T1 = 0;
  int32_t T2 = 0;
  int32_t T1Range = 0;
  int32_t T2Range = 0;
  int32_t CellVoltMax = 0;
  int32_t CellVoltMin = 0;
  int32_t CellBalance = 0;
  int32_t PackVoltMax = 0;
  int32_t PackVoltMin = 0;
  int32_t PackCurrentMax = 0;
  int32_t PackCurrentMin = 0;
  uint8_t OVFlag = 0;
  uint8_t UVFlag = 0;
  uint8_t OCFlag = 0;
  uint8_t SCFlag = 0;
  uint8_t OTFlag = 0;
  uint8_t UTFlag = 0;
  int32_t CycleCnt = 0;
  uint8_t ShippingMode = 0;
  int32_t FailCount = 0;                        // failures of the run, stored or not
  std::array<QString, kFailSlots> FailLines{};  // slots 1 to 255, in the order the failures came
  int32_t PackRtcYear = 0;                      // 2000 + the answer's year byte
  int32_t PackRtcMonth = 0;
  int32_t PackRtcDay = 0;
  int32_t PackRtcHour = 0;
  int32_t PackRtcMinute = 0;
  int32_t PackRtcSecond = 0;
  int32_t PackRtcDate = 0;     // year x 10000 + month x 100 + day
  int32_t PackRtcSeconds = 0;  // hour x 3600 + minute x 60 + second
  int32_t WrittenRtcDate = 0;
  int32_t WrittenRtcSeconds = 0;
  int32_t WrittenRtcYear = 0;
  int32_t WrittenRtcMonth = 0;
  int32_t WrittenRtcDay = 0;
  int32_t WrittenRtcHour = 0;
  int32_t WrittenRtcMinute = 0;
  int32_t WrittenRtcSecond = 0;
  uint8_t RTCTest = 0;

  // A failure of the run: counted always, its line kept while a slot is free, so the slots are never overrun
  // and the count still says how many failures there were.
  void AddFailLine(const QString& line) {
    if (FailCount == INT32_MAX) return;
    ++FailCount;
    if (FailCount < kFailSlots) FailLines[static_cast<size_t>(FailCount)] = line;
  }
  // How many of the run's failure lines the slots hold (slots 1 to that number), and how many did not fit.
  int32_t FailLinesStored() const { return std::clamp<int32_t>(FailCount, 0, kFailSlots - 1); }
  int32_t FailLinesLeftOut() const { return FailCount > kFailSlots - 1 ? FailCount - (kFailSlots - 1) : 0; }
};

// EVT_TEST_SET: the Function Test's settings and counters record. The settings come from EVT.ini [Set] (and
// LogRecordCnt from [Check]); the model text and the cell count are what the pack reports over CAN; the
// counters count runs from program start. Flags are 0 or 1.
struct EvtTestSet {
  int32_t DevTestNumber = 0;
  int32_t BarcodeMode = 0;
  int32_t BarcodeModeENG = 0;
  EvtText64 ModelName{};  // zero-terminated; characters 0-7 from the first half, 8-15 the second
  int32_t CellSeries = 0;
  int32_t PassCount = 0;
  int32_t NgCount = 0;
  int32_t TotalCount = 0;
  int32_t LogRecordCnt = 0;
  int32_t TestRepeatCnt = 0;
  int32_t Sleep_or_DeepSleepStatusWrite = 0;
  int32_t Sleep_or_DeepSleep_Status_AfterEndTest = 0;
  uint8_t EraseMCUIntTCCWrite = 0;
  uint8_t EraseMCUIntEEPWrite = 0;
  uint8_t EEPEraseWrite = 0;
  uint8_t BarcodeWrite = 0;
  uint8_t RTCWrite = 0;
  uint8_t ShippingModeWrite = 0;
  uint8_t SleepModeWrite = 0;
};

// The barcode field of the EEPROM header record: 32 characters with no terminator of their own; the text
// ends at the first zero byte.
using BarcodeField = std::array<char, 32>;

// One 32-byte history record as the EEPROM window decodes it, filled part by part (eight bytes each).
struct EepBlockBuffer {
  std::array<uint8_t, 6> dateTime{};  // year - 2000, month, day, hour, minute, second
  int32_t currentHigh = 0;            // mA
  uint32_t currentLow = 0;
  int32_t current = 0;   // high part plus low part
  uint32_t voltage = 0;  // mV
  uint8_t stateOfCharge = 0;
  int8_t t1 = 0;
  uint16_t voltageDifference = 0;
  uint16_t cycleCount = 0;
  uint8_t flag = 0;
  std::array<uint8_t, 32> raw{};
  uint32_t byteSum = 0;
  uint8_t valid = 0;          // the record sum in raw bytes 30-31 matches
  uint8_t partsReceived = 0;  // bit p-1 for each part p stored since the buffer was zeroed
  // Bit p-1 when part p's data was last stored after an answer header of status 0: a refused answer's data
  // is stored all the same, but does not count as the pack's record.
  uint8_t partsAccepted = 0;
  // The CAN record block (1 to 3) being read into the buffer: an answer of another block (a late one of the
  // block before) is not stored. 0: no block named, every block's parts are stored.
  uint8_t canBlock = 0;

  static constexpr uint8_t kAllParts = 0x0F;
  // All four parts arrived since the buffer was zeroed: the fields describe one record.
  bool complete() const { return partsReceived == kAllParts; }
};

// The cell voltages as the CAN cell answers last brought them, with the count of non-zero values stored since
// monitoring last reset it.
struct CanCellVolts {
  static constexpr int kCells = 13;
  std::array<uint16_t, kCells> volts{};  // mV
  uint8_t nonZeroCount = 0;              // saturates at 255
};

struct SharedRecords {
  Guarded<EvtTest> EVT_TEST;
  Guarded<EvtTestSet> EVT_TEST_SET;
  Guarded<BarcodeField> CanBarcodeBuffer;
  Guarded<EepBlockBuffer> ProtectBlockBuffer;
  Guarded<CanCellVolts> CellVoltArray;
};

}  // namespace qv::mainwindow
