#pragma once
// The one place that reads QUVEXA_ADAPTER and picks the driver the program runs on:
//   unset             the libftdi backend (real adapters)
//   sim, sim:<pack>   the simulated adapter with that pack behind it
//   tty:<path>[,<path>...]  those serial devices, each listed as an adapter with the accepted id

#include "platform/Driver.h"

#include <QString>

#include <memory>

namespace qv::app {

std::unique_ptr<platform::Driver> makeDriver(const QString& adapterSetting);
std::unique_ptr<platform::Driver> makeDriverFromEnvironment();

}  // namespace qv::app
