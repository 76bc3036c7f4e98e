#pragma once
// The EEPROM parameter window: every control it has, declared once. Code, tests and the form's description name its
// controls by these constants only; the store holds no other name of this window. The rows' labels, unit labels
// and "Set" buttons have no names of their own in the window's design; they are named here after their row.

#include "platform/ControlName.h"

namespace qv::eeprom::paraCtl {

// The window itself: its text is the caption, visible means shown.
QV_CONTROL(Form_EEP_PARA);

QV_CONTROL(GroupBoxPara1);
QV_CONTROL(GroupBoxPara2);
QV_CONTROL(GroupBoxPara3);
QV_CONTROL(GroupBoxPara4);

// The edit box of each parameter, by the index of its request.
QV_CONTROL(Edit_DF_MIN_NUMBER);
QV_CONTROL(Edit_WakeUpLineType);
QV_CONTROL(Edit_WakeUpLineTimeOn);
// The main window has a box of this name too.
QV_CONTROL_KEYED(Edit_CycleCount, "Form_EEP_PARA.Edit_CycleCount");
QV_CONTROL(Edit_WakeUpLineTimeShort);
QV_CONTROL(Edit_WakeUpLineTimeLong);
QV_CONTROL(Edit_CANBUSComTimeout);
QV_CONTROL(Edit_ChargerDetectionLevel);
QV_CONTROL(Edit_LEDButtonType);
QV_CONTROL(Edit_LEDButtonTimeShort);
QV_CONTROL(Edit_LEDButtonTimeLong);
QV_CONTROL(Edit_CANBus0xA5Msg);
QV_CONTROL(Edit_BatteryMode);
QV_CONTROL(Edit_SleepTimer);
QV_CONTROL(Edit_SleepDischargeCurrent);
QV_CONTROL(Edit_SleepChargeCurrent);
QV_CONTROL(Edit_FWFuseDischargeCurrent);
QV_CONTROL(Edit_FWFuseChargeCurrent);
QV_CONTROL(Edit_BatteryFWRegister);
QV_CONTROL(Edit_BatteryHWRegister);
QV_CONTROL(Edit_MaxTemperatureInLife);
QV_CONTROL(Edit_MinTemperatureInLife);
QV_CONTROL(Edit_NumOfChargingCycles);
QV_CONTROL(Edit_ChargingMinutes);
QV_CONTROL(Edit_SleepFuseCurrent);
QV_CONTROL(Edit_ActiveSOCLevel);
QV_CONTROL(Edit_DF_MAX_NUMBER);

// Each row's label, unit label and "Set" button.
QV_CONTROL(Label_DF_MIN_NUMBER);
QV_CONTROL(LabelUnit_DF_MIN_NUMBER);
QV_CONTROL(Label_WakeUpLineType);
QV_CONTROL(LabelUnit_WakeUpLineType);
QV_CONTROL(SpdBtnSet_WakeUpLineType);
QV_CONTROL(Label_WakeUpLineTimeOn);
QV_CONTROL(LabelUnit_WakeUpLineTimeOn);
QV_CONTROL(SpdBtnSet_WakeUpLineTimeOn);
QV_CONTROL(Label_CycleCount);
QV_CONTROL(LabelUnit_CycleCount);
QV_CONTROL(SpdBtnSet_CycleCount);
QV_CONTROL(Label_WakeUpLineTimeShort);
QV_CONTROL(LabelUnit_WakeUpLineTimeShort);
QV_CONTROL(SpdBtnSet_WakeUpLineTimeShort);
QV_CONTROL(Label_WakeUpLineTimeLong);
QV_CONTROL(LabelUnit_WakeUpLineTimeLong);
QV_CONTROL(SpdBtnSet_WakeUpLineTimeLong);
QV_CONTROL(Label_CANBUSComTimeout);
QV_CONTROL(LabelUnit_CANBUSComTimeout);
QV_CONTROL(SpdBtnSet_CANBUSComTimeout);
QV_CONTROL(Label_ChargerDetectionLevel);
QV_CONTROL(LabelUnit_ChargerDetectionLevel);
QV_CONTROL(SpdBtnSet_ChargerDetectionLevel);
QV_CONTROL(Label_LEDButtonType);
QV_CONTROL(LabelUnit_LEDButtonType);
QV_CONTROL(Label_LEDButtonTimeShort);
QV_CONTROL(LabelUnit_LEDButtonTimeShort);
QV_CONTROL(SpdBtnSet_LEDButtonTimeShort);
QV_CONTROL(Label_LEDButtonTimeLong);
QV_CONTROL(LabelUnit_LEDButtonTimeLong);
QV_CONTROL(SpdBtnSet_LEDButtonTimeLong);
QV_CONTROL(Label_CANBus0xA5Msg);
QV_CONTROL(LabelUnit_CANBus0xA5Msg);
QV_CONTROL(SpdBtnSet_CANBus0xA5Msg);
QV_CONTROL(Label_BatteryMode);
QV_CONTROL(LabelUnit_BatteryMode);
QV_CONTROL(SpdBtnSet_BatteryMode);
QV_CONTROL(Label_SleepTimer);
QV_CONTROL(LabelUnit_SleepTimer);
QV_CONTROL(SpdBtnSet_SleepTimer);
QV_CONTROL(Label_SleepDischargeCurrent);
QV_CONTROL(LabelUnit_SleepDischargeCurrent);
QV_CONTROL(SpdBtnSet_SleepDischargeCurrent);
QV_CONTROL(Label_SleepChargeCurrent);
QV_CONTROL(LabelUnit_SleepChargeCurrent);
QV_CONTROL(SpdBtnSet_SleepChargeCurrent);
QV_CONTROL(Label_FWFuseDischargeCurrent);
QV_CONTROL(LabelUnit_FWFuseDischargeCurrent);
QV_CONTROL(SpdBtnSet_FWFuseDischargeCurrent);
QV_CONTROL(Label_FWFuseChargeCurrent);
QV_CONTROL(LabelUnit_FWFuseChargeCurrent);
QV_CONTROL(SpdBtnSet_FWFuseChargeCurrent);
QV_CONTROL(Label_BatteryFWRegister);
QV_CONTROL(LabelUnit_BatteryFWRegister);
QV_CONTROL(Label_BatteryHWRegister);
QV_CONTROL(LabelUnit_BatteryHWRegister);
QV_CONTROL(Label_MaxTemperatureInLife);
QV_CONTROL(LabelUnit_MaxTemperatureInLife);
QV_CONTROL(Label_MinTemperatureInLife);
QV_CONTROL(LabelUnit_MinTemperatureInLife);
QV_CONTROL(Label_NumOfChargingCycles);
QV_CONTROL(LabelUnit_NumOfChargingCycles);
QV_CONTROL(Label_ChargingMinutes);
QV_CONTROL(LabelUnit_ChargingMinutes);
QV_CONTROL(Label_SleepFuseCurrent);
QV_CONTROL(LabelUnit_SleepFuseCurrent);
QV_CONTROL(SpdBtnSet_SleepFuseCurrent);
QV_CONTROL(Label_ActiveSOCLevel);
QV_CONTROL(LabelUnit_ActiveSOCLevel);
QV_CONTROL(SpdBtnSet_ActiveSOCLevel);
QV_CONTROL(Label_DF_MAX_NUMBER);
QV_CONTROL(LabelUnit_DF_MAX_NUMBER);

QV_CONTROL(SpdBtn_EEPPara_GetAll);
QV_CONTROL(Timer_EEP_PARA_READ);

}  // namespace qv::eeprom::paraCtl
