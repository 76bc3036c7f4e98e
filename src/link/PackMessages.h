#pragma once
// The pack's message catalogue: every message ID the program sends or decodes, in one place.
//
// The pack knows one space of 16-bit message IDs, each asked with a 16-bit index, whether the request travels as
// UR2 pack frames (PackFrames.h) or as CAN request messages 0x440/0x441 (CanLayer.h); each carrier uses a part of
// the space. The families go by the high byte: 0x00 identity, 0x10 live measurements, 0x20 settings reads, 0x40
// to 0x42 writes and commands, 0x61 to 0x66 EEPROM items and records. A few IDs belong to the bootloader of the
// firmware upgrade.
//
// An answer carries no reference to its request: the ID and index alone say where its data goes, so an
// unsolicited answer is decoded like a requested one. On CAN a write is confirmed by its answer header alone
// (status 0), and the headers of the families in CanAckFamily also set an answer flag (CanAnswerFlags.h).
//
// Each entry says who sends the request and who decodes its answer, on each carrier ("UR2:", "CAN:"). The
// simulator keeps its own numbers on purpose: it is the second reading of these tables that tests hold the
// program against.

#include <cstdint>

namespace qv::link {

using PackMessageId = uint16_t;

namespace msg {

// ---- Identity and configuration --------------------------------------------------------------------------------

// Firmware id (model name), eight characters per index 1 and 2.
// UR2: index 2 only, sent by the UR2 poll; decoded by PackDispatcher::ShowFirmwareId (EditFWID).
// CAN: sent by the CAN poll and the Function Test's model read; decoded by CanDecoders::ShowCanModelName.
inline constexpr PackMessageId kFirmwareId = 0x0001;
// Firmware version, two bytes, index 0.
// UR2: UR2 poll / PackDispatcher::ShowFirmwareVersion. CAN: CAN poll, Function Test / CanDecoders::ShowCanFwVersion.
inline constexpr PackMessageId kFirmwareVersion = 0x0005;
// Pack configuration: index 1 cells in series and parallel, 2 full-charge capacity, 4 design voltage, 5 design
// capacity (4 and 5 on CAN only).
// UR2: UR2 poll / PackDispatcher (ShowCellConfig, ShowFullChargeCapacity).
// CAN: CAN poll, Function Test / CanDecoders (ShowCanCellConfig, ShowCanFullChargeCapacity, ShowCanDesignVoltage,
// ShowCanDesignCapacity).
inline constexpr PackMessageId kPackConfig = 0x0009;
// 16-character barcode, first form, indexes 1 and 2. CAN only: sent by the CAN barcode read; decoded by
// CanDecoders::ShowCanBarcode16; answer flag CanAckFamily::Barcode16Read.
inline constexpr PackMessageId kBarcode16 = 0x000A;
// Bootloader version query, index 0: sent by the firmware upgrade through the adapter as a UR2 request.
inline constexpr PackMessageId kBootloaderVersion = 0x000B;

// ---- Live measurements -----------------------------------------------------------------------------------------

// Cell voltages, four cells per index 1 to 4 (index 4: cell 13).
// UR2: UR2 poll, report read / PackDispatcher. CAN: CAN poll, Function Test / CanDecoders::ShowCanCellVolts and
// the dispatcher's cell spread.
inline constexpr PackMessageId kCellVoltages = 0x1001;
// Asked by the UR2 poll, index 0; no value of it is decoded.
inline constexpr PackMessageId kMeasurement1002 = 0x1002;
// Temperatures T1 and T2, index 0.
// UR2: UR2 poll / PackDispatcher::ShowTemperatures. CAN: CAN poll, Function Test / the same ShowTemperatures.
inline constexpr PackMessageId kTemperatures = 0x1003;
// Total charge capacity, index 0.
// UR2: UR2 poll / PackDispatcher::ShowTotalChargeCapacity. CAN: not asked / CanDecoders::ShowCanTotalChargeCapacity.
inline constexpr PackMessageId kTotalChargeCapacity = 0x1004;
// Pack clock, index 0.
// UR2: the clock read / PackDispatcher. CAN: CAN poll, the CAN clock request / CanDecoders::ShowCanRtc.
inline constexpr PackMessageId kPackClock = 0x1005;
// Asked, index 0, and answered with nothing decoded: the UR2 poll and the UR2 variant probe; on CAN the CAN poll
// and the Function Test. Both dispatchers pass it to PackDispatcher::IgnoreMessage1006.
inline constexpr PackMessageId kMeasurement1006 = 0x1006;
// Protection flags, index 0.
// UR2: UR2 poll / PackDispatcher::ShowProtectionFlags. CAN: CAN poll, Function Test / the same ShowProtectionFlags.
inline constexpr PackMessageId kProtectionFlags = 0x1007;
// Cycle count, index 0. CAN only: CAN poll / CanDecoders::ShowCanCycleCount.
inline constexpr PackMessageId kCycleCount = 0x1008;
// Remaining capacity, index 0. CAN only: not asked / CanDecoders::ShowCanRemainCapacity.
inline constexpr PackMessageId kRemainCapacity = 0x1009;
// Resistance of the cell of that number, index 1 to 13. UR2 only: not asked / PackDispatcher (EditCellR1..13).
inline constexpr PackMessageId kCellResistance = 0x100C;

// ---- Settings reads --------------------------------------------------------------------------------------------

// Pack serial number, eight characters, index 1. UR2 only: the serial number read / PackDispatcher (EditPDSN).
inline constexpr PackMessageId kSerialNumber = 0x2001;
// Verify one image record, index the record address: the bootloader's, on the boot port.
inline constexpr PackMessageId kVerifyImageRecord = 0x2003;
// 16-character barcode, indexes 1 and 2.
// UR2: the UR barcode read / PackDispatcher (EditBarCode32). CAN: the CAN barcode read, second form / not
// decoded; answer flag CanAckFamily::Barcode16ReadAlt.
inline constexpr PackMessageId kBarcode16Alt = 0x2008;
// 32-character barcode, indexes 1 to 4.
// UR2: the UR barcode read / PackDispatcher (EditBarCode32). CAN: the CAN barcode read / CanDecoders::
// ShowCanBarcode32; answer flag CanAckFamily::Barcode32Read.
inline constexpr PackMessageId kBarcode32 = 0x200A;
// Shipping mode, bit 0 of data byte 0, index 0.
// UR2: the shipping mode read / PackDispatcher. CAN: the CAN shipping mode read, Function Test /
// CanDecoders::ShowCanShippingMode; answer flag CanAckFamily::ShippingModeRead.
inline constexpr PackMessageId kShippingMode = 0x200B;

// ---- Writes and commands (UR2: confirmed by WaitPackAck; CAN: by CanWaitResponse or an answer flag) ------------

// Pack serial number write, eight bytes, index 0. UR2 only: the serial number write.
inline constexpr PackMessageId kSerialNumberWrite = 0x4001;
// Field header of the image transfer, index the line number: the bootloader's, on the boot port.
inline constexpr PackMessageId kImageField = 0x4003;
// Clock set, six bytes, index 0. UR2: the UR2 clock set. CAN: the CAN clock set, also the Function Test.
inline constexpr PackMessageId kClockSet = 0x4006;
// 16-character barcode write, eight bytes per index 1 and 2. UR2: the UR barcode write. CAN: CanWriteBarcode16Text;
// answer flag CanAckFamily::Barcode16Write.
inline constexpr PackMessageId kBarcode16Write = 0x4008;
// 32-character barcode write, eight bytes per index 1 to 4. UR2: the UR barcode write. CAN: CanWriteBarcode32Text;
// answer flag CanAckFamily::Barcode32Write.
inline constexpr PackMessageId kBarcode32Write = 0x4009;
// Erase the total charge capacity, one byte, index 0. CAN only: CanEraseTotalChargeCapacity.
inline constexpr PackMessageId kEraseTotalChargeCapacity = 0x4101;
// Erase the internal EEPROM, one byte, index 0. CAN only: CanEraseInternalEeprom, the CAN EEPROM erase command.
inline constexpr PackMessageId kEraseInternalEeprom = 0x4102;
// Erase the external EEPROM, one byte, index 0. UR2: the UR2 EEPROM erase. CAN: CanEraseExternalEeprom.
inline constexpr PackMessageId kEraseExternalEeprom = 0x4103;
// The bootloader's commands, index 0, on the boot port: switch to the bootloader, back to the application,
// erase the application flash.
inline constexpr PackMessageId kSwitchToBootloader = 0x4202;
inline constexpr PackMessageId kSwitchToApplication = 0x4203;
inline constexpr PackMessageId kEraseApplication = 0x4204;
// Sleep, index 0, no data. UR2: the UR sleep command. CAN: the Function Test.
inline constexpr PackMessageId kSleep = 0x4205;
// Deep sleep, index 0: no data on UR2, eight bytes FF on CAN. UR2: the UR deep-sleep command. CAN: the CAN
// deep-sleep command.
inline constexpr PackMessageId kDeepSleep = 0x4206;
// Shipping mode set, one byte, index 0. UR2: the UR2 shipping mode set. CAN: the CAN shipping mode set; answer
// flag CanAckFamily::ShippingModeSet.
inline constexpr PackMessageId kShippingModeSet = 0x4209;

// ---- EEPROM items and records (UR2 unless stated; decoded through PackDispatcher's listeners) -----------------

// Header byte count, index 0, numbered-record form: the EEPROM header read and the report read.
inline constexpr PackMessageId kEepHeaderCount = 0x6100;
// Header unit section, index 0: the EEPROM header read. The header's ID (three characters and a digit), then
// the units of current, voltage and voltage difference.
inline constexpr PackMessageId kEepHeaderId = 0x6101;
inline constexpr PackMessageId kEepCurrentUnit = 0x6102;
inline constexpr PackMessageId kEepVoltageUnit = 0x6103;
inline constexpr PackMessageId kEepVoltageDiffUnit = 0x6104;
inline constexpr PackMessageId kEepHeaderUnitFirst = kEepHeaderId;
inline constexpr PackMessageId kEepHeaderUnitLast = kEepVoltageDiffUnit;
// Battery information, index 0 (the cell type at indexes 1 and 2, eight characters each): the EEPROM header read;
// the cell type also the report read.
inline constexpr PackMessageId kEepMaxVoltageDiff = 0x6200;
inline constexpr PackMessageId kEepWarrantyCycles = 0x6201;
inline constexpr PackMessageId kEepWarrantyCapacity = 0x6202;
inline constexpr PackMessageId kEepWarrantyMonths = 0x6203;
inline constexpr PackMessageId kEepCellType = 0x6204;
inline constexpr PackMessageId kEepCycleCount = 0x6205;
inline constexpr PackMessageId kEepTotalChargeCapacity = 0x6206;
inline constexpr PackMessageId kEepBatteryInfoFirst = kEepMaxVoltageDiff;
inline constexpr PackMessageId kEepBatteryInfoLast = kEepTotalChargeCapacity;
// Barcode stored in the EEPROM, eight characters per index 1 to 4.
// UR2: the EEPROM header read, the UR barcode read, the report read / PackDispatcher (EditBarCode32).
// CAN: written by CanWriteText32; decoded by CanDecoders::ShowCanBarcode32Eep.
inline constexpr PackMessageId kEepBarcode = 0x6207;
// Event totals, index 0, in the order of the header record: the EEPROM header read; the charge and discharge
// start totals also the report read.
inline constexpr PackMessageId kEepChargeStartTotal = 0x6300;
inline constexpr PackMessageId kEepDischargeStartTotal = 0x6301;
inline constexpr PackMessageId kEepSleepTotal = 0x6302;
inline constexpr PackMessageId kEepWakeUpTotal = 0x6303;
inline constexpr PackMessageId kEepDeepSleepTotal = 0x6304;
inline constexpr PackMessageId kEepResetTotal = 0x6305;
inline constexpr PackMessageId kEepProtectReleaseTotal = 0x6306;
inline constexpr PackMessageId kEepFscTotal = 0x6307;
inline constexpr PackMessageId kEepStorageTemperatureTotal = 0x6308;
inline constexpr PackMessageId kEepEventTotalsFirst = kEepChargeStartTotal;
inline constexpr PackMessageId kEepEventTotalsLast = kEepStorageTemperatureTotal;
// Protection flag counts with their extremes, index 0, in the order of the header record: the EEPROM header read.
inline constexpr PackMessageId kEepCocCount = 0x6400;
inline constexpr PackMessageId kEepDocCount = 0x6401;
inline constexpr PackMessageId kEepCotCount = 0x6402;
inline constexpr PackMessageId kEepDotCount = 0x6403;
inline constexpr PackMessageId kEepCutCount = 0x6404;
inline constexpr PackMessageId kEepOvCount = 0x6405;
inline constexpr PackMessageId kEepUvCount = 0x6406;
inline constexpr PackMessageId kEepScCount = 0x6407;
inline constexpr PackMessageId kEepProtectionCountsFirst = kEepCocCount;
inline constexpr PackMessageId kEepProtectionCountsLast = kEepScCount;
// Protection block: record count (index 0) and record parts (1 to 4, numbered-record form): the record-block read.
inline constexpr PackMessageId kEepProtectionCount = 0x6500;
inline constexpr PackMessageId kEepProtectionRecord = 0x6501;
// CAN record read, index block x 256 + part (blocks 1 to 3, parts 1 to 4). CAN only: the CAN record read /
// CanDecoders::StoreCanEepRecordPart; answer flags CanAckFamily::RecordBlocks12 and RecordBlock3.
inline constexpr PackMessageId kEepCanRecord = 0x6502;
// LEAD and LAST blocks: record count (index 0) and record parts (1 to 4): the record-block read, the report
// read, its history analysis and the last-charge search.
inline constexpr PackMessageId kEepLeadCount = 0x6600;
inline constexpr PackMessageId kEepLeadRecord = 0x6601;
inline constexpr PackMessageId kEepLastCount = 0x6602;
inline constexpr PackMessageId kEepLastRecord = 0x6603;

}  // namespace msg

// ---- CAN identifiers: the carriers of the pack messages, and those that are not pack messages ------------------

enum : uint32_t {
  kCanKeepAlive = 0x300,         // PC to pack: the keep-alive timer's message
  kCanParameterRequest = 0x304,  // PC to pack: the EEPROM parameter window's request (CanSendWords)
  kCanStatusRegisters = 0x400,   // pack broadcast: CanDecoders::ShowCanStatusRegisters
  kCanVoltageCurrent = 0x401,    // pack broadcast: CanDecoders::ShowCanPackVoltageCurrent
  kCanCapacity = 0x402,          // pack broadcast: CanDecoders::ShowCanCapacity
  kCanHealth = 0x403,            // pack broadcast: CanDecoders::ShowCanHealth
  kCanParameterAnswer = 0x404,   // pack to PC, the answer to 0x304: CanDispatcher::Dispatch404hFrame
  kCanRequest = 0x440,           // PC to pack: command, index, three argument bytes, value (CanSendRequest)
  kCanRequestData = 0x441,       // PC to pack: the request's data bytes (CanSendRequestData)
  kCanAnswerHeader = 0x442,      // pack to PC: command, index, three bytes, status; sets the answer flags
  kCanAnswerData = 0x443,        // pack to PC: the value of the last answer header's command and index
};

inline constexpr bool isCanBroadcast(uint32_t identifier) {
  return identifier >= kCanStatusRegisters && identifier <= kCanHealth;
}

}  // namespace qv::link
