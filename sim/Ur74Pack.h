#pragma once
// A simulated pack of the UR74 variant: it answers the query "X" (expected length 74) with its 74-byte record,
// built from the pack state, and stays silent to everything else (the other variants' probes included).

#include "sim/SimAdapter.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

namespace qv::sim {

struct Ur74State {
  std::array<uint16_t, 13> cellsMv{};
  bool selectorQ = true;          // the tail selector "Q": temperature from byte 68, else byte 69
  uint64_t chargeTotal = 0;       // 40-bit count; / 7200 gives mAh
  QByteArray firmwareId;          // up to 12 characters; its third and fourth are the cell count
  uint8_t flags = 0;              // bit 0 OV, 1 UV, 2 OC, 3 SC, 4 OT
  uint8_t socHalfPercent = 0;     // 0 to 200
  bool discharging = false;       // the current is shown negative
  int8_t temperature = 0;         // degrees Celsius, with the selector "Q"
  uint8_t temperatureByte69 = 0;  // without it: shown shifted right by one
  uint16_t currentMa = 0;         // magnitude
};

struct Ur74Faults {
  int shortBy = 0;  // the record loses this many bytes at its end
};

class Ur74Pack : public SerialPack {
 public:
  explicit Ur74Pack(Ur74State state = {}) : state_(std::move(state)) {}

  void setState(const Ur74State& state);
  Ur74State state() const;
  void setFaults(const Ur74Faults& faults);

  // The record the pack sends now.
  QByteArray record() const;

  std::vector<QByteArray> answer(const QByteArray& payload, uint16_t expected) override;

 private:
  mutable std::mutex mutex_;
  Ur74State state_;
  Ur74Faults faults_;
};

}  // namespace qv::sim
