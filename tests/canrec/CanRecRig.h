#pragma once
// The whole program headless over the simulated CAN pack, with the configuration dialog confirmed for "CAN":
// what the EEPROM record and parameter windows need, during CAN monitoring and without it.

#include "app/ServiceTool.h"
#include "link/ConfigFormControls.h"
#include "mainwindow/MainFormControls.h"
#include "sim/CanPack.h"
#include "sim/SimSetups.h"
#include "support/CanWritten.h"
#include "support/ProgramStart.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <memory>
#include <vector>

namespace qv::test {

struct CanRecRig {
  CanRecRig() : CanRecRig(sim::makeSimDriver("can")) {}
  explicit CanRecRig(std::unique_ptr<sim::SimDriver> driver)
      : adapter(driver->adapters().front()),
        pack(std::dynamic_pointer_cast<sim::CanPack>(adapter->canNode())),
        tool(std::move(driver)),
        c(tool.services.controls) {
    test::confirmConfiguration(tool, link::kProtocolCan);
  }
  ~CanRecRig() {
    if (tool.state.RunFlag.running() && tool.link.canSessionHeld()) stopMonitoring();
    tool.stopWorkers();
  }

  void startMonitoring() {
    tool.FormMain.onEvent(mainwindow::ctl::SpdBtnRUN, UiEvent::Click);
    ASSERT_TRUE(
        waitFor([&] { return tool.link.canSessionHeld() && !c.text(mainwindow::ctl::Edit401hPackVoltage).isEmpty(); }));
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

  // The data of each CAN message with this identifier that the program wrote, in order.
  std::vector<QByteArray> written(uint32_t identifier) const {
    std::vector<QByteArray> out;
    for (const CanWritten& m : canMessagesWritten(adapter->written())) {
      if (m.id == identifier) out.push_back(m.data);
    }
    return out;
  }

  std::shared_ptr<sim::SimAdapter> adapter;
  std::shared_ptr<sim::CanPack> pack;
  app::ServiceTool tool;
  Controls& c;
};

}  // namespace qv::test
