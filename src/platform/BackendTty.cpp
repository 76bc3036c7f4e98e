#include "platform/Backends.h"
#include "platform/PortDriver.h"

namespace qv::platform {
namespace {

class TtyDriver : public PortDriver {
 public:
  explicit TtyDriver(QStringList paths) : paths_(std::move(paths)) {}
  ~TtyDriver() override { closeAll(); }

 protected:
  std::vector<PortEntry> enumerate() override { return {}; }
  std::unique_ptr<Port> openPort(const PortEntry&, RxQueue&, FtStatus* status) override {
    *status = FT_DEVICE_NOT_FOUND;
    return nullptr;
  }

 private:
  QStringList paths_;
};

}  // namespace

std::unique_ptr<Driver> makeTtyDriver(const QStringList& paths) { return std::make_unique<TtyDriver>(paths); }

}  // namespace qv::platform
