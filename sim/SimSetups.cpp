#include "sim/SimSetups.h"

#include "sim/Ur2Pack.h"

namespace qv::sim {

std::unique_ptr<SimDriver> makeSimDriver(const std::string& pack) {
  std::shared_ptr<SerialPack> serial;
  if (pack == "ur2") {
    serial = std::make_shared<Ur2Pack>();
  } else if (!pack.empty()) {
    return nullptr;
  }
  auto driver = std::make_unique<SimDriver>();
  driver->addAdapter()->setPack(std::move(serial));
  return driver;
}

std::vector<std::string> simPackNames() { return {"", "ur2"}; }

}  // namespace qv::sim
