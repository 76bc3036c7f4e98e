#include "sim/SimSetups.h"

#include "sim/CanPack.h"
#include "sim/CompositePack.h"
#include "sim/FixtureBoard.h"
#include "sim/Ur2Pack.h"
#include "sim/Ur74Pack.h"
#include "sim/Ur96Pack.h"

#include <array>

namespace qv::sim {
namespace {

// A 13-cell UR74 pack of a class-3 model, three quarters full, discharging.
void ur74Setup(SimAdapter& adapter) {
  Ur74State s;
  for (size_t i = 0; i < s.cellsMv.size(); ++i) s.cellsMv[i] = static_cast<uint16_t>(3700 + 3 * i);
  s.firmwareId = "QV1306A15D01";
  s.chargeTotal = uint64_t{7200} * 12000;
  s.socHalfPercent = 150;
  s.temperature = 24;
  s.discharging = true;
  s.currentMa = 800;
  adapter.setPack(std::make_shared<Ur74Pack>(s));
}

// A 13S2P UR96 pack of 2150 mAh cells, three quarters full, discharging. Its cells and shipping mode answer
// the pack frames of the UR96 poll; their voltages add up to the record's pack voltage.
void ur96Setup(SimAdapter& adapter) {
  Ur96State s;
  s.soh = 98;
  s.rsoc = 76;
  s.cycles = 42;
  s.designCapacity = 4300;
  s.totalCharge = 180000;
  s.fullChargeCapacity = 4210;
  s.remainingCapacity = 3200;
  s.currentMa = -1250;
  s.voltageMv = 48100;
  s.firmwareId = "QV1302B96A";
  s.firmwareVersion = 0x0104;
  s.series = 13;
  s.parallel = 2;
  s.chargeState = 0xC0;
  s.temperatures = {25, 26, 0};
  s.serial = "SN000123";
  Ur2PackState frames;
  frames.cells = {3698, 3701, 3700, 3702, 3699, 3700, 3703, 3697, 3700, 3701, 3699, 3700, 3700};
  frames.firmwareId = s.firmwareId.left(8);
  frames.cellsInSeries = s.series;
  frames.cellsInParallel = s.parallel;
  adapter.setPack(std::make_shared<CompositePack>(
      std::vector<std::shared_ptr<SerialPack>>{std::make_shared<Ur96Pack>(s), std::make_shared<Ur2Pack>(frames)}));
}

void ur2Setup(SimAdapter& adapter) { adapter.setPack(std::make_shared<Ur2Pack>()); }

// The CAN pack alone: nothing stands on the serial line.
void canSetup(SimAdapter&) {}

struct Setup {
  const char* name;
  void (*build)(SimAdapter&);
};

// The first entry is also the default set-up ("").
constexpr std::array<Setup, 4> kSetups = {{
    {"ur96", ur96Setup},
    {"ur74", ur74Setup},
    {"ur2", ur2Setup},
    {"can", canSetup},
}};

}  // namespace

std::unique_ptr<SimDriver> makeSimDriver(const std::string& pack) {
  for (const Setup& setup : kSetups) {
    if (pack.empty() || pack == setup.name) {
      auto driver = std::make_unique<SimDriver>();
      auto adapter = driver->addAdapter();
      setup.build(*adapter);
      // The adapter has both sides: whatever stands on its serial line, a CAN pack stands on its bus.
      adapter->setCanNode(std::make_shared<CanPack>());
      // And it sits in a test fixture.
      adapter->setFixture(std::make_shared<FixtureBoard>());
      return driver;
    }
  }
  return nullptr;
}

std::vector<std::string> simPackNames() {
  std::vector<std::string> names{""};
  for (const Setup& setup : kSetups) names.emplace_back(setup.name);
  return names;
}

}  // namespace qv::sim
