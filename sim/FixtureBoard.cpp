#include "sim/FixtureBoard.h"

#include "sim/Bytes.h"

#include <algorithm>

namespace qv::sim {

FixtureBoard::FixtureBoard(FixtureState state) : state_(state) {}

QByteArray FixtureBoard::measure(uint16_t channel, uint16_t expected) {
  (void)expected;
  std::lock_guard lock(mutex_);
  queries_.push_back(channel);
  const FixtureFaults none;
  const FixtureFaults& f = faults_.faultChannel < 0 || faults_.faultChannel == channel ? faults_ : none;
  if (f.silent) return {};
  QByteArray data;
  switch (channel) {
    case 3:
    case 4:
    case 5: {
      const uint32_t mv = channel == 3 ? state_.dischargeMv : channel == 4 ? state_.batteryMv : state_.chargeMv;
      data.resize(4);
      putBigEndian(data, 0, mv, 4);
      break;
    }
    case 6:
      data.resize(22);
      for (int i = 0; i < 11; ++i) putBigEndian(data, 2 * i, state_.socSamples[static_cast<size_t>(i)], 2);
      break;
    default: return {};
  }
  data.chop(std::min<int>(f.dataShortBy, static_cast<int>(data.size())));
  const uint16_t answered = f.answerChannel >= 0 ? static_cast<uint16_t>(f.answerChannel) : channel;
  QByteArray payload(2, '\0');
  putBigEndian(payload, 0, answered, 2);
  return payload + data;
}

void FixtureBoard::switchCommand(const QByteArray& payload) {
  std::lock_guard lock(mutex_);
  switches_.push_back(payload);
  if (payload.size() != 3 || payload[0] != '\0') return;
  const auto state = static_cast<uint8_t>(payload[2]);
  if (state != 1 && state != 2) return;
  if (payload[1] == '\x01') state_.chargeOn = state == 2;
  if (payload[1] == '\x02') state_.dischargeOn = state == 2;
}

FixtureState FixtureBoard::state() const {
  std::lock_guard lock(mutex_);
  return state_;
}

void FixtureBoard::setState(const FixtureState& state) {
  std::lock_guard lock(mutex_);
  state_ = state;
}

void FixtureBoard::setFaults(const FixtureFaults& faults) {
  std::lock_guard lock(mutex_);
  faults_ = faults;
}

std::vector<QByteArray> FixtureBoard::switchCommands() const {
  std::lock_guard lock(mutex_);
  return switches_;
}

std::vector<uint16_t> FixtureBoard::queries() const {
  std::lock_guard lock(mutex_);
  return queries_;
}

}  // namespace qv::sim
