// The CAN history records from any sequence of answer frames to their memo lines: the protection block buffer
// counts a part as the pack's only when its data came after an accepted header, the record sum says "valid"
// exactly when bytes 30-31 hold the sum of bytes 0-29, and each block shows its heading and record line or its
// line for an absent record, nothing else.

#include "FuzzStore.h"
#include "FuzzSupport.h"
#include "eeprom/CanRecordLines.h"
#include "link/CanLayer.h"
#include "mainwindow/CanDispatcher.h"

#include <array>
#include <numeric>

using namespace qv;

namespace {

uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

eeprom::CanRecordFields fieldsOf(const mainwindow::EepBlockBuffer& b) {
  return {b.dateTime,          b.current,    b.voltage, b.stateOfCharge, b.t1,
          b.voltageDifference, b.cycleCount, b.flag,    b.valid,         b.partsAccepted};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::FuzzStore controls;
  mainwindow::MainState state;
  mainwindow::PackDispatcher pack(controls, state);
  mainwindow::CanDispatcher can(controls, state, pack);

  // The second reading: which parts' data came after an accepted header, and the raw record.
  uint8_t accepted = 0, received = 0, valid = 0;
  std::array<uint8_t, 32> raw{};
  uint16_t command = 0, index = 0;
  uint8_t status = 1;
  fuzz::Input in(data, size);
  while (!in.empty()) {
    const uint8_t how = in.u8();
    std::array<uint8_t, 8> d = in.fixed<8>();
    uint32_t id = link::kCanAnswerData;
    switch (how & 0x03) {
      case 0:  // a header for a record part (blocks 0 to 4, parts 0 to 5), its status from the input
        id = link::kCanAnswerHeader;
        d[0] = 0x65;
        d[1] = 0x02;
        d[2] = static_cast<uint8_t>(d[2] % 5);
        d[3] = static_cast<uint8_t>(d[3] % 6);
        if ((how & 0x04) == 0) d[7] = 0;
        break;
      case 1: break;  // answer data
      case 2:         // the read zeroes the buffer before each block
        state.records.ProtectBlockBuffer.set({});
        accepted = received = valid = 0;
        raw = {};
        continue;
      default: id = link::kCanAnswerHeader; break;  // a header for anything
    }
    can.DispatchCanFrame(0, id, d.data(), 8);
    if (id == link::kCanAnswerHeader) {
      command = be16(d.data());
      index = be16(d.data() + 2);
      status = d[7];
    } else {
      const int block = index >> 8, part = index & 0xFF;
      if (command == 0x6502 && block >= 1 && block <= 3 && part >= 1 && part <= 4) {
        const auto bit = static_cast<uint8_t>(1u << (part - 1));
        received |= bit;
        accepted = status == 0 ? (accepted | bit) : (accepted & static_cast<uint8_t>(~bit));
        std::copy(d.begin(), d.end(), raw.begin() + 8 * (part - 1));
        // The sum is judged when the last part arrives, over the record as it then stands.
        if (part == 4) {
          const uint32_t sum = std::accumulate(raw.begin(), raw.begin() + 30, uint32_t{0});
          valid = raw[30] == (sum >> 8 & 0xFF) && raw[31] == (sum & 0xFF) ? 1 : 0;
        }
      }
      command = index = 0;
      status = 1;
    }

    const mainwindow::EepBlockBuffer b = state.records.ProtectBlockBuffer.snapshot();
    QV_FUZZ_CHECK(b.partsAccepted == accepted && b.partsReceived == received && b.raw == raw && b.valid == valid);
    const eeprom::CanRecordFields record = fieldsOf(b);
    for (const eeprom::CanRecordBlock& block : eeprom::kCanRecordBlocks) {
      const QStringList lines = eeprom::CanRecordBlockLines(block, record, in.u8() * 4);
      if (record.flag != block.eventCode) {
        QV_FUZZ_CHECK(lines == QStringList{QString::fromLatin1(block.absent)});
        continue;
      }
      QV_FUZZ_CHECK(lines.size() == 2 && lines[0] == QString::fromLatin1(block.heading));
      QV_FUZZ_CHECK(lines[1].contains(" , Date : ") && lines[1].contains("Ptt/Evt : 1 , Event : "));
      QV_FUZZ_CHECK(lines[1].endsWith(" (CheckSum Error)") == (record.valid == 0));
    }
  }
  return 0;
}
