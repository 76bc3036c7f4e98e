#pragma once
// The main window: every control it has, declared once. Code, tests and the form's description name its controls
// by these constants only; the store holds no other name of this window.

#include "platform/ControlName.h"

#include <array>

namespace qv::mainwindow::ctl {

// The window itself: its text is the caption, visible means shown.
QV_CONTROL(FormMain);

QV_CONTROL(ImageLogo);
QV_CONTROL(LabelPRINTDate);
QV_CONTROL(SpdBtnRUN);
QV_CONTROL(SpdBtnConfigure);
QV_CONTROL(SpdBtnPRINT);
QV_CONTROL(SpdBtnExit);
QV_CONTROL(SpdBtnBusHunt);
QV_CONTROL(SpdBtnUpgrade);
QV_CONTROL(Shape_TX);
QV_CONTROL(Label_TX);
QV_CONTROL(Shape_RX);
QV_CONTROL(Label_RX);
QV_CONTROL(GroupBoxVCellList);
QV_CONTROL(LabelVCell1);
QV_CONTROL(CGaugeVCell1);
QV_CONTROL(EditVCell1);
QV_CONTROL(LabelVCell2);
QV_CONTROL(CGaugeVCell2);
QV_CONTROL(EditVCell2);
QV_CONTROL(LabelVCell3);
QV_CONTROL(CGaugeVCell3);
QV_CONTROL(EditVCell3);
QV_CONTROL(LabelVCell4);
QV_CONTROL(CGaugeVCell4);
QV_CONTROL(EditVCell4);
QV_CONTROL(LabelVCell5);
QV_CONTROL(CGaugeVCell5);
QV_CONTROL(EditVCell5);
QV_CONTROL(LabelVCell6);
QV_CONTROL(CGaugeVCell6);
QV_CONTROL(EditVCell6);
QV_CONTROL(LabelVCell7);
QV_CONTROL(CGaugeVCell7);
QV_CONTROL(EditVCell7);
QV_CONTROL(LabelVCell8);
QV_CONTROL(CGaugeVCell8);
QV_CONTROL(EditVCell8);
QV_CONTROL(LabelVCell9);
QV_CONTROL(CGaugeVCell9);
QV_CONTROL(EditVCell9);
QV_CONTROL(LabelVCell10);
QV_CONTROL(CGaugeVCell10);
QV_CONTROL(EditVCell10);
QV_CONTROL(LabelVCell11);
QV_CONTROL(CGaugeVCell11);
QV_CONTROL(EditVCell11);
QV_CONTROL(LabelVCell12);
QV_CONTROL(CGaugeVCell12);
QV_CONTROL(EditVCell12);
QV_CONTROL(LabelVCell13);
QV_CONTROL(CGaugeVCell13);
QV_CONTROL(EditVCell13);
QV_CONTROL(EditVCell14);
QV_CONTROL(LabelHVolt);
QV_CONTROL(Edit_HVlot);
QV_CONTROL(LabelLVolt);
QV_CONTROL(Edit_LVolt);
QV_CONTROL(LabelVoltDiff);
QV_CONTROL(Edit_VoltDiff);
QV_CONTROL(GroupBoxSOC);
QV_CONTROL(LabelASOC);
QV_CONTROL(ProgressBarSOH);
QV_CONTROL(EditASOC);
QV_CONTROL(LabelRSOC);
QV_CONTROL(ProgressBarSOC);
QV_CONTROL(EditRSOC);
QV_CONTROL(GroupBoxBatteryStatus);
QV_CONTROL(GroupBoxTemperature);
QV_CONTROL(LabelT1);
QV_CONTROL(EditT1);
QV_CONTROL(LabelT2);
QV_CONTROL(EditT2);
QV_CONTROL(LabelT3);
QV_CONTROL(EditT3);
QV_CONTROL(GroupBoxCurrentSign);
QV_CONTROL(EditCurrentSign);
QV_CONTROL(ShapeKeyPress);
QV_CONTROL(PageControl2);
QV_CONTROL(StatusBarView);
QV_CONTROL(Timer_300h_ON);
// Our own: holds "PDF" off for a second after printing, so one click prints one page.
QV_CONTROL(printPauseTimer);
QV_CONTROL(EditOVF);
QV_CONTROL(EditUVF);
QV_CONTROL(EditOCF);
QV_CONTROL(EditSCF);
QV_CONTROL(EditOTF);
QV_CONTROL(EditUTF);

// The page TabSheetUR96 and what stands on it.
QV_CONTROL(TabSheetUR96);
QV_CONTROL(GroupBoxBatteryInfo1);
QV_CONTROL(LabelCycleCnt);
QV_CONTROL(EditCycleCnt);
QV_CONTROL(LabelPackVolt);
QV_CONTROL(EditPackVolt);
QV_CONTROL(LabelPackCurrent);
QV_CONTROL(EditPackCurrent);
QV_CONTROL(LabelCellSeries);
QV_CONTROL(EditCellSeries);
QV_CONTROL(LabelCellParallel);
QV_CONTROL(EditCellParallel);
QV_CONTROL(LabelDC);
QV_CONTROL(EditDC);
QV_CONTROL(LabelRC);
QV_CONTROL(EditRC);
QV_CONTROL(LabelTCC);
QV_CONTROL(EditTCC);
QV_CONTROL(LabelFCC);
QV_CONTROL(EditFCC);
QV_CONTROL(GroupBoxFWProduction);
QV_CONTROL(LabelFWVer);
QV_CONTROL(EditFWVer);
QV_CONTROL(LabelFWID);
QV_CONTROL(EditFWID);
QV_CONTROL(GroupBoxRTC);
QV_CONTROL(EditRTC);
QV_CONTROL(GroupBoxSOHWh);
QV_CONTROL(Edit_UR96_SOH_Wh);
QV_CONTROL(LabelSOHWh);
QV_CONTROL(GroupBoxSOCWh);
QV_CONTROL(Edit_UR96_SOC_Wh);
QV_CONTROL(LabelSOCWh);
QV_CONTROL(GroupBoxBatteryWh);
QV_CONTROL(Edit_UR96_Battery_Wh);
QV_CONTROL(LabelBatteryWh);
QV_CONTROL(GroupBoxLastChgDate);
QV_CONTROL(CheckBoxLastChgDate);
QV_CONTROL(EditLastChgDate);
QV_CONTROL(SpdBtnLastChgDateGet);
QV_CONTROL(LabelLastChgSOC);
QV_CONTROL(EditLastChgSOC);
QV_CONTROL(LabelLastChgSOCUnit);
QV_CONTROL(ProgressBarLastChgDate);
QV_CONTROL(ImageBatteryPack);
QV_CONTROL(GroupBoxShippingModeUR);
QV_CONTROL(CheckBoxShippingModeReadOnly);
QV_CONTROL(GroupBoxBarcodeUR);
QV_CONTROL(BitBtn1);

// The page TabSheet_BRCAN and what stands on it.
QV_CONTROL(TabSheet_BRCAN);
QV_CONTROL(GroupBoxASR1);
QV_CONTROL(Edit400hASR1Bit4);
QV_CONTROL(GroupBoxCR);
QV_CONTROL(GroupBoxShippingModeCAN);
QV_CONTROL(Label_ShippingMode_RX_CMD);
QV_CONTROL(Label_ShippingMode_RX_DAT);
QV_CONTROL(CheckBox_ShippingModeReadOnly);
QV_CONTROL(GroupBoxCanValues);
QV_CONTROL(Edit400hASR1Bit0FD);
QV_CONTROL(Edit400hASR1Bit1NED);
QV_CONTROL(Edit400hASR1Bit2CHGFET);
QV_CONTROL(Edit400hASR1Bit3DSGFET);
QV_CONTROL(Edit400hASR1Bit5DSG);
QV_CONTROL(Edit400hASR1Bit6FC);
QV_CONTROL(Edit400hASR1Bit7CHG);
QV_CONTROL(Edit400hASR1Bit15CHVPA);
QV_CONTROL(Edit400hASR1Bit8TCA);
QV_CONTROL(Edit400hASR1Bit9COV);
QV_CONTROL(Edit400hASR1Bit10CUV);
QV_CONTROL(Edit400hASR1Bit11OCC);
QV_CONTROL(Edit400hASR1Bit12SCD);
QV_CONTROL(Edit400hASR1Bit13OCD);
QV_CONTROL(Edit400hASR1Bit14TDA);
QV_CONTROL(Edit400hCRBit0Approval);
QV_CONTROL(Edit400hCRBit1CReduct1);
QV_CONTROL(Edit400hCRBit2CReduct2);
QV_CONTROL(Edit400hCRBit14SW1);
QV_CONTROL(Edit400hCRBit15SW2);
QV_CONTROL(LabelCan1);
QV_CONTROL(Edit401hPackVoltage);
QV_CONTROL(LabelCan2);
QV_CONTROL(Edit401hPackCurrent);
QV_CONTROL(LabelCan3);
QV_CONTROL(Edit402hRBtyWhCapPercentage);
QV_CONTROL(LabelCan4);
QV_CONTROL(Edit402hABtyWhCapmWh);
QV_CONTROL(LabelCan5);
QV_CONTROL(Edit_403h_RSOH);
QV_CONTROL(LabelCan6);
QV_CONTROL(Edit403hBatteryPackSOHmWh);
QV_CONTROL(LabelCan7);
QV_CONTROL(EditDesignVoltage);
QV_CONTROL(LabelCan8);
QV_CONTROL(EditDesignCapacity);
QV_CONTROL(LabelCan9);
QV_CONTROL(EditFullChargeCapacity);
QV_CONTROL(LabelCan10);
QV_CONTROL(EditRemainCapacity);
QV_CONTROL(LabelCan11);
QV_CONTROL(EditTotalChargeCapcity);
QV_CONTROL(LabelCan12);
QV_CONTROL(EditCycleCount);
QV_CONTROL(LabelCan13);
QV_CONTROL(Edit_Battery_Capacity_BRCAN);
QV_CONTROL(LabelCan14);
QV_CONTROL(Edit_BRCAN_SOH_Capacity);
QV_CONTROL(LabelCan15);
QV_CONTROL(Edit_BRCAN_SOC_Wh);

// The page TabSheet_CAN_ENG and what stands on it.
QV_CONTROL(TabSheet_CAN_ENG);
QV_CONTROL(GroupBoxCanPackInfo);
QV_CONTROL(LabelModelName);
QV_CONTROL(Edit_ModelName);
QV_CONTROL(LabelCanFWVer);
QV_CONTROL(Edit_FWVer);
QV_CONTROL(LabelCanCellSeries);
QV_CONTROL(Edit_CellSeries);
QV_CONTROL(LabelCanCellParallel);
QV_CONTROL(Edit_CellParallel);
QV_CONTROL(LabelCanCycleCount);
QV_CONTROL(Edit_CycleCount);
QV_CONTROL(LabelCanRTC);
QV_CONTROL(Edit_RTC);
QV_CONTROL(SpdBtn_DEEP_SLEEP_SET);
QV_CONTROL(BitBtn_EEP_READ);
QV_CONTROL(RadioGroupBarcodeSelect);
QV_CONTROL(GroupBox34);
QV_CONTROL(Edit_Barcode32_RW);
QV_CONTROL(SpdBtn_Barcode32_R);
QV_CONTROL(SpdBtn_Barcode32_W);
QV_CONTROL(Label_Barcode_R);
QV_CONTROL(Label_Barcode_W);
QV_CONTROL(GroupBoxRTCCalibration);
QV_CONTROL(LabelRTCCalibration);
QV_CONTROL(Edit_RTC_CAN_ENG);
QV_CONTROL(SpdBtn_RTC_SET);
QV_CONTROL(SpeedButton_RTC_GET);
QV_CONTROL(GroupBoxEEPEraseCAN);
QV_CONTROL(CheckBox1);
QV_CONTROL(SpdBtn_EEP_Erase_Set);
QV_CONTROL(LabelEPPEraseStatus);
QV_CONTROL(GroupBoxShippingModeQV);
QV_CONTROL(CheckBox_SippingMode);
QV_CONTROL(SpdBtn_ShippingModeSet);
QV_CONTROL(SpdBtn_ShippingModeGet);
QV_CONTROL(Label_GET_SET_RXCMD);
QV_CONTROL(Label_GET_RXDAT);

// The page TabSheetKL and what stands on it.
QV_CONTROL(TabSheetKL);
QV_CONTROL(GroupBoxPackSN);
QV_CONTROL(EditPDSN);
QV_CONTROL(SpdBtnSNSet);
QV_CONTROL(SpdBtnSNGet);
QV_CONTROL(GroupBoxMaxChgKL);
QV_CONTROL(LabelDsgProtectionCurrent);
QV_CONTROL(EditDsgProtectionCurrent);
QV_CONTROL(LabelDsgProtectionDelay);
QV_CONTROL(EditDsgProtectionDelay);
QV_CONTROL(LabelChgProtectionCurrent);
QV_CONTROL(EditChgProtectionCurrent);
QV_CONTROL(LabelChgProtectionDelay);
QV_CONTROL(EditChgProtectionDelay);

// The page TabSheetST and what stands on it.
QV_CONTROL(TabSheetST);
QV_CONTROL(GroupBoxMaxChgST);
QV_CONTROL(LabelMaxChgCurrent);
QV_CONTROL(EditMaxChgCurrent);
QV_CONTROL(LabelMaxChgCounter);
QV_CONTROL(EditMaxChgCounter);
QV_CONTROL(LabelMaxChgTemperature);
QV_CONTROL(EditMaxChgTemperature);
QV_CONTROL(LabelMaxChgCapacitymAh);
QV_CONTROL(EditMaxChgCapacitymAh);

// The page TabSheetVM and what stands on it.
QV_CONTROL(TabSheetVM);
QV_CONTROL(GroupBoxDiagnosisReport);
QV_CONTROL(BitBtnPrintReportRead);
QV_CONTROL(BitBtnPrint);
QV_CONTROL(ProgressBarEEPRead);

// The page TabSheetEEP and what stands on it.
QV_CONTROL(TabSheetEEP);
QV_CONTROL(BitBtnSafeInfoRead);
QV_CONTROL(BitBtn_EEP_PARA);

// The page TabSheetQV and what stands on it.
QV_CONTROL(TabSheetQV);
QV_CONTROL(GroupBoxPower);
QV_CONTROL(SpdBtnSleep);
QV_CONTROL(SpdBtnDeepSleep);
QV_CONTROL(GroupBoxBarcodeENG);
QV_CONTROL(LabelBarcode32);
QV_CONTROL(EditBarCode32);
QV_CONTROL(BitBtnBarCodeRead);
QV_CONTROL(BitBtnBarCodeWrite);
QV_CONTROL(GroupBoxRTCENG);
QV_CONTROL(EditRTCENG);
QV_CONTROL(SpdBtnRTCSet);
QV_CONTROL(SpdBtnRTCGet);
QV_CONTROL(GroupBoxShippingModeENG);
QV_CONTROL(LabelShippingModeENG);
QV_CONTROL(CheckBoxSippingMode);
QV_CONTROL(SpdBtnShippingModeSet);
QV_CONTROL(SpdBtnShippingModeGet);
QV_CONTROL(GroupBoxEEPROMErase);
QV_CONTROL(LabelEEPROMErase);
QV_CONTROL(CheckBoxEEPROMErase);
QV_CONTROL(SpdBtnEEPROMEraseSet);
QV_CONTROL(GroupBoxCellR);
QV_CONTROL(LabelCellRUnit1);
QV_CONTROL(LabelCellRUnit2);
QV_CONTROL(BitBtnCellRPrarmLoad);
QV_CONTROL(BitBtnRCellmOmhAdjust);
QV_CONTROL(BitBtnWCellmOmhAdjust);
QV_CONTROL(CheckBoxCellRAllRead);
QV_CONTROL(CheckBoxCellRAllWrite);
QV_CONTROL(LabelCellR1);
QV_CONTROL(EditCellR1);
QV_CONTROL(LabelCellR2);
QV_CONTROL(EditCellR2);
QV_CONTROL(LabelCellR3);
QV_CONTROL(EditCellR3);
QV_CONTROL(LabelCellR4);
QV_CONTROL(EditCellR4);
QV_CONTROL(LabelCellR5);
QV_CONTROL(EditCellR5);
QV_CONTROL(LabelCellR6);
QV_CONTROL(EditCellR6);
QV_CONTROL(LabelCellR7);
QV_CONTROL(EditCellR7);
QV_CONTROL(LabelCellR8);
QV_CONTROL(EditCellR8);
QV_CONTROL(LabelCellR9);
QV_CONTROL(EditCellR9);
QV_CONTROL(LabelCellR10);
QV_CONTROL(EditCellR10);
QV_CONTROL(LabelCellR11);
QV_CONTROL(EditCellR11);
QV_CONTROL(LabelCellR12);
QV_CONTROL(EditCellR12);
QV_CONTROL(LabelCellR13);
QV_CONTROL(EditCellR13);

// The page TabSheetENG2 and what stands on it.
QV_CONTROL(TabSheetENG2);
QV_CONTROL(GroupBoxVESK);
QV_CONTROL(Chart1);
QV_CONTROL(LabelChgSW);
QV_CONTROL(SpdBtnChgSW);
QV_CONTROL(LabelDsgSW);
QV_CONTROL(SpdBtnDsgSW);
QV_CONTROL(LabelBtyVolt);
QV_CONTROL(SpdBtnBtyVoltRead);
QV_CONTROL(EditBtyVolt);
QV_CONTROL(LabelDsgVolt);
QV_CONTROL(SpdBtnDsgVoltRead);
QV_CONTROL(EditDsgVolt);
QV_CONTROL(LabelChgVolt);
QV_CONTROL(SpdBtnChgVoltRead);
QV_CONTROL(EditChgVolt);
QV_CONTROL(LabelSOCVolt);
QV_CONTROL(SpdBtnSOCRead);
QV_CONTROL(EditSOCVolt);

// The page TabSheet_EVT and what stands on it.
QV_CONTROL(TabSheet_EVT);
QV_CONTROL(SpdBtn_EVTTest);
QV_CONTROL(LabelEVTT1);
QV_CONTROL(EditEVTT1);
QV_CONTROL(LabelEVTT1Unit);
QV_CONTROL(GroupBoxEVTInput);
QV_CONTROL(LabelEVTWorkNumber);
QV_CONTROL(EditEVTWorkNumber);
QV_CONTROL(LabelEVTBarcode);
QV_CONTROL(Edit_EVTBarcode);
QV_CONTROL(LabelEVTDevTestNumber);
QV_CONTROL(EditEVTDevTestNumberInput);
QV_CONTROL(LabelTestResult);
QV_CONTROL(PanelTestResult);
QV_CONTROL(MemoLog);

// The names code counts through.
// The thirteen cell boxes and the gauges that follow them.
inline constexpr std::array<Control, 13> kCellEdits = {EditVCell1,  EditVCell2,  EditVCell3, EditVCell4, EditVCell5,
                                                       EditVCell6,  EditVCell7,  EditVCell8, EditVCell9, EditVCell10,
                                                       EditVCell11, EditVCell12, EditVCell13};
inline constexpr std::array<Control, 13> kCellGauges = {
    CGaugeVCell1, CGaugeVCell2, CGaugeVCell3,  CGaugeVCell4,  CGaugeVCell5,  CGaugeVCell6, CGaugeVCell7,
    CGaugeVCell8, CGaugeVCell9, CGaugeVCell10, CGaugeVCell11, CGaugeVCell12, CGaugeVCell13};
inline constexpr std::array<Control, 13> kCellLabels = {
    LabelVCell1, LabelVCell2, LabelVCell3,  LabelVCell4,  LabelVCell5,  LabelVCell6, LabelVCell7,
    LabelVCell8, LabelVCell9, LabelVCell10, LabelVCell11, LabelVCell12, LabelVCell13};
// The protection-flag boxes, in the order the status group shows them.
inline constexpr std::array<Control, 6> kFlagEdits = {EditOVF, EditUVF, EditOCF, EditSCF, EditOTF, EditUTF};

// The cell resistance boxes of the ENG page.
inline constexpr std::array<Control, 13> kCellResistanceEdits = {
    EditCellR1, EditCellR2, EditCellR3,  EditCellR4,  EditCellR5,  EditCellR6, EditCellR7,
    EditCellR8, EditCellR9, EditCellR10, EditCellR11, EditCellR12, EditCellR13};

}  // namespace qv::mainwindow::ctl
