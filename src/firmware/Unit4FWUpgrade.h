#pragma once
// The firmware window: choose an image, compare its digest with its side file, upgrade the pack, read the
// bootloader's version.
//
// The image is read once, when it is chosen: its digest, the upgrade's field count, transfer and verify all use
// those bytes. Reading and hashing run on a worker, as the upgrade and the version read do; while any of them
// runs, ">>", "Upgrade", "Get" and "Exit" stay off (a click on "Exit" would leave a pack with an erased flash
// behind), and each worker gives them back at its end. The digest's verdict is shown, not enforced: the upgrade may
// start after a mismatch.

#include "firmware/FirmwareImage.h"
#include "firmware/FirmwareUpgrade.h"
#include "platform/Form.h"
#include "platform/Services.h"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>

namespace qv::link {
class Link;
}

namespace qv::firmware {

FormDef FWUpgradeFormDef();

class TFormFWUpgrade : public DeclaredForm {
 public:
  TFormFWUpgrade(platform::Services& services, link::Link& link);
  void onEvent(Control control, UiEvent event) override;

  // The main window, hidden while this one is shown. It lives in a layer above this one; the composition names it.
  void setMainWindow(Control window) { mainWindow_ = window; }

  void btnFirmwareSelectClick();
  void btnFirmwareUpgradeClick();
  void btnGetBootloaderVersionClick();
  void SpdBtn_FirmwareUpgradeExitClick();
  void FormClose();

  // What the image choice does with the path the dialog gave (GUI thread): the comparison's header at once, the
  // read and the digests on a worker, which writes the rest of the block and gives the buttons back.
  void ChooseImage(const QString& path);
  // "%u.%u" into the version box; "Exit" comes back only when no worker of this window runs.
  void ShowBootloaderVersion(uint8_t major, uint8_t minor);

  // The image as it was read at the last choice.
  std::shared_ptr<const LoadedImage> image() const;
  // True while the image read, the upgrade or the version read runs.
  bool busy() const { return busy_.load(); }

 private:
  bool startWorker(const char* name, std::function<void()> fn);
  void ReadImageThread(const QString& path, const std::array<bool, 4>& wasEnabled);
  void memo(const QString& line);

  platform::Services& services_;
  Controls& controls_;
  link::Link& link_;
  Control mainWindow_;
  FirmwareUpgrade upgrade_;
  mutable std::mutex imageMutex_;
  std::shared_ptr<const LoadedImage> image_;
  std::atomic<bool> busy_{false};
};

}  // namespace qv::firmware
