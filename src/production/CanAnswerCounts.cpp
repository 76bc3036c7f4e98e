#include "production/CanAnswerCounts.h"

#include "link/Bytes.h"
#include "link/PackMessages.h"

namespace qv::production {

void CanAnswerCounts::DispatchCanFrame(uint8_t messageFlag, uint32_t identifier, const uint8_t data[8],
                                       uint8_t dataLength) {
  // The dispatcher decodes first, so a count never runs ahead of the values it vouches for.
  dispatcher_.DispatchCanFrame(messageFlag, identifier, data, dataLength);
  std::lock_guard lock(mutex_);
  if (identifier == link::kCanAnswerHeader) {
    headerLive_ = true;
    headerAccepted_ = messageFlag == 0 && data[7] == 0;
    header_ = key(link::be16(data), link::be16(data + 2));
    return;
  }
  if (identifier == link::kCanAnswerData) {
    if (headerLive_ && headerAccepted_ && messageFlag == 0) ++decoded_[header_];
    headerLive_ = false;
    return;
  }
  if (messageFlag == 0 && dataLength != 0 && link::isCanBroadcast(identifier)) {
    ++broadcasts_[identifier];
  }
}

uint64_t CanAnswerCounts::decoded(uint16_t command, uint16_t index) const {
  std::lock_guard lock(mutex_);
  const auto it = decoded_.find(key(command, index));
  return it == decoded_.end() ? 0 : it->second;
}

uint64_t CanAnswerCounts::broadcasts(uint32_t identifier) const {
  std::lock_guard lock(mutex_);
  const auto it = broadcasts_.find(identifier);
  return it == broadcasts_.end() ? 0 : it->second;
}

}  // namespace qv::production
