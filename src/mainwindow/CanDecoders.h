#pragma once
// The CAN value decoders: each takes the eight data bytes of one message and writes the main window's
// controls (mostly on the CAN page and the CAN service page) and the records that the Function Test and the
// EEPROM tools read. The pack's broadcasts 0x400 to 0x403 are little-endian, the answer data 0x443 big-endian.
//
// The energy boxes are computed from the texts of the boxes they depend on, in extended precision with the
// constants as written and truncated toward zero; an empty box, a box without a number, or a zero divisor
// leaves the result box as it was; an energy share too large to show empties its box.
//
// One frame at a time: the CAN dispatcher calls them under its lock, which also guards the model name's
// first-half mark kept here.

#include "mainwindow/CellSpread.h"
#include "mainwindow/MainState.h"
#include "platform/Controls.h"

#include <cstdint>

namespace qv::mainwindow {

class CanDecoders {
 public:
  CanDecoders(Controls& controls, MainState& state);

  // Broadcasts.
  // 0x400: the command register (d0 d1) and ASR1 (d2 d3) as the colours of their bit boxes.
  void ShowCanStatusRegisters(const uint8_t d[8]);
  // 0x401: pack voltage (mV) and current (mA, signed).
  void ShowCanPackVoltageCurrent(const uint8_t d[8]);
  // 0x402: the relative state of charge and the energy in mWh; then the energy at this state of charge.
  void ShowCanCapacity(const uint8_t d[8]);
  // 0x403: the state of health, read as the protocol chosen in the configuration dialog.
  void ShowCanHealth(const uint8_t d[8]);

  // Answer data. A part or index argument is the one the dispatcher routed on.
  // 0x0001, index 1 or 2: the model name's first or second half.
  void ShowCanModelName(int half, const uint8_t d[8]);
  void ShowCanFwVersion(const uint8_t d[8]);
  void ShowCanCellConfig(const uint8_t d[8]);
  // From the boxes alone: the energy scaled by the health, in mAh at 3.6 V per cell in series.
  void ShowCanFullChargeCapacity();
  void ShowCanDesignVoltage(const uint8_t d[8]);
  void ShowCanDesignCapacity(const uint8_t d[8]);
  // One of the four eight-character parts (1 to 4) of a barcode, into the barcode buffer at 8 (part - 1); a
  // blank keeps the character there.
  void ShowCanBarcode32(int quarter, const uint8_t d[8]);
  void ShowCanBarcode16(int half, const uint8_t d[8]) { ShowCanBarcode32(half, d); }
  void ShowCanBarcode32Eep(int quarter, const uint8_t d[8]) { ShowCanBarcode32(quarter, d); }
  // 0x1001, index 1 to 4: cells 1-4, 5-8, 9-12, 13.
  void ShowCanCellVolts(int index, const uint8_t d[8]);
  void ShowCanTotalChargeCapacity(const uint8_t d[8]);
  void ShowCanRtc(const uint8_t d[8]);
  void ShowCanCycleCount(const uint8_t d[8]);
  void ShowCanRemainCapacity(const uint8_t d[8]);
  void ShowCanShippingMode(const uint8_t d[8]);
  // One of the four eight-byte parts (1 to 4) of a 32-byte record of a block (1 to 3), into the protection block
  // buffer when it is that block's (EepBlockBuffer::canBlock); status is that of the answer header the data came
  // after.
  void StoreCanEepRecordPart(int block, int part, const uint8_t d[8], uint8_t status = 0);
  // The 0x404 parameter answer of type 0x92, into the EEPROM parameter window's box that the composition names
  // (none: nowhere).
  void ShowWakeUpLineType(const uint8_t d[8]);
  void setWakeUpLineTypeBox(Control box) { wakeUpLineTypeBox_ = box; }

 private:
  Controls& controls_;
  MainState& state_;
  Control wakeUpLineTypeBox_;
  bool modelNameFirstHalf_ = false;  // the first half started the firmware id; the second may complete it
};

}  // namespace qv::mainwindow
