#pragma once
// A link over the scripted driver, made once per fuzz process, with its adapter handle open.

#include "FuzzStore.h"
#include "FuzzSupport.h"
#include "link/Link.h"
#include "mainwindow/MainWindowLink.h"
#include "platform/Services.h"
#include "platform/Time.h"

#include <memory>

namespace qv::fuzz {

struct LinkRig {
  LinkRig() : services(std::make_unique<ScriptedDriver>()), link(services, mainwindow::kLinkControls) {
    declareMainWindows(services.controls);
    driver = static_cast<ScriptedDriver*>(&services.driver());
    link.AdapterHandle.store(1);
    // The frame functions' fixed waits must not slow the run down.
    platform::setTimeScale(1e-9);
  }
  static LinkRig& get() {
    static LinkRig rig;
    return rig;
  }

  platform::Services services;
  link::Link link;
  ScriptedDriver* driver = nullptr;
};

}  // namespace qv::fuzz
