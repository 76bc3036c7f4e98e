#pragma once
// A pack that speaks more than one of the serial variants, as a UR96 pack does: its record answers the UR96
// query, and its pack frames answer the cell-voltage and shipping-mode requests that the UR96 poll makes
// besides. Each request goes to the members in order; the first that answers speaks.

#include "sim/SimAdapter.h"

#include <memory>
#include <vector>

namespace qv::sim {

class CompositePack : public SerialPack {
 public:
  explicit CompositePack(std::vector<std::shared_ptr<SerialPack>> members) : members_(std::move(members)) {}

  std::vector<QByteArray> answer(const QByteArray& payload, uint16_t expected) override {
    for (const auto& member : members_) {
      std::vector<QByteArray> answers = member->answer(payload, expected);
      if (!answers.empty()) return answers;
    }
    return {};
  }

  const std::vector<std::shared_ptr<SerialPack>>& members() const { return members_; }

 private:
  const std::vector<std::shared_ptr<SerialPack>> members_;
};

}  // namespace qv::sim
