#pragma once
// The firmware upgrade window: every control it has, declared once. Code, tests and the form's description name its
// controls by these constants only; the store holds no other name of this window.

#include "platform/ControlName.h"

namespace qv::firmware::ctl {

// The window itself: its text is the caption, visible means shown.
QV_CONTROL(FormFWUpgrade);

QV_CONTROL(GroupBox7);
QV_CONTROL(Label3);
QV_CONTROL(editFirmwarePath);
QV_CONTROL(btnFirmwareSelect);
QV_CONTROL(Label4);
QV_CONTROL(editBootloaderVersion);
QV_CONTROL(btnGetBootloaderVersion);
QV_CONTROL(btnFirmwareUpgrade);
QV_CONTROL(SpdBtn_FirmwareUpgradeExit);
QV_CONTROL(pbFirmwareUpgrade);
QV_CONTROL(memoFirmwareUpgrade);
QV_CONTROL(GBStatus);

}  // namespace qv::firmware::ctl
