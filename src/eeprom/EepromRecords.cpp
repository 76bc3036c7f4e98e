#include "eeprom/EepromRecords.h"

#include "link/PackFrames.h"
#include "platform/Time.h"

namespace qv::eeprom {

EepromRecords::EepromRecords(mainwindow::MainState& state) : state_(state), handlers_(header_, state) {}

void EepromRecords::HandlePackMessage(uint16_t id, uint16_t index, const uint8_t data[8]) {
  handlers_.HandleEepHeaderUnit(id, index, data);
  handlers_.HandleEepHeaderBattery(id, index, data);
  handlers_.HandleEepHeaderEvents(id, index, data);
  handlers_.HandleEepHeaderFlags(id, index, data);
  for (EepList list : kEepLists) {
    const EepListIds ids = eepListIds(list);
    if (id != ids.count && id != ids.record) continue;
    std::atomic<uint32_t>& count = counts_[static_cast<size_t>(list)];
    buffer(list).with([&](mainwindow::EepBlockBuffer& b) {
      uint32_t c = count.load();
      AssembleRecord(list, b, c, id, index, data);
      count.store(c);
    });
  }
}

void EepromRecords::zeroHeader() {
  header_.set({});
  state_.records.CanBarcodeBuffer.set({});
}

EepHeaderView EepromRecords::header() const {
  // The header's own lock, then the barcode's: neither is held while taking the other, so no order to keep.
  return {header_.snapshot(), state_.records.CanBarcodeBuffer.snapshot()};
}

Guarded<mainwindow::EepBlockBuffer>& EepromRecords::buffer(EepList list) {
  switch (list) {
    case EepList::Lead: return lead_;
    case EepList::Last: return last_;
    case EepList::Protect: break;
  }
  return state_.records.ProtectBlockBuffer;
}

void EepromRecords::zeroBlock(EepList list) {
  buffer(list).with([&](mainwindow::EepBlockBuffer& b) {
    b = {};
    counts_[static_cast<size_t>(list)].store(0);
  });
}

void EepromRecords::zeroAll() {
  zeroHeader();
  for (EepList list : kEepLists) zeroBlock(list);
}

bool ReadListRecord(link::Link& link, EepromRecords& records, EepList list, uint32_t number, uint8_t* answered,
                    const mainwindow::RunFlagByte* runFlag) {
  records.zeroBlock(list);
  if (answered != nullptr) *answered = 0;
  const uint16_t id = eepListIds(list).record;
  for (uint16_t part = 1; part <= 4; ++part) {
    link::SendPackCommand24(link, id, part, number, 0);
    if (runFlag != nullptr && !runFlag->running()) return false;
    platform::sleepMs(0);
    const bool came = link::ReceivePackAnswerTo(link, id, part);
    if (came && answered != nullptr) *answered |= static_cast<uint8_t>(1u << (part - 1));
    platform::sleepMs(0);
  }
  return true;
}

}  // namespace qv::eeprom
