#include "firmware/Unit4FWUpgrade.h"

#include "firmware/FWUpgradeFormControls.h"
#include "link/Link.h"

#include <array>

// The status pictures are compiled into this library; a static library's resources are registered by hand.
static void registerFirmwarePictures() { Q_INIT_RESOURCE(FirmwarePictures); }

namespace qv::firmware {
namespace {

const QString kRule = QStringLiteral("==============================");

// What the window's workers (the image read among them) hold off while they run.
constexpr std::array<Control, 4> kWindowButtons = {ctl::btnFirmwareSelect, ctl::btnFirmwareUpgrade,
                                                   ctl::btnGetBootloaderVersion, ctl::SpdBtn_FirmwareUpgradeExit};

}  // namespace

FormDef FWUpgradeFormDef() {
  constexpr Control upgrade = ctl::GroupBox7;
  constexpr Control status = ctl::GBStatus;
  FormDef form;
  form.name = ctl::FormFWUpgrade;
  form.caption = "F/W Upgrade ";
  form.clientWidth = 520;
  form.clientHeight = 420;
  form.color = colour::fromRgb(229, 254, 206);
  form.controls = {
      place(Kind::GroupBox, upgrade, kFormItself, 8, 8, 504, 132, " F/W Upgrade"),
      place(Kind::Label, ctl::Label3, upgrade, 12, 28, 80, 14, "Image Path"),
      place(Kind::Edit, ctl::editFirmwarePath, upgrade, 12, 44, 420, 20).locked(),
      place(Kind::Button, ctl::btnFirmwareSelect, upgrade, 440, 42, 52, 24, ">>"),
      place(Kind::Label, ctl::Label4, upgrade, 12, 76, 120, 14, "Bootloader Version"),
      place(Kind::Edit, ctl::editBootloaderVersion, upgrade, 12, 92, 120, 20).locked(),
      place(Kind::Button, ctl::btnGetBootloaderVersion, upgrade, 140, 90, 52, 24, "Get").hide(),
      place(Kind::Button, ctl::btnFirmwareUpgrade, upgrade, 340, 86, 72, 30, "Upgrade").disable(),
      place(Kind::Button, ctl::SpdBtn_FirmwareUpgradeExit, upgrade, 420, 86, 72, 30, "Exit"),
      place(Kind::ProgressBar, ctl::pbFirmwareUpgrade, kFormItself, 8, 148, 504, 16).span(0, 1000),
      place(Kind::Memo, ctl::memoFirmwareUpgrade, kFormItself, 8, 172, 380, 240).locked(),
      place(Kind::GroupBox, status, kFormItself, 396, 172, 116, 120, " STATUS "),
      place(Kind::Panel, ctl::ImageStatus, status, 26, 24, 64, 64).paint(colour::Parent),
      place(Kind::Image, ctl::ImageListStatus0, ctl::ImageStatus, 0, 0, 64, 64)
          .image(":/firmware/status-busy.png")
          .hide(),
      place(Kind::Image, ctl::ImageListStatus1, ctl::ImageStatus, 0, 0, 64, 64)
          .image(":/firmware/status-passed.png")
          .hide(),
      place(Kind::Image, ctl::ImageListStatus2, ctl::ImageStatus, 0, 0, 64, 64)
          .image(":/firmware/status-failed.png")
          .hide(),
      place(Kind::Image, ctl::Image2, kFormItself, 422, 320, 64, 64).image(":/firmware/chip.png"),
  };
  return form;
}

TFormFWUpgrade::TFormFWUpgrade(platform::Services& services, link::Link& link)
    : DeclaredForm(services.controls, FWUpgradeFormDef()),
      services_(services),
      controls_(services.controls),
      link_(link),
      upgrade_(link, [this](uint8_t major, uint8_t minor) { ShowBootloaderVersion(major, minor); }) {
  registerFirmwarePictures();
  controls_.setPosition(ctl::pbFirmwareUpgrade, 0);
}

void TFormFWUpgrade::onEvent(Control control, UiEvent event) {
  static constexpr EventRoute<TFormFWUpgrade> kRoutes[] = {
      {ctl::btnFirmwareSelect, UiEvent::Click, &TFormFWUpgrade::btnFirmwareSelectClick},
      {ctl::btnFirmwareUpgrade, UiEvent::Click, &TFormFWUpgrade::btnFirmwareUpgradeClick},
      {ctl::btnGetBootloaderVersion, UiEvent::Click, &TFormFWUpgrade::btnGetBootloaderVersionClick},
      {ctl::SpdBtn_FirmwareUpgradeExit, UiEvent::Click, &TFormFWUpgrade::SpdBtn_FirmwareUpgradeExitClick},
      {ctl::FormFWUpgrade, UiEvent::Close, &TFormFWUpgrade::FormClose},
  };
  routeEvent(*this, kRoutes, control, event);
}

void TFormFWUpgrade::memo(const QString& line) { controls_.addItem(ctl::memoFirmwareUpgrade, line); }

std::shared_ptr<const LoadedImage> TFormFWUpgrade::image() const {
  std::lock_guard lock(imageMutex_);
  return image_;
}

void TFormFWUpgrade::btnFirmwareSelectClick() {
  if (!controls_.enabled(ctl::btnFirmwareSelect)) return;
  const QString path = services_.gui().chooseFileToOpen(QStringLiteral("Hex Files [*.hex]|*.hex"));
  if (path.isEmpty()) return;
  ChooseImage(path);
}

void TFormFWUpgrade::ChooseImage(const QString& path) {
  if (busy_) return;
  std::array<bool, kWindowButtons.size()> wasEnabled{};
  for (size_t i = 0; i < kWindowButtons.size(); ++i) {
    wasEnabled[i] = controls_.enabled(kWindowButtons[i]);
    controls_.setEnabled(kWindowButtons[i], false);
  }
  memo(kRule);
  memo(QStringLiteral("  FW Image: Checksum Compare."));
  memo(kRule);
  controls_.setText(ctl::editFirmwarePath, path);
  // A large image (or a slow disk) takes its time to read and hash: on a worker, so the window keeps answering
  // with its buttons off; the worker gives them back through the store.
  if (!startWorker("ReadImageThread", [this, path, wasEnabled] { ReadImageThread(path, wasEnabled); })) {
    for (size_t i = 0; i < kWindowButtons.size(); ++i) controls_.setEnabled(kWindowButtons[i], wasEnabled[i]);
  }
}

void TFormFWUpgrade::ReadImageThread(const QString& path, const std::array<bool, 4>& wasEnabled) {
  auto image = std::make_shared<const LoadedImage>(ReadImageFile(path));
  {
    std::lock_guard lock(imageMutex_);
    image_ = image;
  }
  const QString imageText = ComputeImageMd5(*image).left(32);
  const QString patternText = ReadImageMd5File(path).left(32);
  memo(QStringLiteral("MD5sum(Image): %1, strlen=%2").arg(imageText, QString::number(imageText.size())));
  memo(QStringLiteral("MD5sum(Pattern): %1, strlen=%2").arg(patternText, QString::number(patternText.size())));
  memo(DigestsAgree(imageText, patternText) ? QStringLiteral("SYS: Checksum......passed.")
                                            : QStringLiteral("SYS: Checksum......failed."));
  for (size_t i = 0; i < kWindowButtons.size(); ++i) controls_.setEnabled(kWindowButtons[i], wasEnabled[i]);
  controls_.setEnabled(ctl::btnFirmwareUpgrade, true);
}

bool TFormFWUpgrade::startWorker(const char* name, std::function<void()> fn) {
  busy_ = true;
  try {
    services_.workers.start(name, [this, fn = std::move(fn)] {
      struct Done {
        std::atomic<bool>& busy;
        ~Done() { busy = false; }
      } done{busy_};
      fn();
    });
    return true;
  } catch (const std::exception&) {
    busy_ = false;
    return false;
  }
}

void TFormFWUpgrade::btnFirmwareUpgradeClick() {
  if (!controls_.enabled(ctl::btnFirmwareUpgrade) || busy_) return;
  const bool getWasEnabled = controls_.enabled(ctl::btnGetBootloaderVersion);
  for (Control c : kWindowButtons) controls_.setEnabled(c, false);
  ShowStatusPicture(controls_, kStatusBusy);
  std::shared_ptr<const LoadedImage> chosen = image();
  if (!chosen) chosen = std::make_shared<const LoadedImage>();
  if (!startWorker("FirmwareUpgradeThread", [this, chosen] { upgrade_.FirmwareUpgradeThread(*chosen); })) {
    for (Control c : kWindowButtons) controls_.setEnabled(c, true);
    controls_.setEnabled(ctl::btnGetBootloaderVersion, getWasEnabled);
  }
}

void TFormFWUpgrade::btnGetBootloaderVersionClick() {
  if (!controls_.enabled(ctl::btnGetBootloaderVersion) || busy_) return;
  ShowStatusPicture(controls_, kStatusBusy);
  const bool upgradeWasEnabled = controls_.enabled(ctl::btnFirmwareUpgrade);
  for (Control c : kWindowButtons) controls_.setEnabled(c, false);
  if (!startWorker("ReadBootloaderVersionThread", [this] { upgrade_.ReadBootloaderVersionThread(); })) {
    for (Control c : kWindowButtons) controls_.setEnabled(c, true);
    controls_.setEnabled(ctl::btnFirmwareUpgrade, upgradeWasEnabled);
  }
}

void TFormFWUpgrade::ShowBootloaderVersion(uint8_t major, uint8_t minor) {
  controls_.setText(ctl::editBootloaderVersion, QString::asprintf("%u.%u", major, minor));
  if (!busy_) controls_.setEnabled(ctl::SpdBtn_FirmwareUpgradeExit, true);
}

// The window holds the adapter only while one of its workers runs, and "Exit" is off then; so leaving closes
// no adapter, and another session's handle (monitoring's) survives it.
void TFormFWUpgrade::SpdBtn_FirmwareUpgradeExitClick() {
  if (!controls_.enabled(ctl::SpdBtn_FirmwareUpgradeExit) || busy_) return;
  controls_.setVisible(ctl::FormFWUpgrade, false);
  controls_.setEnabled(mainWindow_, true);
  controls_.setVisible(mainWindow_, true);
}

void TFormFWUpgrade::FormClose() {
  // The window has no close box; a close asked of it some other way while a worker runs is refused as a click
  // on "Exit" is, so the run stays in sight until its verdict.
  if (busy_) {
    controls_.setVisible(ctl::FormFWUpgrade, true);
    return;
  }
  controls_.setVisible(ctl::FormFWUpgrade, false);
  controls_.setEnabled(mainWindow_, true);
  controls_.setVisible(mainWindow_, true);
}

}  // namespace qv::firmware
