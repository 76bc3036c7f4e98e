#pragma once
// The whole program, without a display, confirmed for "CAN" against the simulated CAN pack, for the tests of the
// CAN service page's commands while CAN monitoring runs.

#include "app/ServiceTool.h"
#include "link/ConfigFormControls.h"
#include "mainwindow/MainFormControls.h"
#include "sim/CanPack.h"
#include "sim/SimSetups.h"
#include "support/Bytes.h"
#include "support/CanWritten.h"
#include "support/ProgramStart.h"
#include "support/TimeScale.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace qv::test {

// A request 0x440 of one command and the data message that followed it.
struct Request {
  QByteArray request;
  QByteArray data;
  int dataLength = -1;  // -1: no data message followed
};

class CanServiceRig : public ::testing::Test {
 protected:
  CanServiceRig() {
    auto driver = sim::makeSimDriver("can");
    adapter = driver->adapters().front();
    pack = std::dynamic_pointer_cast<sim::CanPack>(adapter->canNode());
    tool = std::make_unique<app::ServiceTool>(std::move(driver));
    test::confirmConfiguration(*tool, link::kProtocolCan);
  }
  ~CanServiceRig() override { tool->stopWorkers(); }

  Controls& controls() { return tool->services.controls; }
  QString text(Control name) { return controls().text(name); }

  // RUN, and back once the CAN polling loop has given the commands their buttons.
  void run() {
    tool->FormMain.onEvent(mainwindow::ctl::SpdBtnRUN, UiEvent::Click);
    ASSERT_TRUE(waitFor([&] { return controls().enabled(mainwindow::ctl::SpdBtn_DEEP_SLEEP_SET); }));
    // The start-up barcode read is over once the first cycle asks for the cells.
    ASSERT_TRUE(waitFor([&] { return !requests(0x1001).empty(); }));
    adapter->clearWritten();
  }
  void setFaults(const std::function<void(sim::CanPackFaults&)>& edit) {
    sim::CanPackFaults f;
    edit(f);
    pack->setFaults(f);
  }
  // A click on the page's button, and back once its worker has given the button back.
  void clickAndWait(Control button) {
    tool->FormMain.onEvent(button, UiEvent::Click);
    ASSERT_TRUE(waitFor([&] { return controls().enabled(button); })) << button.key();
  }

  std::vector<test::CanWritten> sent() const { return test::canMessagesWritten(adapter->written()); }
  // The requests of one command, each with the data message written next (keep-alives between them skipped).
  std::vector<Request> requests(uint16_t command) const {
    const std::vector<test::CanWritten> all = sent();
    std::vector<Request> out;
    for (size_t i = 0; i < all.size(); ++i) {
      const test::CanWritten& s = all[i];
      if (s.id != 0x440 || static_cast<uint8_t>(s.data[0]) != command >> 8 ||
          static_cast<uint8_t>(s.data[1]) != (command & 0xFF))
        continue;
      Request r{s.data, {}, -1};
      for (size_t j = i + 1; j < all.size(); ++j) {
        if (all[j].id == 0x300) continue;
        if (all[j].id == 0x441) {
          r.dataLength = all[j].length;
          r.data = all[j].data.left(all[j].length);
        }
        break;
      }
      out.push_back(r);
    }
    return out;
  }

  test::ScopedTimeScale fast{0.02};
  std::shared_ptr<sim::SimAdapter> adapter;
  std::shared_ptr<sim::CanPack> pack;
  std::unique_ptr<app::ServiceTool> tool;
};

}  // namespace qv::test
