#pragma once
// The whole program headless over the simulated CAN pack, with the configuration dialog confirmed for "CAN":
// what the EEPROM record and parameter windows need, during CAN monitoring and without it.

#include "app/ServiceTool.h"
#include "link/ConfigFormControls.h"
#include "mainwindow/MainFormControls.h"
#include "sim/CanPack.h"
#include "sim/SimSetups.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace qv::test {

inline bool waitFor(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

struct CanRecRig {
  CanRecRig() : CanRecRig(sim::makeSimDriver("can")) {}
  explicit CanRecRig(std::unique_ptr<sim::SimDriver> driver)
      : adapter(driver->adapters().front()),
        pack(std::dynamic_pointer_cast<sim::CanPack>(adapter->canNode())),
        tool(std::move(driver)),
        c(tool.services.controls) {
    c.setItemIndex(link::ctl::RadioGroup_Protocol, 1);
    tool.FormConfig.onEvent(link::ctl::RadioGroup_Protocol, UiEvent::Click);
    tool.FormConfig.onEvent(link::ctl::SpdBtnSCAN, UiEvent::Click);
    tool.services.workers.joinAll();
    c.setItemIndex(link::ctl::CobBoxInterfaceName, 0);
    tool.FormConfig.onEvent(link::ctl::CobBoxInterfaceName, UiEvent::Change);
    tool.FormConfig.onEvent(link::ctl::SpdBtnYES, UiEvent::Click);
  }
  ~CanRecRig() {
    if (tool.state.RunFlag.running() && tool.link.canSessionHeld()) stopMonitoring();
    tool.stopWorkers();
  }

  void startMonitoring() {
    tool.FormMain.onEvent(mainwindow::ctl::SpdBtnRUN, UiEvent::Click);
    ASSERT_TRUE(waitFor([&] {
      return tool.link.canSessionHeld() && !c.text(mainwindow::ctl::Edit401hPackVoltage).isEmpty();
    }));
  }
  void stopMonitoring() {
    tool.FormMain.onEvent(mainwindow::ctl::SpdBtnRUN, UiEvent::Click);
    ASSERT_TRUE(waitFor([&] { return tool.services.workers.running("") == 0 || !tool.link.canSessionHeld(); }));
    ASSERT_TRUE(waitFor([&] { return tool.link.AdapterHandle.load() == 0; }));
  }
  // Waits until no worker of that name runs.
  void finish(const char* worker) {
    ASSERT_TRUE(waitFor([&] { return tool.services.workers.running(worker) == 0; }));
  }

  // The data of each CAN frame with this identifier that the program wrote, in order.
  std::vector<QByteArray> written(uint32_t identifier) const {
    std::vector<QByteArray> out;
    for (const QByteArray& f : adapter->written()) {
      if (f.size() != 19 || static_cast<uint8_t>(f[2]) != 0x04 || static_cast<uint8_t>(f[3]) != 0x01) continue;
      const uint32_t id = uint32_t(uint8_t(f[5]) & 0x1F) << 24 | uint32_t(uint8_t(f[6])) << 16 |
                          uint32_t(uint8_t(f[7])) << 8 | uint8_t(f[8]);
      if (id == identifier) out.push_back(f.mid(9, 8));
    }
    return out;
  }

  std::shared_ptr<sim::SimAdapter> adapter;
  std::shared_ptr<sim::CanPack> pack;
  app::ServiceTool tool;
  Controls& c;
};

}  // namespace qv::test
