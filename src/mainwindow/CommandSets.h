#pragma once
// The two sets of controls that are switched off and on around exchanges with the pack.
//
// The command set (SetCommandButtonsEnabled) keeps every UR exchange apart from every other: the main window's
// command buttons, RUN, " Configure ", EXIT, the EEPROM window's readers and that window itself. The run-start
// set (UpdateRunStopButtons) keeps the UR commands, " Configure " and EXIT away from a running monitoring run,
// which holds the adapter open; RUN itself stays enabled, so that it can stop the run.

#include "platform/Controls.h"

#include "mainwindow/MainFormControls.h"

#include <array>

namespace qv::mainwindow {

// The EEPROM window's members of the command set: its three readers and the window itself. That window lives in a
// layer above this one, so the composition hands its names in once at start (InstallEepromWindowCommandSet);
// until then those four places are empty names, which the store ignores.
struct EepromWindowCommandSet {
  Control blockChoiceRead;
  Control range;
  Control preview;
  Control window;
};
void InstallEepromWindowCommandSet(const EepromWindowCommandSet& members);

// The command set in its order. "PDF" (BitBtnPrint) is switched off with the others, but only the diagnosis
// report read switches it on again.
std::array<Control, 31> CommandSet();

// The run-start set in its order.
inline constexpr std::array<Control, 16> kRunStartSet = {
    ctl::BitBtnPrint,           ctl::BitBtnSafeInfoRead, ctl::SpdBtnDeepSleep,
    ctl::SpdBtnSleep,           ctl::BitBtnBarCodeWrite, ctl::BitBtnBarCodeRead,
    ctl::SpdBtnRTCSet,          ctl::SpdBtnRTCGet,       ctl::SpdBtnShippingModeSet,
    ctl::SpdBtnShippingModeGet, ctl::SpdBtnSNSet,        ctl::SpdBtnSNGet,
    ctl::SpdBtnConfigure,       ctl::SpdBtnExit,         ctl::SpdBtnEEPROMEraseSet,
    ctl::BitBtnPrintReportRead};

// false: disables every control of the command set; true: enables them all but "PDF", which keeps its state.
void SetCommandButtonsEnabled(Controls& controls, bool enable);

// While RUN's caption reads "STOP" (a run is starting), disables the run-start set; otherwise does nothing.
void UpdateRunStopButtons(Controls& controls);

}  // namespace qv::mainwindow
