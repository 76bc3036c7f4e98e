#include "production/CanAnswerCounts.h"

namespace qv::production {

void CanAnswerCounts::CanAnswerDecoded(uint16_t command, uint16_t index) {
  std::lock_guard lock(mutex_);
  ++decoded_[key(command, index)];
}

void CanAnswerCounts::CanBroadcastDecoded(uint32_t identifier) {
  std::lock_guard lock(mutex_);
  ++broadcasts_[identifier];
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
