#pragma once
// The names the CAN service and barcode commands are written in: the main window's controls, the message IDs,
// the answer-flag families, the one sleep, and the empty arguments of a plain request. Each command file takes
// them with `using namespace canCommandNames;` inside its own unnamed namespace.

#include "link/CanAnswerFlags.h"
#include "link/CanLayer.h"
#include "link/PackMessages.h"
#include "mainwindow/MainFormControls.h"
#include "platform/Time.h"

namespace qv::commands::canCommandNames {

namespace c = mainwindow::ctl;
namespace msg = link::msg;
using link::CanAckFamily;
using platform::sleepMs;

// A request that carries no arguments.
inline constexpr link::CanArgs kNoArgs{0, 0, 0};

}  // namespace qv::commands::canCommandNames
