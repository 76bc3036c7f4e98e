#include "platform/Backends.h"
#include "platform/PortDriver.h"

namespace qv::platform {
namespace {

class LibftdiDriver : public PortDriver {
 public:
  ~LibftdiDriver() override { closeAll(); }

 protected:
  std::vector<PortEntry> enumerate() override { return {}; }
  std::unique_ptr<Port> openPort(const PortEntry&, RxQueue&, FtStatus* status) override {
    *status = FT_DEVICE_NOT_FOUND;
    return nullptr;
  }
};

}  // namespace

std::unique_ptr<Driver> makeLibftdiDriver() { return std::make_unique<LibftdiDriver>(); }

}  // namespace qv::platform
