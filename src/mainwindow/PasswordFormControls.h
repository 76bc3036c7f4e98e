#pragma once
// The password dialog: every control it has, declared once. Code, tests and the form's description name its controls
// by these constants only; the store holds no other name of this window.

#include "platform/ControlName.h"

namespace qv::mainwindow::passwordCtl {

// The window itself: its text is the caption, visible means shown.
QV_CONTROL(FormPassWord);

QV_CONTROL_KEYED(Label1, "FormPassWord.Label1");
QV_CONTROL(EditModePassword);
QV_CONTROL(SpdBtnPasswordYes);
QV_CONTROL(SpdBtnPasswordNo);

}  // namespace qv::mainwindow::passwordCtl
