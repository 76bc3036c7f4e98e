#include "mainwindow/CommandSets.h"

#include "mainwindow/MainFormControls.h"

#include <atomic>
#include <string_view>

namespace qv::mainwindow {
namespace {
// Written once by the composition before any worker starts; read by whoever switches the set.
std::atomic<const EepromWindowCommandSet*> eepromWindowMembers{nullptr};
}  // namespace

void InstallEepromWindowCommandSet(const EepromWindowCommandSet& members) {
  delete eepromWindowMembers.exchange(new EepromWindowCommandSet(members));
}

std::array<Control, 31> CommandSet() {
  const EepromWindowCommandSet* eep = eepromWindowMembers.load();
  const EepromWindowCommandSet none{};
  if (eep == nullptr) eep = &none;
  // clang-format off
  return {ctl::SpdBtnRUN,          ctl::BitBtnPrint,           ctl::BitBtnSafeInfoRead,   ctl::SpdBtnDeepSleep,
          ctl::SpdBtnSleep,        ctl::BitBtnBarCodeWrite,    ctl::BitBtnBarCodeRead,    ctl::SpdBtnRTCSet,
          ctl::SpdBtnRTCGet,       ctl::SpdBtnShippingModeSet, ctl::SpdBtnShippingModeGet, ctl::SpdBtnSNSet,
          ctl::SpdBtnSNGet,        ctl::SpdBtnConfigure,       ctl::SpdBtnExit,           ctl::SpdBtnEEPROMEraseSet,
          ctl::BitBtnPrintReportRead, ctl::SpdBtnLastChgDateGet, eep->blockChoiceRead,    eep->range,
          eep->preview,            eep->window,                ctl::SpdBtnChgSW,          ctl::SpdBtnDsgSW,
          ctl::SpdBtnBtyVoltRead,  ctl::SpdBtnDsgVoltRead,     ctl::SpdBtnChgVoltRead,    ctl::SpdBtnSOCRead,
          ctl::BitBtnWCellmOmhAdjust, ctl::BitBtnCellRPrarmLoad, ctl::BitBtnRCellmOmhAdjust};
  // clang-format on
}

void SetCommandButtonsEnabled(Controls& controls, bool enable) {
  for (Control name : CommandSet()) {
    if (enable && name == ctl::BitBtnPrint) continue;
    controls.setEnabled(name, enable);
  }
}

void UpdateRunStopButtons(Controls& controls) {
  if (controls.text(ctl::SpdBtnRUN) != QLatin1String("STOP")) return;
  for (Control name : kRunStartSet) controls.setEnabled(name, false);
}

}  // namespace qv::mainwindow
