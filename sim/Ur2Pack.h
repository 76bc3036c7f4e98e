#pragma once
// A simulated pack of the UR2 variant, behind the adapter's serial line. It takes 13-byte pack frames and
// answers a read request (kind 1, count 0) with a header frame (kind 3: ID, index, status) and a data frame
// (kind 4) built from its state; the adapter carries each in its own 0x0702 frame. A write is a kind-1 frame
// with a count above 0 followed by its kind-2 data frame: the pack applies what it knows of it and acknowledges
// with a header alone. A sleep request (0x4205, 0x4206) is noted and never answered. A frame whose check byte
// does not hold, a request for a message it does not know, and the UR74 and UR96 queries get no answer.
//
// The frames are the simulator's own, written from the frame tables, never the program's codec.

#include "sim/Bootloader.h"
#include "sim/SimAdapter.h"
#include "sim/SimEeprom.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

namespace qv::sim {

struct Ur2PackState {
  std::array<uint16_t, 13> cells{3301, 3302, 3303, 3304, 3305, 3306, 3307, 3308, 3309, 3310, 3311, 3312, 3313};  // mV
  int8_t t1 = 25;  // degrees Celsius
  int8_t t2 = -3;
  uint8_t protectionFlags = 0;         // 0x1007 byte 0: OV, UV, OC (2 bits), OT (2 bits), UT (2 bits)
  uint8_t shortCircuitFlag = 0;        // 0x1007 byte 1, bit 0
  QByteArray firmwareId = "QVU2-13S";  // the whole id, eight characters at most, answered to (0x0001, 2)
  std::array<uint8_t, 2> version{0x01, 0x0A};
  uint8_t cellsInSeries = 13;
  uint8_t cellsInParallel = 4;
  uint16_t fullChargeCapacity = 9800;  // mAh
  uint64_t totalChargeCapacity = 4294967296ULL;
  std::array<uint8_t, 6> clock{24, 5, 6, 7, 8, 9};  // year minus 2000, month, day, hour, minute, second
  QByteArray serial = "SN123456";                   // eight characters at most
  bool shippingMode = false;
  // The 32-character barcode (0x200A, and 0x6207 when it sits in the EEPROM header; written by 0x4009 and by a
  // 0x6207 write) and the 16-character one (0x2008, and 0x000A, the form CAN asks for; written by 0x4008). A kind
  // the pack does not answer is not offered.
  QByteArray barcode32 = "QV2024BARCODE32-0123456789ABCDEF";
  bool answersBarcode32 = true;
  bool answersBarcode32Eep = false;
  QByteArray barcode16 = "QV2024BARCODE16X";
  bool answersBarcode16 = false;
  bool answersBarcode16First = false;  // 0x000A
  // Set by what the PC asks: the last sleep request (0x4205 sleep, 0x4206 deep sleep; 0 awake) and the erases
  // of the external EEPROM (0x4103 with data byte 1) the pack applied.
  uint16_t sleptOn = 0;
  int eepromErases = 0;
  // The EEPROM header items and record lists (SimEeprom.h).
  SimEeprom eeprom;
};

struct Ur2Faults {
  bool silent = false;        // answers nothing
  bool badCheck = false;      // every frame it sends carries a wrong check byte
  uint8_t status = 0;         // the status of every header it sends; a write with status not 0 is not applied
  uint16_t refused = 0;       // when set, only this message gets the status above; the others are answered as usual
  bool silentAsleep = false;  // once asked to sleep, answers nothing more
  int lostFrames = 0;         // the next n frames never reach the pack (each one lost counts down)
  int refusedIndex = -1;      // with refused: only this index of that message gets the status (-1: every index)
  int refusals = -1;          // how many headers get the status before the pack answers as usual (-1: no end)
};

class Ur2Pack : public SerialPack {
 public:
  explicit Ur2Pack(Ur2PackState state = {});

  std::vector<QByteArray> answer(const QByteArray& payload, uint16_t expected) override;

  Ur2PackState state() const;
  void setState(const Ur2PackState& state);
  Ur2Faults faults() const;
  void setFaults(const Ur2Faults& faults);
  // The bootloader in front of the application: it takes the frames while it runs (sim/Bootloader.h).
  Bootloader& bootloader() const { return *bootloader_; }

 private:
  using Bytes8 = std::array<uint8_t, 8>;

  bool readData(uint16_t id, uint16_t index, Bytes8* out) const;         // lock held
  void applyWrite(uint16_t id, uint16_t index, const Bytes8& data);      // lock held
  QByteArray frame(uint8_t kind, const Bytes8& message) const;           // lock held
  QByteArray header(uint16_t id, uint16_t index, uint8_t status) const;  // lock held
  // The status of the next header for that message and index; a refusal given counts down.
  uint8_t statusOf(uint16_t id, uint16_t index);  // lock held

  const std::unique_ptr<Bootloader> bootloader_ = std::make_unique<Bootloader>();
  mutable std::mutex mutex_;
  Ur2PackState state_;
  Ur2Faults faults_;
  // The write whose data frame is awaited.
  bool writePending_ = false;
  uint16_t writeId_ = 0;
  uint16_t writeIndex_ = 0;
};

}  // namespace qv::sim
