#pragma once
// The diagnosis report window: every control it has, declared once. Code, tests and the form's description name its
// controls by these constants only; the store holds no other name of this window.

#include "platform/ControlName.h"

namespace qv::eeprom::diagnosisReportCtl {

// The window itself: its text is the caption, visible means shown.
QV_CONTROL(FormDiagnosisReport);

QV_CONTROL(PanelReport);
QV_CONTROL(ImageReportHeader);

}  // namespace qv::eeprom::diagnosisReportCtl
