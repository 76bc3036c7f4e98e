#pragma once
// The firmware upgrade window: every control it has, declared once. Code, tests and the form's description name its
// controls by these constants only; the store holds no other name of this window.

#include "platform/ControlName.h"

#include <array>

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
// The status picture: its item index is the picture shown (0 in progress, 1 passed, 2 failed, -1 none), and the
// three pictures of ImageListStatus stand in it, the one shown visible.
QV_CONTROL(ImageStatus);
QV_CONTROL(ImageListStatus0);
QV_CONTROL(ImageListStatus1);
QV_CONTROL(ImageListStatus2);
inline constexpr std::array<Control, 3> kStatusPictures = {ImageListStatus0, ImageListStatus1, ImageListStatus2};
QV_CONTROL(Image2);

}  // namespace qv::firmware::ctl
