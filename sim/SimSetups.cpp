#include "sim/SimSetups.h"

namespace qv::sim {

std::unique_ptr<SimDriver> makeSimDriver(const std::string& pack) {
  if (!pack.empty()) return nullptr;
  auto driver = std::make_unique<SimDriver>();
  driver->addAdapter();
  return driver;
}

std::vector<std::string> simPackNames() { return {""}; }

}  // namespace qv::sim
