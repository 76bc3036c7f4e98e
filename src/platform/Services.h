#pragma once
// What every subsystem's logic is built on: the control store, the adapter driver, the owner of the worker
// threads, and the requests to the display. One instance per program (and per test).
//
// Whoever owns the subsystems built on it stops their workers (joinAll) before they go; the workers are joined
// once more here, before the store and the driver they use are destroyed.

#include "platform/Checks.h"
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
  // Every request to the display comes through here: a box waits for the operator, so nothing may ask while it
  // holds the exchange lock (every other exchange would wait with it) or the store's lock (the display needs it).
  GuiRequests& gui() {
    QV_CHECK(!checks::holds(checks::Lock::Exchange), "no Yes/No box or GUI request under the exchange lock");
    QV_CHECK(!checks::holds(checks::Lock::Store), "no Yes/No box or GUI request under the store's lock");
    return *gui_.load();
  }
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
