#pragma once
// A link over the simulated driver with the configuration dialog and the main-window entries it acts on.
// The driver is watched: the time-outs set are recorded, and a listing can be held to catch a scan running.

#include "link/Link.h"
#include "link/Unit2ConfigForm.h"
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
  c.declare("Shape_TX", lamp);
  c.declare("Shape_RX", lamp);
  ControlState window;
  window.text = QStringLiteral("Quvexa BMS Monitor  ( UR96 ) ");
  c.declare("FormMain", window);
  ControlState hidden;
  hidden.visible = false;
  for (const char* name : {"PageControl2", "TabSheetUR96", "TabSheet_BRCAN", "TabSheet_CAN_ENG", "TabSheetKL",
                           "TabSheetST", "TabSheetVM", "TabSheetQV", "TabSheetENG2", "TabSheet_EVT"})
    c.declare(name, hidden);
  for (const char* name :
       {"StatusBarView", "TabSheetEEP", "Timer_300h_ON", "GroupBoxLastChgDate", "SpdBtnRUN", "SpdBtnBusHunt",
        "SpdBtnUpgrade", "SpdBtnSNGet", "SpdBtnSNSet", "SpdBtnSleep", "SpdBtnDeepSleep", "BitBtnBarCodeRead",
        "BitBtnBarCodeWrite", "BitBtnSafeInfoRead", "SpdBtnRTCSet", "SpdBtnRTCGet", "SpdBtnShippingModeSet",
        "SpdBtnShippingModeGet", "SpdBtnEEPROMEraseSet", "BitBtnPrintReportRead", "SpdBtnLastChgDateGet",
        "SpdBtnChgSW", "SpdBtnDsgSW", "SpdBtnBtyVoltRead", "SpdBtnDsgVoltRead", "SpdBtnChgVoltRead",
        "SpdBtnSOCRead"})
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
      : services(std::move(driver)), link(services), controls(services.controls) {
    declareMainWindowEntries(controls);
    form = std::make_unique<link::TFormConfig>(link);
  }
  ~LinkRig() { services.workers.joinAll(); }

  SpyDriver& spy() { return static_cast<SpyDriver&>(services.driver()); }
  sim::SimDriver& sim() { return spy().sim; }

  void chooseProtocol(int item) {
    controls.setItemIndex("RadioGroup_Protocol", item);
    form->onEvent("RadioGroup_Protocol", UiEvent::Click);
  }
  void scan() {
    form->onEvent("SpdBtnSCAN", UiEvent::Click);
    services.workers.joinAll();
  }
  void pick(int item) {
    controls.setItemIndex("CobBoxInterfaceName", item);
    form->onEvent("CobBoxInterfaceName", UiEvent::Change);
  }

  platform::Services services;
  link::Link link;
  Controls& controls;
  std::unique_ptr<link::TFormConfig> form;
};

}  // namespace qv::test
