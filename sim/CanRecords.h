#pragma once
// The pack's CAN history records (last charge, last full charge, last under-voltage protection): 32 bytes each,
// laid out as the pack keeps them, and its configuration parameters answered to message 0x304.

#include <array>
#include <cstdint>

namespace qv::sim {

struct EepRecordFields {
  uint8_t year = 24;  // minus 2000
  uint8_t month = 1, day = 1, hour = 0, minute = 0, second = 0;
  int32_t current = 0;             // mA
  uint32_t voltageWord = 0;        // the voltage word as the record holds it
  uint8_t stateOfCharge = 0;       // %
  int8_t t1 = 0;                   // degrees Celsius
  uint16_t voltageDifference = 0;  // mV
  uint16_t cycleCount = 0;         // high byte first, as the CAN record holds it
  uint8_t flag = 0;
  bool goodSum = true;  // false: the record sum is off by one
};

// Bytes 0-5 date and time, 6-9 current, 10-13 voltage, 14 SOC, 15 T1, 16-17 voltage difference, 18-19 cycle
// count, 20 flag, 30-31 the sum of bytes 0-29 (high byte first).
std::array<uint8_t, 32> EncodeEepRecord(const EepRecordFields& fields);

// The answer 0x404 to a parameter request 0x304 (data 0: the answer type wanted, 1: the index): type, index,
// three zero bytes, the value, two zero bytes.
std::array<uint8_t, 8> EncodeParameterAnswer(uint8_t type, uint8_t index, uint8_t value);

}  // namespace qv::sim
