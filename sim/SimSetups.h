#pragma once
// Ready-made simulated set-ups, by name, for QUVEXA_ADAPTER=sim:<name> and for tests.

#include "sim/SimDriver.h"

#include <memory>
#include <string>
#include <vector>

namespace qv::sim {

// A driver with one accepted adapter and the named pack behind it; "" is the default pack. nullptr for a name
// that is not known.
std::unique_ptr<SimDriver> makeSimDriver(const std::string& pack);
std::vector<std::string> simPackNames();

}  // namespace qv::sim
