#pragma once
// Records that the Function Test and the EEPROM tools own and read, but that the CAN decoders fill from the
// pack's answers on whichever thread dispatched them. They live here, below both, so the decoders need no
// higher layer. Each is guarded on its own: a reader takes a whole snapshot, a writer changes it whole.

#include "platform/Guarded.h"

#include <array>
#include <cstdint>

namespace qv::mainwindow {

// EVT_TEST: the Function Test's check record. Here the pack clock as the CAN clock answer last reported it.
struct EvtTest {
  int32_t PackRtcYear = 0;     // 2000 + the answer's year byte
  int32_t PackRtcMonth = 0;
  int32_t PackRtcDay = 0;
  int32_t PackRtcHour = 0;
  int32_t PackRtcMinute = 0;
  int32_t PackRtcSecond = 0;
  int32_t PackRtcDate = 0;     // year x 10000 + month x 100 + day
  int32_t PackRtcSeconds = 0;  // hour x 3600 + minute x 60 + second
};

// EVT_TEST_SET: the Function Test's settings and counters record. Here what the pack reports over CAN.
struct EvtTestSet {
  std::array<char, 64> ModelName{};  // zero-terminated; characters 0-7 from the first half, 8-15 the second
  int32_t CellSeries = 0;
};

// The barcode field of the EEPROM header record: 32 characters with no terminator of their own; the text
// ends at the first zero byte.
using BarcodeField = std::array<char, 32>;

// One 32-byte history record as the EEPROM window decodes it, filled part by part (eight bytes each).
struct EepBlockBuffer {
  std::array<uint8_t, 6> dateTime{};  // year - 2000, month, day, hour, minute, second
  int32_t currentHigh = 0;            // mA
  uint32_t currentLow = 0;
  int32_t current = 0;                // high part plus low part
  uint32_t voltage = 0;               // mV
  uint8_t stateOfCharge = 0;
  int8_t t1 = 0;
  uint16_t voltageDifference = 0;
  uint16_t cycleCount = 0;
  uint8_t flag = 0;
  std::array<uint8_t, 32> raw{};
  uint32_t byteSum = 0;
  uint8_t valid = 0;          // the record sum in raw bytes 30-31 matches
  uint8_t partsReceived = 0;  // bit p-1 for each part p stored since the buffer was zeroed

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
