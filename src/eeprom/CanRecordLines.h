#pragma once
// The text of the pack's three CAN history records (last charge, last full charge, last under-voltage
// protection) as the EEPROM record window shows them: one record line, preceded by its block's heading when the
// record is the block's event, or the block's line for an absent record.

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

namespace qv::eeprom {

// One 32-byte record as the CAN decoders left it in the protection block buffer.
struct CanRecordFields {
  std::array<uint8_t, 6> dateTime{};  // year - 2000, month, day, hour, minute, second
  int32_t current = 0;                // mA
  uint32_t voltage = 0;               // mV
  uint8_t stateOfCharge = 0;
  int8_t t1 = 0;
  uint16_t voltageDifference = 0;
  uint16_t cycleCount = 0;
  uint8_t flag = 0;           // bit 7: an event record, the whole byte its code; else protection causes
  uint8_t valid = 0;          // the record sum matched
  uint8_t partsAccepted = 0;  // bit p-1: part p's data came with an accepted answer (status 0)
};

// What the flag byte says, one entry per bit as the record line shows it (0 or 1 each).
struct RecordFlagBits {
  uint8_t event = 0, discharge = 0, ut = 0, ot = 0, sc = 0, oc = 0, uv = 0, ov = 0;
};
RecordFlagBits DecodeRecordFlag(uint8_t flag);

// EepEventNames: the name of an event code 128 to 142; any other code has none (empty).
QString EepEventName(uint8_t code);

// One of the three records: its block number (the request index's high byte), the event code it is kept for,
// and its lines.
struct CanRecordBlock {
  int block;
  uint8_t eventCode;
  const char* heading;
  const char* absent;
};
inline constexpr std::array<CanRecordBlock, 3> kCanRecordBlocks{{
    {1, 140, "Last Chrage Event  : ", "No Last Chrage Event."},
    {2, 141, "Last Full Chrage Event  : ", "No Last Full Chrage Event."},
    {3, 142, "Last UVP Event  : ", "No Last UVP Event."},
}};

// The record line of record number n + 1.
QString FormatCanRecordLine(const CanRecordFields& record, int n);
// FormatRecordBlock: the memo lines of a block whose four parts arrived: the heading and the record line when
// the flag byte is the block's event code, else the block's line for an absent record.
QStringList CanRecordBlockLines(const CanRecordBlock& block, const CanRecordFields& record, int n = 0);

}  // namespace qv::eeprom
