#pragma once
// A simulated pack of the UR96 variant: it answers the UR96 query ("&" CR LF, expected length 96) with its
// 96-byte record, built from the pack state with its own byte sum, and stays silent to everything else (the
// other variants' probes included).

#include "sim/SimAdapter.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

namespace qv::sim {

struct Ur96State {
  uint8_t soh = 100;  // percent, as the pack reports it
  uint8_t rsoc = 0;   // percent
  uint16_t cycles = 0;
  uint32_t designCapacity = 0;  // mAh
  uint64_t totalCharge = 0;     // 48 bits, mAh
  uint32_t fullChargeCapacity = 0;
  uint32_t remainingCapacity = 0;
  int32_t currentMa = 0;  // negative discharging
  uint32_t voltageMv = 0;
  QByteArray firmwareId;  // up to 12 characters, padded with spaces
  uint16_t firmwareVersion = 0;
  uint8_t series = 0;
  uint8_t parallel = 0;
  uint8_t chargeState = 0;  // bit 7 current flows, bit 6 discharging, bit 0 key lamp
  uint8_t flags = 0;        // bit 0 OV, 1 UV, 2 OC, 3 SC, 4 OT, 5 UT
  std::array<int8_t, 3> temperatures{};
  QByteArray serial;               // up to 8 characters
  std::array<uint8_t, 12> tail{};  // bytes 64 to 75, read by the KL and ST pages
};

struct Ur96Faults {
  bool wrongSum = false;  // byte 95 does not hold the sum of bytes 1 to 94
  int shortBy = 0;        // the record loses this many bytes at its end
};

class Ur96Pack : public SerialPack {
 public:
  explicit Ur96Pack(Ur96State state = {}) : state_(std::move(state)) {}

  void setState(const Ur96State& state);
  Ur96State state() const;
  void setFaults(const Ur96Faults& faults);

  // The record the pack sends now.
  QByteArray record() const;

  std::vector<QByteArray> answer(const QByteArray& payload, uint16_t expected) override;

 private:
  mutable std::mutex mutex_;
  Ur96State state_;
  Ur96Faults faults_;
};

}  // namespace qv::sim
