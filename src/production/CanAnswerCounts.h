#pragma once
// Which of the pack's answers were really decoded, and when. It stands in front of the CAN frame dispatcher:
// every frame a receive reads passes through here on its way there. An answer data message 0x443 is paired with
// the answer header 0x442 before it, as the dispatcher pairs them, and counted for that header's command and
// index once the dispatcher has decoded it, when the header carried status 0; broadcasts are counted by
// identifier. A reader that compares a count before and after its own exchange knows whether the values it is
// about to judge came from that exchange, rather than from an earlier run, monitoring or the start-up texts.

#include "link/Link.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace qv::production {

class CanAnswerCounts : public link::CanFrameSink {
 public:
  explicit CanAnswerCounts(link::CanFrameSink& dispatcher) : dispatcher_(dispatcher) {}

  void DispatchCanFrame(uint8_t messageFlag, uint32_t identifier, const uint8_t data[8], uint8_t dataLength) override;

  // Accepted answers of the command and index decoded so far.
  uint64_t decoded(uint16_t command, uint16_t index) const;
  // Broadcasts of the identifier (0x400 to 0x403) decoded so far.
  uint64_t broadcasts(uint32_t identifier) const;

 private:
  static uint32_t key(uint16_t command, uint16_t index) { return uint32_t{command} << 16 | index; }

  link::CanFrameSink& dispatcher_;
  mutable std::mutex mutex_;
  bool headerLive_ = false;  // a header waits for its data message
  bool headerAccepted_ = false;
  uint32_t header_ = 0;
  std::unordered_map<uint32_t, uint64_t> decoded_;
  std::unordered_map<uint32_t, uint64_t> broadcasts_;
};

}  // namespace qv::production
