#pragma once
// The configuration dialog: every control it has, declared once. Code, tests and the form's description name its
// controls by these constants only; the store holds no other name of this window.

#include "platform/ControlName.h"

namespace qv::link::ctl {

// The window itself: its text is the caption, visible means shown.
QV_CONTROL(FormConfig);

QV_CONTROL(Panel1);
QV_CONTROL(Label1);
QV_CONTROL(CobBoxInterfaceName);
QV_CONTROL(SpdBtnSCAN);
QV_CONTROL(ProgressBar1);
QV_CONTROL(LbInterfaceName);
QV_CONTROL(RadioGroup_Protocol);
QV_CONTROL(GroupBox1);
QV_CONTROL(LabelBaudRateChooice);
QV_CONTROL(ComboBoxBaudRate);
QV_CONTROL(CheckBoxLogFileSave);
QV_CONTROL(SpdBtnYES);
QV_CONTROL(SpdBtnCANCEL);
QV_CONTROL(StatusBar1);

}  // namespace qv::link::ctl

namespace qv::link {

// RadioGroup_Protocol's items; -1 is none chosen.
inline constexpr int kProtocolUr = 0;
inline constexpr int kProtocolCan = 1;

}  // namespace qv::link
