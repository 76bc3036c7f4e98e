#pragma once
// A simulated test fixture behind the adapter: it answers a 0x0118 measurement query of channels 3 to 6 from the
// state a test sets (three voltages, eleven SOC-indicator samples) and keeps the charge and discharge path
// states that the 0x011A switch commands set. Without a board on the adapter (SimAdapter::setFixture(nullptr))
// no query is answered. Its answers are the simulator's own, written from the frame table.

#include "sim/SimAdapter.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

namespace qv::sim {

struct FixtureState {
  uint32_t dischargeMv = 0;               // channel 3
  uint32_t batteryMv = 0;                 // channel 4
  uint32_t chargeMv = 0;                  // channel 5
  std::array<uint16_t, 11> socSamples{};  // channel 6, in the order sent
  // Set by the switch commands: path 1 charge, 2 discharge; state 2 on, 1 off.
  bool chargeOn = false;
  bool dischargeOn = false;
};

struct FixtureFaults {
  bool silent = false;     // answers no query
  int dataShortBy = 0;     // each answer carries this many data bytes fewer (L counts what is sent)
  int answerChannel = -1;  // answers with this channel in place of the one asked (-1: as asked)
  int faultChannel = -1;   // the faults above apply to queries of this channel alone (-1: to every one)
};

class FixtureBoard : public Fixture {
 public:
  explicit FixtureBoard(FixtureState state = {});

  QByteArray measure(uint16_t channel, uint16_t expected) override;
  void switchCommand(const QByteArray& payload) override;

  FixtureState state() const;
  void setState(const FixtureState& state);
  void setFaults(const FixtureFaults& faults);
  // Every switch payload received, in order, and the channels queried.
  std::vector<QByteArray> switchCommands() const;
  std::vector<uint16_t> queries() const;

 private:
  mutable std::mutex mutex_;
  FixtureState state_;
  FixtureFaults faults_;
  std::vector<QByteArray> switches_;
  std::vector<uint16_t> queries_;
};

}  // namespace qv::sim
