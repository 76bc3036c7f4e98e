#include "sim/ScriptedPack.h"

namespace qv::sim {

void ScriptedPack::queue(std::vector<QByteArray> answers) {
  std::lock_guard lock(mutex_);
  script_.push_back(std::move(answers));
}

std::vector<QByteArray> ScriptedPack::received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

std::vector<QByteArray> ScriptedPack::answer(const QByteArray& payload, uint16_t expected) {
  std::lock_guard lock(mutex_);
  received_.push_back(payload);
  if (!script_.empty()) {
    std::vector<QByteArray> answers = std::move(script_.front());
    script_.pop_front();
    return answers;
  }
  QByteArray echo = payload.left(expected);
  echo.append(QByteArray(expected - echo.size(), '\0'));
  return {echo};
}

}  // namespace qv::sim
