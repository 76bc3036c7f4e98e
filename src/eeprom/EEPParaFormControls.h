#pragma once
// The EEPROM parameter window: every control it has, declared once. Code, tests and the form's description name its
// controls by these constants only; the store holds no other name of this window.

#include "platform/ControlName.h"

namespace qv::eeprom::paraCtl {

// The window itself: its text is the caption, visible means shown.
QV_CONTROL(Form_EEP_PARA);

QV_CONTROL(Edit_WakeUpLineType);

}  // namespace qv::eeprom::paraCtl
