#pragma once
// The EEPROM window: every control it has, declared once. Code, tests and the form's description name its controls
// by these constants only; the store holds no other name of this window.

#include "platform/ControlName.h"

namespace qv::eeprom::eepromCtl {

// The window itself: its text is the caption, visible means shown.
QV_CONTROL(FormEEPROM);

QV_CONTROL(PageControlEEP);
QV_CONTROL(TabSheetHeader);
QV_CONTROL(MemoEEPHeader);
QV_CONTROL(TabSheetProtection);
QV_CONTROL(MemoEEPProtect);
QV_CONTROL(TabSheetLEAD);
QV_CONTROL(MemoEEPNormalLEAD);
QV_CONTROL(TabSheet1);
QV_CONTROL(MemoEEPNormalLAST);
QV_CONTROL_KEYED(GroupBox1, "FormEEPROM.GroupBox1");
QV_CONTROL(BitBtnEEPBlockChoiceRead);
QV_CONTROL(CheckBoxEEPReadLast10);
QV_CONTROL_KEYED(GroupBox2, "FormEEPROM.GroupBox2");
QV_CONTROL(BitBtnEEPSave);
QV_CONTROL(CheckBoxEEPSave);
QV_CONTROL(BitBtnClean);
QV_CONTROL(BitBtnEEPBlockProtectRead);
QV_CONTROL(BitBtnEEPClean);
QV_CONTROL(GroupBoxEEPRangeRead);
QV_CONTROL(Label82);
QV_CONTROL(ComboBoxEEPStartAddrRead);
QV_CONTROL(Label91);
QV_CONTROL(ComboBoxEEPEndAddrRead);
QV_CONTROL(BitBtnEEPRange);
QV_CONTROL(BitBtnEEPPreView);
QV_CONTROL(CGaugeEEPROMread);
// Where the last save went, or why it failed.
QV_CONTROL(LabelEEPSaveResult);

}  // namespace qv::eeprom::eepromCtl
