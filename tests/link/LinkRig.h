#pragma once
// A link over the simulated driver with the configuration dialog and the main-window entries it acts on.
// The driver is watched: the time-outs set are recorded, and a listing can be held to catch a scan running.

#include "link/ConfigFormControls.h"
#include "link/Link.h"
#include "link/Unit2ConfigForm.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/MainWindowLink.h"
#include "platform/ExeInfo.h"
#include "sim/SimDriver.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <utility>
#include <vector>

namespace qv::test {

class SpyDriver : public platform::Driver {
 public:
  using FtStatus = platform::FtStatus;

  sim::SimDriver sim;

  // Until release(), a device count waits.
  void hold() {
    std::lock_guard lock(mutex_);
    held_ = true;
  }
  void release() {
    std::lock_guard lock(mutex_);
    held_ = false;
    gate_.notify_all();
  }
  std::vector<std::pair<uint32_t, uint32_t>> timeouts() const {
    std::lock_guard lock(mutex_);
    return timeouts_;
  }
  // The next device count throws, as anything on the scan's way may.
  void throwOnNextCount() {
    std::lock_guard lock(mutex_);
    throwOnCount_ = true;
  }

  FtStatus CreateDeviceInfoList(uint32_t* n) override {
    std::unique_lock lock(mutex_);
    gate_.wait(lock, [this] { return !held_; });
    if (std::exchange(throwOnCount_, false)) throw std::runtime_error("device count");
    lock.unlock();
    return sim.CreateDeviceInfoList(n);
  }
  FtStatus GetDeviceInfoList(platform::AdapterListRecord* list, uint32_t* n) override {
    return sim.GetDeviceInfoList(list, n);
  }
  FtStatus OpenByLocation(uint32_t locId, platform::FtHandle* h) override { return sim.OpenByLocation(locId, h); }
  FtStatus SetTimeouts(platform::FtHandle h, uint32_t readMs, uint32_t writeMs) override {
    {
      std::lock_guard lock(mutex_);
      timeouts_.emplace_back(readMs, writeMs);
    }
    return sim.SetTimeouts(h, readMs, writeMs);
  }
  FtStatus Read(platform::FtHandle h, void* b, uint32_t n, uint32_t* got) override { return sim.Read(h, b, n, got); }
  FtStatus Write(platform::FtHandle h, const void* b, uint32_t n, uint32_t* put) override {
    return sim.Write(h, b, n, put);
  }
  FtStatus PurgeRx(platform::FtHandle h) override { return sim.PurgeRx(h); }
  FtStatus GetQueueStatus(platform::FtHandle h, uint32_t* n) override { return sim.GetQueueStatus(h, n); }
  FtStatus Close(platform::FtHandle h) override { return sim.Close(h); }

 private:
  mutable std::mutex mutex_;
  std::condition_variable gate_;
  bool held_ = false;
  bool throwOnCount_ = false;
  std::vector<std::pair<uint32_t, uint32_t>> timeouts_;
};

// The main-window entries the link and the dialog write, as the main window declares them.
inline void declareMainWindowEntries(Controls& c) {
  ControlState lamp;
  lamp.color = colour::White;
  c.declare(mainwindow::ctl::Shape_TX, lamp);
  c.declare(mainwindow::ctl::Shape_RX, lamp);
  ControlState window;
  window.text = QStringLiteral("Quvexa BMS Monitor  ( UR96 ) ");
  c.declare(mainwindow::ctl::FormMain, window);
  ControlState hidden;
  hidden.visible = false;
  for (Control name : {mainwindow::ctl::PageControl2, mainwindow::ctl::TabSheetUR96, mainwindow::ctl::TabSheet_BRCAN,
                       mainwindow::ctl::TabSheet_CAN_ENG, mainwindow::ctl::TabSheetKL, mainwindow::ctl::TabSheetST,
                       mainwindow::ctl::TabSheetVM, mainwindow::ctl::TabSheetQV, mainwindow::ctl::TabSheetENG2,
                       mainwindow::ctl::TabSheet_EVT})
    c.declare(name, hidden);
  for (Control name : {mainwindow::ctl::StatusBarView,
                       mainwindow::ctl::TabSheetEEP,
                       mainwindow::ctl::Timer_300h_ON,
                       mainwindow::ctl::GroupBoxLastChgDate,
                       mainwindow::ctl::SpdBtnRUN,
                       mainwindow::ctl::SpdBtnBusHunt,
                       mainwindow::ctl::SpdBtnUpgrade,
                       mainwindow::ctl::SpdBtnSNGet,
                       mainwindow::ctl::SpdBtnSNSet,
                       mainwindow::ctl::SpdBtnSleep,
                       mainwindow::ctl::SpdBtnDeepSleep,
                       mainwindow::ctl::BitBtnBarCodeRead,
                       mainwindow::ctl::BitBtnBarCodeWrite,
                       mainwindow::ctl::BitBtnSafeInfoRead,
                       mainwindow::ctl::SpdBtnRTCSet,
                       mainwindow::ctl::SpdBtnRTCGet,
                       mainwindow::ctl::SpdBtnShippingModeSet,
                       mainwindow::ctl::SpdBtnShippingModeGet,
                       mainwindow::ctl::SpdBtnEEPROMEraseSet,
                       mainwindow::ctl::BitBtnPrintReportRead,
                       mainwindow::ctl::SpdBtnLastChgDateGet,
                       mainwindow::ctl::SpdBtnChgSW,
                       mainwindow::ctl::SpdBtnDsgSW,
                       mainwindow::ctl::SpdBtnBtyVoltRead,
                       mainwindow::ctl::SpdBtnDsgVoltRead,
                       mainwindow::ctl::SpdBtnChgVoltRead,
                       mainwindow::ctl::SpdBtnSOCRead})
    c.declare(name, {});
}

// Gives the executable a file name for the profile tests, and the usual one back afterwards.
class ScopedExeName {
 public:
  explicit ScopedExeName(const char* name) : previous_(platform::exeInfo()) {
    platform::setExeInfo({QStringLiteral("/opt/quvexa/"), QString::fromLatin1(name)});
  }
  ~ScopedExeName() { platform::setExeInfo(previous_); }
  ScopedExeName(const ScopedExeName&) = delete;
  ScopedExeName& operator=(const ScopedExeName&) = delete;

 private:
  platform::ExeInfo previous_;
};

struct LinkRig {
  explicit LinkRig(std::unique_ptr<platform::Driver> driver = std::make_unique<SpyDriver>())
      : services(std::move(driver)), link(services, mainwindow::kLinkControls), controls(services.controls) {
    declareMainWindowEntries(controls);
    form = std::make_unique<link::TFormConfig>(link);
  }
  ~LinkRig() { services.workers.joinAll(); }

  SpyDriver& spy() { return static_cast<SpyDriver&>(services.driver()); }
  sim::SimDriver& sim() { return spy().sim; }

  void chooseProtocol(int item) {
    controls.setItemIndex(link::ctl::RadioGroup_Protocol, item);
    form->onEvent(link::ctl::RadioGroup_Protocol, UiEvent::Click);
  }
  void scan() {
    form->onEvent(link::ctl::SpdBtnSCAN, UiEvent::Click);
    services.workers.joinAll();
  }
  void pick(int item) {
    controls.setItemIndex(link::ctl::CobBoxInterfaceName, item);
    form->onEvent(link::ctl::CobBoxInterfaceName, UiEvent::Change);
  }

  platform::Services services;
  link::Link link;
  Controls& controls;
  std::unique_ptr<link::TFormConfig> form;
};

}  // namespace qv::test
