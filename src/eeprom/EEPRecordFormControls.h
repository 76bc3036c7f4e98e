#pragma once
// The EEPROM record window: every control it has, declared once. Code, tests and the form's description name its
// controls by these constants only; the store holds no other name of this window.

#include "platform/ControlName.h"

namespace qv::eeprom::recordCtl {

// The window itself: its text is the caption, visible means shown.
QV_CONTROL(FormEEP_Record);

QV_CONTROL(PageControlEEPRecord);
QV_CONTROL(TabSheetRecordHeader);
QV_CONTROL_KEYED(MemoEEPHeader, "FormEEP_Record.MemoEEPHeader");
QV_CONTROL(TabSheetRecordProtection);
QV_CONTROL_KEYED(MemoEEPProtect, "FormEEP_Record.MemoEEPProtect");
QV_CONTROL(TabSheetRecordLEAD);
QV_CONTROL_KEYED(MemoEEPNormalLEAD, "FormEEP_Record.MemoEEPNormalLEAD");
QV_CONTROL(TabSheetRecordLAST);
QV_CONTROL_KEYED(MemoEEPNormalLAST, "FormEEP_Record.MemoEEPNormalLAST");
QV_CONTROL(TabSheetRecordBasic);
QV_CONTROL(MemoEEPBasicRecord);
QV_CONTROL_KEYED(BitBtnEEPBlockChoiceRead, "FormEEP_Record.BitBtnEEPBlockChoiceRead");
QV_CONTROL_KEYED(CGaugeEEPROMread, "FormEEP_Record.CGaugeEEPROMread");

}  // namespace qv::eeprom::recordCtl
