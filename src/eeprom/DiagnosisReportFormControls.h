#pragma once
// The diagnosis report window: every control it has, declared once. Code, tests and the form's description name its
// controls by these constants only; the store holds no other name of this window.

#include "platform/ControlName.h"

namespace qv::eeprom::diagnosisReportCtl {

// The window itself: its text is the caption, visible means shown.
QV_CONTROL(FormDiagnosisReport);

QV_CONTROL(PanelReport);
QV_CONTROL(ImageReportHeader);

// The five section headings and the bars above the last four.
QV_CONTROL(LabelHeadProduct);
QV_CONTROL(LabelHeadCondition);
QV_CONTROL(LabelHeadTests);
QV_CONTROL(LabelHeadSummary);
QV_CONTROL(LabelHeadConclusion);
QV_CONTROL(BarCondition);
QV_CONTROL(BarTests);
QV_CONTROL(BarSummary);
QV_CONTROL(BarConclusion);

// Product Information: the value labels, then their captions.
QV_CONTROL(Label_DateNow);
QV_CONTROL(Label_ModelName);
QV_CONTROL(Label_RptSN);
QV_CONTROL(Label_CellType);
QV_CONTROL(Label_CellCfg);
QV_CONTROL(Label_MftDate);
QV_CONTROL(Label_MFTName);
QV_CONTROL(Label_DC);
QV_CONTROL(Label_MaxDsgCurrentA);
QV_CONTROL(Label_MaxCghCurrent);
QV_CONTROL(Label_PulseDsgCurrentA);
QV_CONTROL(Label_MaxChgVoltage);
QV_CONTROL(Label_PulseDsgDurationSec);
QV_CONTROL(Label_WarrantyCycle);
QV_CONTROL(Label_WarrantyCapmAh);
QV_CONTROL(Label_Barcode);
QV_CONTROL(Label_ExpDate);
QV_CONTROL(CaptionDateNow);
QV_CONTROL(CaptionModelName);
QV_CONTROL(CaptionRptSN);
QV_CONTROL(CaptionCellType);
QV_CONTROL(CaptionCellCfg);
QV_CONTROL(CaptionMftDate);
QV_CONTROL(CaptionMFTName);
QV_CONTROL(CaptionDC);
QV_CONTROL(CaptionMaxDsgCurrentA);
QV_CONTROL(CaptionMaxCghCurrent);
QV_CONTROL(CaptionPulseDsgCurrentA);
QV_CONTROL(CaptionMaxChgVoltage);
QV_CONTROL(CaptionPulseDsgDurationSec);
QV_CONTROL(CaptionWarrantyCycle);
QV_CONTROL(CaptionWarrantyCapmAh);
QV_CONTROL(CaptionBarcode);
QV_CONTROL(CaptionExpDate);

// Battery condition read out.
QV_CONTROL(Label_ReadOutDate);
QV_CONTROL(Label_ReadOutTime);
QV_CONTROL(Label_LastChgDate);
QV_CONTROL(Label_LastChgSOC);
QV_CONTROL(Label_CycleCnt);
QV_CONTROL(Label_FCC);
QV_CONTROL(Label_PSOC);
QV_CONTROL(Label_PackVoltage);
QV_CONTROL(Label_MaxCellVolt);
QV_CONTROL(Label_MinCellVolt);
QV_CONTROL(Label_ChgDsgCurrentmA);
QV_CONTROL(Label_T1);
QV_CONTROL(Label_ProtectFlag);
QV_CONTROL(Label_CellImbalance);
QV_CONTROL(CaptionReadOutDate);
QV_CONTROL(CaptionReadOutTime);
QV_CONTROL(CaptionLastChgDate);
QV_CONTROL(CaptionLastChgSOC);
QV_CONTROL(CaptionCycleCnt);
QV_CONTROL(CaptionFCC);
QV_CONTROL(CaptionPSOC);
QV_CONTROL(CaptionPackVoltage);
QV_CONTROL(CaptionMaxCellVolt);
QV_CONTROL(CaptionMinCellVolt);
QV_CONTROL(CaptionChgDsgCurrentmA);
QV_CONTROL(CaptionT1);
QV_CONTROL(CaptionProtectFlag);
QV_CONTROL(CaptionCellImbalance);

// Battery function tests.
QV_CONTROL(LabelTestChgVolt);
QV_CONTROL(LabelTestChgCurrent);
QV_CONTROL(LabelTestResultChgCurrent);
QV_CONTROL(LabelTestDsgVolt);
QV_CONTROL(LabelTestResultDsgVolt);
QV_CONTROL(LabelTestDsgCurrent);
QV_CONTROL(LabelTestSOCVolt);
QV_CONTROL(LabelTestResultSOCVolt);
QV_CONTROL(CaptionTestChgVolt);
QV_CONTROL(CaptionTestChgCurrent);
QV_CONTROL(CaptionTestResultChgCurrent);
QV_CONTROL(CaptionTestDsgVolt);
QV_CONTROL(CaptionTestResultDsgVolt);
QV_CONTROL(CaptionTestDsgCurrent);
QV_CONTROL(CaptionTestSOCVolt);
QV_CONTROL(CaptionTestResultSOCVolt);

// Summary of Key Charge / Discharge Actions.
QV_CONTROL(Label_TotalChgEvtCnt);
QV_CONTROL(Label_ReportTotalCC);
QV_CONTROL(Label_TotalDsgEvtCnt);
QV_CONTROL(LabelTotalDsgCapacity);  // hidden, never written
QV_CONTROL(Label_FstFullChgDate);
QV_CONTROL(Label_FstDsgDepletionDate);
QV_CONTROL(Label_LastFullChgDate);
QV_CONTROL(Label_LastDsgDepletionDate);
QV_CONTROL(Label_MaxDurationLowSOC0Hours);
QV_CONTROL(Label_MaxChgLowSOCsinceDate);
QV_CONTROL(Label_SOC0ChgCap);
QV_CONTROL(Label_ExtDsgRecAtDate);
QV_CONTROL(CaptionTotalChgEvtCnt);
QV_CONTROL(CaptionReportTotalCC);
QV_CONTROL(CaptionTotalDsgEvtCnt);
QV_CONTROL(CaptionTotalDsgCapacity);
QV_CONTROL(CaptionFstFullChgDate);
QV_CONTROL(CaptionFstDsgDepletionDate);
QV_CONTROL(CaptionLastFullChgDate);
QV_CONTROL(CaptionLastDsgDepletionDate);
QV_CONTROL(CaptionMaxDurationLowSOC0Hours);
QV_CONTROL(CaptionMaxChgLowSOCsinceDate);
QV_CONTROL(CaptionSOC0ChgCap);
QV_CONTROL(CaptionExtDsgRecAtDate);

// Conclusion of Diagnosis report.
QV_CONTROL(Label_TotalWarrantyCnt);
QV_CONTROL(LabelBatteryCondition);  // hidden, "Qualified", never written
QV_CONTROL(CaptionTotalWarrantyCnt);
QV_CONTROL(CaptionBatteryCondition);

}  // namespace qv::eeprom::diagnosisReportCtl
