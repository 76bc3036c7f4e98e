#pragma once
// The firmware window over a link to the simulated UR2 pack and its bootloader, with compressed time: the
// adapter chosen and scanned as the configuration dialog leaves it, images written into a folder of their own.

#include "firmware/FWUpgradeFormControls.h"
#include "firmware/Unit4FWUpgrade.h"
#include "mainwindow/MainFormControls.h"
#include "sim/Ur2Pack.h"
#include "support/TimeScale.h"
#include "tests/link/LinkRig.h"

#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <mutex>

namespace qv::test {

// The spy driver that also shows each write to a watcher, on the writer's thread.
class WatchedDriver : public SpyDriver {
 public:
  FtStatus Write(platform::FtHandle h, const void* b, uint32_t n, uint32_t* put) override {
    std::function<void()> watch;
    {
      std::lock_guard lock(mutex);
      watch = onWrite;
    }
    if (watch) watch();
    return SpyDriver::Write(h, b, n, put);
  }
  std::mutex mutex;
  std::function<void()> onWrite;
};

struct UpgradeRig {
  UpgradeRig() {
    adapter = rig.sim().addAdapter();
    adapter->setPack(pack);
    rig.chooseProtocol(0);
    rig.scan();
    rig.pick(0);
    window.setMainWindow(mainwindow::ctl::FormMain);
  }
  ~UpgradeRig() { rig.services.workers.joinAll(); }

  sim::Bootloader& bootloader() { return pack->bootloader(); }
  WatchedDriver& driver() { return static_cast<WatchedDriver&>(rig.services.driver()); }
  Controls& controls() { return rig.controls; }

  QString writeFile(const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return {};
    f.write(bytes);
    return path;
  }

  // Chooses the image and waits for its read.
  void choose(const QString& path) {
    window.ChooseImage(path);
    rig.services.workers.joinAll();
  }
  // Chooses the image and runs the upgrade to its end; true when it passed.
  bool upgrade(const QString& path) {
    choose(path);
    return upgradeChosen();
  }
  bool upgradeChosen() {
    adapter->clearWritten();
    window.btnFirmwareUpgradeClick();
    rig.services.workers.joinAll();
    return memo().value(memo().size() - 1) == "MSG: Firmware Upgrade......passed.";
  }

  QStringList memo() { return controls().items(firmware::ctl::memoFirmwareUpgrade); }

  ScopedTimeScale fast{0.001};
  QTemporaryDir dir;
  LinkRig rig{std::make_unique<WatchedDriver>()};
  std::shared_ptr<sim::Ur2Pack> pack = std::make_shared<sim::Ur2Pack>();
  std::shared_ptr<sim::SimAdapter> adapter;
  firmware::TFormFWUpgrade window{rig.services, rig.link};
};

}  // namespace qv::test
