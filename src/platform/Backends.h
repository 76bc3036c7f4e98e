#pragma once
// The real backends of the driver.

#include "platform/Driver.h"

#include <QStringList>

#include <memory>

namespace qv::platform {

// FT232H adapters through libftdi. Location ids are made from the USB bus number and port path, so they stay
// the same when the adapter is plugged into the same socket again.
std::unique_ptr<Driver> makeLibftdiDriver();

// Serial devices (the kernel's ttyUSB nodes, or pseudo-terminals with an emulator behind them), each listed as
// an adapter with the accepted id. Raw mode: no echo, no line discipline.
std::unique_ptr<Driver> makeTtyDriver(const QStringList& paths);

}  // namespace qv::platform
