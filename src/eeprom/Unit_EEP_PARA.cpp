#include "eeprom/Unit_EEP_PARA.h"

#include "eeprom/CanReadSession.h"
#include "eeprom/EEPParaFormControls.h"
#include "link/CanLayer.h"
#include "link/PackMessages.h"
#include "platform/Time.h"

#include <cstdio>
#include <exception>

namespace qv::eeprom {
namespace {

// The toolkit's "money green".
constexpr Colour kMoneyGreen = 0xC0DCC0;

constexpr int kAnswerPolls = 3000;
constexpr uint8_t kLastIndex = 0xFF;
constexpr uint8_t kLastTableIndex = 24;

struct ParameterRow {
  int index;
  Control edit;
  Control label;
  const char* caption;
  bool labelHidden;
  Control unit;
  const char* unitCaption;
  int group;    // 1 to 4
  int row;      // 1 to 8
  Control set;  // none: the row has no "Set" button
};

// The rows by request index: edit box, label (hidden or not), unit, group and row (1-based), "Set" button.
constexpr ParameterRow kParameterRows[] = {
    // clang-format off
    {0, paraCtl::Edit_DF_MIN_NUMBER, paraCtl::Label_DF_MIN_NUMBER, "DF_MIN_NUMBER", true, paraCtl::LabelUnit_DF_MIN_NUMBER, "", 1, 1, Control{}},
    {1, paraCtl::Edit_WakeUpLineType, paraCtl::Label_WakeUpLineType, "Wake Up Line Type", false, paraCtl::LabelUnit_WakeUpLineType, "", 1, 2, paraCtl::SpdBtnSet_WakeUpLineType},
    {2, paraCtl::Edit_WakeUpLineTimeOn, paraCtl::Label_WakeUpLineTimeOn, "Wake Up Line Time On", false, paraCtl::LabelUnit_WakeUpLineTimeOn, "sec", 1, 3, paraCtl::SpdBtnSet_WakeUpLineTimeOn},
    {3, paraCtl::Edit_CycleCount, paraCtl::Label_CycleCount, "Cycle Count", false, paraCtl::LabelUnit_CycleCount, "", 1, 4, paraCtl::SpdBtnSet_CycleCount},
    {4, paraCtl::Edit_WakeUpLineTimeShort, paraCtl::Label_WakeUpLineTimeShort, "Wake Up Line Time Short", false, paraCtl::LabelUnit_WakeUpLineTimeShort, "sec", 1, 5, paraCtl::SpdBtnSet_WakeUpLineTimeShort},
    {5, paraCtl::Edit_WakeUpLineTimeLong, paraCtl::Label_WakeUpLineTimeLong, "WakeUpLineTimeLong", false, paraCtl::LabelUnit_WakeUpLineTimeLong, "sec", 1, 6, paraCtl::SpdBtnSet_WakeUpLineTimeLong},
    {6, paraCtl::Edit_CANBUSComTimeout, paraCtl::Label_CANBUSComTimeout, "CAN BUS Com Timeout", false, paraCtl::LabelUnit_CANBUSComTimeout, "sec", 1, 7, paraCtl::SpdBtnSet_CANBUSComTimeout},
    {7, paraCtl::Edit_ChargerDetectionLevel, paraCtl::Label_ChargerDetectionLevel, "Charger Detection Level", true, paraCtl::LabelUnit_ChargerDetectionLevel, "V", 1, 8, paraCtl::SpdBtnSet_ChargerDetectionLevel},
    {8, paraCtl::Edit_LEDButtonType, paraCtl::Label_LEDButtonType, "LED Button Type", true, paraCtl::LabelUnit_LEDButtonType, "", 2, 1, Control{}},
    {9, paraCtl::Edit_LEDButtonTimeShort, paraCtl::Label_LEDButtonTimeShort, "LED Button Time Short", false, paraCtl::LabelUnit_LEDButtonTimeShort, "sec", 2, 2, paraCtl::SpdBtnSet_LEDButtonTimeShort},
    {10, paraCtl::Edit_LEDButtonTimeLong, paraCtl::Label_LEDButtonTimeLong, "LED Button Time Long", false, paraCtl::LabelUnit_LEDButtonTimeLong, "sec", 2, 3, paraCtl::SpdBtnSet_LEDButtonTimeLong},
    {11, paraCtl::Edit_CANBus0xA5Msg, paraCtl::Label_CANBus0xA5Msg, "CAN Bus 0xA5 Msg", false, paraCtl::LabelUnit_CANBus0xA5Msg, "", 2, 4, paraCtl::SpdBtnSet_CANBus0xA5Msg},
    {12, paraCtl::Edit_BatteryMode, paraCtl::Label_BatteryMode, "Battery Mode", false, paraCtl::LabelUnit_BatteryMode, "", 2, 5, paraCtl::SpdBtnSet_BatteryMode},
    {13, paraCtl::Edit_SleepTimer, paraCtl::Label_SleepTimer, "Sleep Timer", false, paraCtl::LabelUnit_SleepTimer, "min", 2, 6, paraCtl::SpdBtnSet_SleepTimer},
    {14, paraCtl::Edit_SleepDischargeCurrent, paraCtl::Label_SleepDischargeCurrent, "Sleep Discharge Current", false, paraCtl::LabelUnit_SleepDischargeCurrent, "mA", 2, 7, paraCtl::SpdBtnSet_SleepDischargeCurrent},
    {15, paraCtl::Edit_SleepChargeCurrent, paraCtl::Label_SleepChargeCurrent, "Sleep Charge Current", true, paraCtl::LabelUnit_SleepChargeCurrent, "mA", 2, 8, paraCtl::SpdBtnSet_SleepChargeCurrent},
    {16, paraCtl::Edit_FWFuseDischargeCurrent, paraCtl::Label_FWFuseDischargeCurrent, "FW Fuse Discharge Current", true, paraCtl::LabelUnit_FWFuseDischargeCurrent, "A", 3, 1, paraCtl::SpdBtnSet_FWFuseDischargeCurrent},
    {17, paraCtl::Edit_FWFuseChargeCurrent, paraCtl::Label_FWFuseChargeCurrent, "FW Fuse Charge Current", false, paraCtl::LabelUnit_FWFuseChargeCurrent, "A", 3, 2, paraCtl::SpdBtnSet_FWFuseChargeCurrent},
    {18, paraCtl::Edit_BatteryFWRegister, paraCtl::Label_BatteryFWRegister, "Battery FW Register", false, paraCtl::LabelUnit_BatteryFWRegister, "", 3, 3, Control{}},
    {19, paraCtl::Edit_BatteryHWRegister, paraCtl::Label_BatteryHWRegister, "Battery HW Register", false, paraCtl::LabelUnit_BatteryHWRegister, "", 3, 4, Control{}},
    {20, paraCtl::Edit_MaxTemperatureInLife, paraCtl::Label_MaxTemperatureInLife, "MaxTemperature In Life", false, paraCtl::LabelUnit_MaxTemperatureInLife, "deg.C", 3, 5, Control{}},
    {21, paraCtl::Edit_MinTemperatureInLife, paraCtl::Label_MinTemperatureInLife, "MinTemperature In Life", false, paraCtl::LabelUnit_MinTemperatureInLife, "deg.C", 3, 6, Control{}},
    {22, paraCtl::Edit_NumOfChargingCycles, paraCtl::Label_NumOfChargingCycles, "Num Of Charging Cycles", false, paraCtl::LabelUnit_NumOfChargingCycles, "", 3, 7, Control{}},
    {23, paraCtl::Edit_ChargingMinutes, paraCtl::Label_ChargingMinutes, "Charging Minutes ", true, paraCtl::LabelUnit_ChargingMinutes, "min", 3, 8, Control{}},
    {24, paraCtl::Edit_SleepFuseCurrent, paraCtl::Label_SleepFuseCurrent, "Sleep Fuse Current", true, paraCtl::LabelUnit_SleepFuseCurrent, "mA", 4, 1, paraCtl::SpdBtnSet_SleepFuseCurrent},
    {25, paraCtl::Edit_ActiveSOCLevel, paraCtl::Label_ActiveSOCLevel, "Active SOC Level", false, paraCtl::LabelUnit_ActiveSOCLevel, "%", 4, 2, paraCtl::SpdBtnSet_ActiveSOCLevel},
    {255, paraCtl::Edit_DF_MAX_NUMBER, paraCtl::Label_DF_MAX_NUMBER, "DF_MAX_NUMBER", false, paraCtl::LabelUnit_DF_MAX_NUMBER, "", 4, 3, Control{}},
    // clang-format on
};

constexpr Control kGroups[] = {paraCtl::GroupBoxPara1, paraCtl::GroupBoxPara2, paraCtl::GroupBoxPara3,
                               paraCtl::GroupBoxPara4};

FormDef EEPParaFormDef() {
  constexpr int kGroupWidth = 366, kGroupHeight = 240, kRowHeight = 27;
  FormDef form;
  form.name = paraCtl::Form_EEP_PARA;
  form.caption = "EEPROM PARA";
  form.clientWidth = 760;
  form.clientHeight = 540;
  form.color = kMoneyGreen;
  form.stayOnTop = true;
  for (int g = 0; g < 4; ++g) {
    form.controls.push_back(place(Kind::GroupBox, kGroups[g], kFormItself, 8 + (g % 2) * (kGroupWidth + 12),
                                  8 + (g / 2) * (kGroupHeight + 8), kGroupWidth, kGroupHeight));
  }
  for (const ParameterRow& r : kParameterRows) {
    const Control group = kGroups[r.group - 1];
    const int top = 20 + (r.row - 1) * kRowHeight;
    ControlDef label = place(Kind::Label, r.label, group, 10, top + 3, 160, 16, r.caption);
    if (r.labelHidden) label.hide();
    form.controls.push_back(label);
    form.controls.push_back(place(Kind::Edit, r.edit, group, 174, top, 80, 21));
    form.controls.push_back(place(Kind::Label, r.unit, group, 260, top + 3, 40, 16, r.unitCaption));
    if (!r.set.none()) form.controls.push_back(place(Kind::Button, r.set, group, 304, top, 52, 22, "Set").disable());
  }
  form.controls.push_back(
      place(Kind::Button, paraCtl::SpdBtn_EEPPara_GetAll, kFormItself, 8, 504, 100, 28, "Get All").hide().disable());
  form.controls.push_back(
      place(Kind::Timer, paraCtl::Timer_EEP_PARA_READ, kFormItself, 0, 0, 0, 0).every(50).disable());
  return form;
}

}  // namespace

TForm_EEP_PARA::TForm_EEP_PARA(platform::Services& services, link::Link& link)
    : DeclaredForm(services.controls, EEPParaFormDef()),
      services_(services),
      controls_(services.controls),
      link_(link) {}

Control TForm_EEP_PARA::ParameterBox(uint8_t index) {
  for (const ParameterRow& r : kParameterRows) {
    if (r.index == index) return r.edit;
  }
  return {};
}

void TForm_EEP_PARA::onEvent(Control control, UiEvent event) {
  static constexpr EventRoute<TForm_EEP_PARA> kRoutes[] = {
      {paraCtl::SpdBtn_EEPPara_GetAll, UiEvent::Click, &TForm_EEP_PARA::SpdBtn_EEPPara_GetAllClick},
      {paraCtl::Timer_EEP_PARA_READ, UiEvent::Timer, &TForm_EEP_PARA::Timer_EEP_PARA_READTimer},
  };
  routeEvent(*this, kRoutes, control, event);
}

void TForm_EEP_PARA::SpdBtn_EEPPara_GetAllClick() {
  if (!controls_.enabled(paraCtl::SpdBtn_EEPPara_GetAll)) return;
  controls_.setEnabled(paraCtl::SpdBtn_EEPPara_GetAll, false);
  try {
    services_.workers.start("eep-para-read", [this] {
      ReadParametersThread();
      controls_.setEnabled(paraCtl::SpdBtn_EEPPara_GetAll, true);
    });
  } catch (const std::exception&) {
    controls_.setEnabled(paraCtl::SpdBtn_EEPPara_GetAll, true);
  }
}

void TForm_EEP_PARA::ReadParametersThread() {
  try {
    const CanReadSession session(link_);
    if (!session.usable()) return;
    ownSession_.store(session.opened());
    if (SendKeepAlive300h) SendKeepAlive300h();
    {
      const auto exchange = link_.exchange();
      link::CanReceiveDispatch(link_);
    }
    platform::sleepMs(1);
    // No frame is read between the requests: the answers come in through whatever else reads the adapter.
    for (int i = 0; i <= kLastTableIndex + 1; ++i) {
      if (!session.alive()) break;
      const auto index = static_cast<uint8_t>(i <= kLastTableIndex ? i : kLastIndex);
      {
        const auto exchange = link_.exchange();
        link::CanSendWords(link_, link::kCanParameterRequest, uint32_t{kAnswerType} | uint32_t{index} << 8, 0);
      }
      DispatchParameterReply(kAnswerType, index);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "EEPROM parameter read ended by an exception: %s\n", e.what());
  }
  ownSession_.store(false);
}

bool TForm_EEP_PARA::DispatchParameterReply(uint8_t type, uint8_t index) {
  switch (type) {
    case 0x90: ShowParameter(index); break;
    case 0x91: break;  // IgnoreParameterReply91
    case 0x92: ShowParameterValue(index); break;
    default: break;
  }
  return false;
}

TForm_EEP_PARA::Answer TForm_EEP_PARA::answer(uint8_t index) const {
  std::lock_guard lock(mutex_);
  return answers_[index];
}

bool TForm_EEP_PARA::ShowParameter(uint8_t index) {
  const Control box = ParameterBox(index);
  if (box.none()) return false;
  for (int poll = 0; poll < kAnswerPolls; ++poll) {
    const Answer a = answer(index);
    if (a.ready) {
      controls_.setText(box, QString::number(a.value));
      return true;
    }
    platform::sleepMs(1);
  }
  return false;
}

bool TForm_EEP_PARA::ShowParameterValue(uint8_t index) {
  if (index > 1) return false;
  return ShowParameter(index);
}

void TForm_EEP_PARA::StoreParameterAnswer(uint8_t index, uint8_t value) {
  {
    std::lock_guard lock(mutex_);
    answers_[index] = {true, value};
  }
  const Control box = ParameterBox(index);
  if (!box.none()) controls_.setText(box, QString::number(value));
}

void TForm_EEP_PARA::Timer_EEP_PARA_READTimer() {
  // Only a CAN session's adapter: a UR session's bytes are not this timer's to take.
  if (!link_.canSessionHeld() && !ownSession_.load()) return;
  // One receive at a time; a tick while one runs is skipped.
  if (timerReading_.exchange(true)) return;
  try {
    services_.workers.start("eep-para-timer", [this] {
      {
        const auto exchange = link_.exchange();
        link::CanReceiveDispatchAll(link_);
      }
      timerReading_.store(false);
    });
  } catch (const std::exception&) {
    timerReading_.store(false);
  }
}

}  // namespace qv::eeprom
