#pragma once
// The test window's controls.

#include "platform/ControlName.h"

namespace qv::gui::testctl {

QV_CONTROL(FormTest);
QV_CONTROL(EditA);
QV_CONTROL(BtnA);
QV_CONTROL(CheckA);
QV_CONTROL(RadioA);
QV_CONTROL(ComboA);
QV_CONTROL(Group);
QV_CONTROL(EditInherit);
QV_CONTROL(GaugeA);
QV_CONTROL(LampA);
QV_CONTROL(Pages);
QV_CONTROL(Page1);
QV_CONTROL(Page2);
QV_CONTROL_KEYED(Label1, "FormTest.Label1");
QV_CONTROL(Page3);
QV_CONTROL(MemoA);
QV_CONTROL(Status);
QV_CONTROL(TimerA);

}  // namespace qv::gui::testctl
