#pragma once
// Which of the pack's answers were really decoded, and when: a listener of the CAN frame dispatcher, which tells
// it every answer data message it decoded under a header of status 0 (by that header's command and index) and
// every broadcast it decoded (by identifier). A reader that compares a count before and after its own exchange
// knows whether the values it is about to judge came from that exchange, rather than from an earlier run,
// monitoring or the start-up texts. The pairing of answers is the dispatcher's alone.

#include "mainwindow/CanDispatcher.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace qv::production {

class CanAnswerCounts : public mainwindow::CanDecodedListener {
 public:
  void CanAnswerDecoded(uint16_t command, uint16_t index) override;
  void CanBroadcastDecoded(uint32_t identifier) override;

  // Accepted answers of the command and index decoded so far.
  uint64_t decoded(uint16_t command, uint16_t index) const;
  // Broadcasts of the identifier (0x400 to 0x403) decoded so far.
  uint64_t broadcasts(uint32_t identifier) const;

 private:
  static uint32_t key(uint16_t command, uint16_t index) { return uint32_t{command} << 16 | index; }

  mutable std::mutex mutex_;
  std::unordered_map<uint32_t, uint64_t> decoded_;
  std::unordered_map<uint32_t, uint64_t> broadcasts_;
};

}  // namespace qv::production
