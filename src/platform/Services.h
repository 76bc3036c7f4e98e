#pragma once
// What every subsystem's logic is built on: the control store, the adapter driver, the owner of the worker
// threads, and the requests to the display. One instance per program (and per test).
//
// Whoever owns the subsystems built on it stops their workers (joinAll) before they go; the workers are joined
// once more here, before the store and the driver they use are destroyed.

#include "platform/Controls.h"
#include "platform/Driver.h"
#include "platform/GuiRequests.h"
#include "platform/Workers.h"

#include <atomic>
#include <memory>

namespace qv::platform {

class Services {
 public:
  explicit Services(std::unique_ptr<Driver> driver) : driver_(std::move(driver)) {}
  ~Services() { workers.joinAll(); }
  Services(const Services&) = delete;
  Services& operator=(const Services&) = delete;

  Driver& driver() { return *driver_; }
  GuiRequests& gui() { return *gui_.load(); }
  // The display's requests, once there is a display; nullptr goes back to answering without one.
  void setGui(GuiRequests* gui) { gui_.store(gui != nullptr ? gui : &noGui_); }

  Controls controls;

 private:
  std::unique_ptr<Driver> driver_;
  NoGui noGui_;
  std::atomic<GuiRequests*> gui_{&noGui_};

 public:
  // Last member: destroyed first, so the workers are gone before anything they use.
  Workers workers;
};

}  // namespace qv::platform
