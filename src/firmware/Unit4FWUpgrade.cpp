#include "firmware/Unit4FWUpgrade.h"

#include "firmware/FWUpgradeFormControls.h"

namespace qv::firmware {
namespace {

FormDef FWUpgradeFormDef() {
  constexpr Control upgrade = ctl::GroupBox7;
  FormDef form;
  form.name = ctl::FormFWUpgrade;
  form.caption = "F/W Upgrade ";
  form.clientWidth = 520;
  form.clientHeight = 420;
  form.color = colour::Background;
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
      place(Kind::GroupBox, ctl::GBStatus, kFormItself, 396, 172, 116, 120, " STATUS "),
  };
  return form;
}

}  // namespace

TFormFWUpgrade::TFormFWUpgrade(platform::Services& services) : DeclaredForm(services.controls, FWUpgradeFormDef()) {}

void TFormFWUpgrade::onEvent(Control, UiEvent) {}

}  // namespace qv::firmware
