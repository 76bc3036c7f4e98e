#pragma once
// The window of the last ten EEPROM records: every control it has, declared once. Code, tests and the form's
// description name its controls by these constants only; the store holds no other name of this window.

#include "platform/ControlName.h"

namespace qv::eeprom::last10Ctl {

// The window itself: its text is the caption, visible means shown.
QV_CONTROL(FormEEPLast10);

QV_CONTROL(PageControlLast10);
QV_CONTROL(TabSheetProtectLast10);
QV_CONTROL(MemoProtectLast10);
QV_CONTROL(TabSheetLEADLast10);
QV_CONTROL(MemoLEADLast10);
QV_CONTROL(TabSheetLASTLast10);
QV_CONTROL(MemoLASTLast10);

}  // namespace qv::eeprom::last10Ctl
