#pragma once
// A pack that answers from a script: each 0x0701 request takes the next canned answer; with none left it
// answers with the request's payload padded with zeros to the expected length. It keeps what it was sent.

#include "sim/SimAdapter.h"

#include <deque>
#include <mutex>

namespace qv::sim {

class ScriptedPack : public SerialPack {
 public:
  // The next request is answered with these answers, each in its own 0x0702 frame; none is silence.
  void queue(std::vector<QByteArray> answers);
  // The payloads of the requests so far, in order.
  std::vector<QByteArray> received() const;

  std::vector<QByteArray> answer(const QByteArray& payload, uint16_t expected) override;

 private:
  mutable std::mutex mutex_;
  std::deque<std::vector<QByteArray>> script_;
  std::vector<QByteArray> received_;
};

}  // namespace qv::sim
