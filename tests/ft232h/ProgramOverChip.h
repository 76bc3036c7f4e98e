#pragma once
// The whole program without a display over the libftdi backend, as it runs with a real adapter: real libftdi and
// libusb against the emulated FT232H, whose serial side is the simulated adapter with the named pack behind it.
// Waits are compressed less than over the simulated adapter: a reply crosses the chip's latency timer (its own
// cadence, real milliseconds) and umockdev's ioctl round trips before a read can take it.

#include "app/ServiceTool.h"
#include "link/ConfigFormControls.h"
#include "mainwindow/MainFormControls.h"
#include "platform/Backends.h"
#include "sim/SimSetups.h"
#include "support/TimeScale.h"
#include "support/WaitFor.h"
#include "usbchip/EmulatedFt232h.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <fstream>
#include <memory>
#include <string>

namespace qv::test {

namespace mctl = mainwindow::ctl;

// Threads of this process.
inline int threadCount() {
  int n = 0;
  if (DIR* tasks = opendir("/proc/self/task")) {
    while (dirent* e = readdir(tasks)) n += e->d_name[0] != '.' ? 1 : 0;
    closedir(tasks);
  }
  return n;
}

// Their names, for a message that says which thread is left.
inline std::string threadNames() {
  std::string names;
  if (DIR* tasks = opendir("/proc/self/task")) {
    while (dirent* e = readdir(tasks)) {
      if (e->d_name[0] == '.') continue;
      std::ifstream comm(std::string("/proc/self/task/") + e->d_name + "/comm");
      std::string name;
      std::getline(comm, name);
      names += (names.empty() ? "" : ", ") + name;
    }
    closedir(tasks);
  }
  return names;
}

// " Configure " as the operator does it the first time: the protocol, "Scan" (its worker has ended on return), and
// then what it found: the first adapter and "Yes".
inline void scanFor(app::ServiceTool& tool, int protocol) {
  tool.services.controls.setItemIndex(link::ctl::RadioGroup_Protocol, protocol);
  tool.FormConfig.onEvent(link::ctl::RadioGroup_Protocol, UiEvent::Click);
  tool.FormConfig.onEvent(link::ctl::SpdBtnSCAN, UiEvent::Click);
  tool.services.workers.joinAll();
}
inline void confirmFirst(app::ServiceTool& tool) {
  tool.services.controls.setItemIndex(link::ctl::CobBoxInterfaceName, 0);
  tool.FormConfig.onEvent(link::ctl::CobBoxInterfaceName, UiEvent::Change);
  tool.FormConfig.onEvent(link::ctl::SpdBtnYES, UiEvent::Click);
}

class ProgramOverChip : public ::testing::Test {
 protected:
  // The chip with that simulated set-up behind it, and the program started over the libftdi backend.
  void start(const std::string& setup) {
    tool.reset();
    chip.reset();
    simDriver = sim::makeSimDriver(setup);
    serial = simDriver->adapters().at(0);
    chip = std::make_unique<EmulatedFt232h>(serial);
    tool = std::make_unique<app::ServiceTool>(platform::makeLibftdiDriver());
  }

  Controls& c() { return tool->services.controls; }

  void scan(int protocol) { scanFor(*tool, protocol); }
  void confirm() { confirmFirst(*tool); }
  void configure(int protocol) {
    scan(protocol);
    confirm();
  }

  void clickRun() { tool->FormMain.onEvent(mctl::SpdBtnRUN, UiEvent::Click); }
  QString panel(int index) { return c().panel(mctl::StatusBarView, index); }
  bool ended() { return tool->services.workers.running() == 0 && c().text(mctl::SpdBtnRUN) == "RUN"; }
  // STOP, and the run's end: the button back, the adapter closed and given back to the kernel's driver.
  void stop() {
    clickRun();
    ASSERT_TRUE(waitFor([&] { return ended(); }));
    EXPECT_EQ(panel(0), "  SYS : < STOP > ");
    EXPECT_EQ(tool->link.AdapterHandle.load(), 0u);
    EXPECT_TRUE(c().undeclared().empty()) << c().undeclared().front();
  }

  ScopedTimeScale fast{0.25};
  std::unique_ptr<sim::SimDriver> simDriver;
  std::shared_ptr<sim::SimAdapter> serial;
  std::unique_ptr<EmulatedFt232h> chip;
  std::unique_ptr<app::ServiceTool> tool;  // after the chip: it closes the adapter before the chip goes
};

}  // namespace qv::test
