#pragma once
// What the EEPROM window owns and the UR2 dispatcher fills: the header record and the three record-block
// buffers with their counts. Every UR2 answer reaches it, whatever request it answers and whichever thread
// read it; the header handlers run first, then the three assemblers.
//
// The protection buffer is the one of the main window's shared records, which the CAN record answers fill too.

#include "eeprom/EepBlocks.h"
#include "eeprom/EepHeader.h"
#include "link/Link.h"
#include "mainwindow/MainState.h"
#include "mainwindow/PackDispatcher.h"

#include <array>
#include <atomic>

namespace qv::eeprom {

class EepromRecords : public mainwindow::PackMessageListener {
 public:
  explicit EepromRecords(mainwindow::MainState& state);

  void HandlePackMessage(uint16_t id, uint16_t index, const uint8_t data[8]) override;

  // The header record and its barcode, zeroed together.
  void zeroHeader();
  EepHeaderView header() const;

  Guarded<mainwindow::EepBlockBuffer>& buffer(EepList list);
  // A list's buffer zeroed whole, its count included.
  void zeroBlock(EepList list);
  void zeroAll();
  uint32_t count(EepList list) const { return counts_[static_cast<size_t>(list)].load(); }

 private:
  mainwindow::MainState& state_;
  Guarded<EepHeaderRecord> header_;
  EepHeaderHandlers handlers_;
  Guarded<mainwindow::EepBlockBuffer> lead_;
  Guarded<mainwindow::EepBlockBuffer> last_;
  std::array<std::atomic<uint32_t>, 3> counts_{};
};

// Reads record `number` of a list into its buffer: the buffer zeroed first, so that a part that does not come is not
// taken from the record before, then each of the four parts asked and its answer read, on the open adapter with the
// exchange lock held. *answered gets the parts answered (bit 0 part 1). With a run flag, the read ends after the
// request at which the flag is found cleared, and returns false; otherwise true.
bool ReadListRecord(link::Link& link, EepromRecords& records, EepList list, uint32_t number,
                    uint8_t* answered = nullptr, const mainwindow::RunFlagByte* runFlag = nullptr);

}  // namespace qv::eeprom
