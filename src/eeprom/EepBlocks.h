#pragma once
// The pack's three lists of 32-byte history records (protection, LEAD, LAST): the messages that count and read
// them, the assembler that stores each answer part in its list's buffer (EepBlockBuffer), the event names and
// the text line of a record.

#include "mainwindow/SharedRecords.h"

#include <QString>

#include <cstdint>

namespace qv::eeprom {

enum class EepList { Protect = 0, Lead = 1, Last = 2 };
inline constexpr EepList kEepLists[] = {EepList::Protect, EepList::Lead, EepList::Last};

// Each list's count message (index 0) and record message (index = part 1 to 4, 24-bit value = record number).
struct EepListIds {
  uint16_t count;
  uint16_t record;
};
EepListIds eepListIds(EepList list);

// The name of an event code (flag byte with bit 7 set) as the UR pages show it: the names of codes 128 to 139;
// a single blank for any other code (140 to 142 are named on the CAN record window only).
QString UrEventName(uint8_t code);

// Stores a count or record part of the list in its buffer; every other message leaves both as they were. The
// assembler cannot tell which record a part belongs to: whoever reads a record zeroes the buffer first.
// AssembleProtectRecord, AssembleLeadRecord and AssembleLastRecord are this with their list.
void AssembleRecord(EepList list, mainwindow::EepBlockBuffer& buffer, uint32_t& count, uint16_t id, uint16_t index,
                    const uint8_t d[8]);

// The line of the record now in the buffer, numbered `number` (from 1). partsAnswered has bit p-1 set for each
// part p whose own answer arrived; a record with a part missing says so in a last piece, so that zeros are not
// taken for the pack's data. FormatProtectRecord, FormatLeadRecord and FormatLastRecord are this with their list.
QString EepRecordLine(EepList list, uint32_t number, const mainwindow::EepBlockBuffer& buffer,
                      uint8_t partsAnswered = mainwindow::EepBlockBuffer::kAllParts);

}  // namespace qv::eeprom
