#include "mainwindow/MainFormPages.h"

#include "mainwindow/MainFormControls.h"

namespace qv::mainwindow {
namespace {

struct StatusBox {
  Control name;
  const char* text;
};

// The status register boxes, in the order they stand; each carries its meaning as its text.
constexpr StatusBox kAsr1[] = {
    {ctl::Edit400hASR1Bit0FD, "fully discharge"},
    {ctl::Edit400hASR1Bit1NED, "nearly discharged"},
    {ctl::Edit400hASR1Bit2CHGFET, "chargefet on"},
    {ctl::Edit400hASR1Bit3DSGFET, "dischargefet on"},
    {ctl::Edit400hASR1Bit5DSG, "discharging"},
    {ctl::Edit400hASR1Bit6FC, "fully charged"},
    {ctl::Edit400hASR1Bit7CHG, "charging"},
    {ctl::Edit400hASR1Bit15CHVPA, "charger detected"},
    {ctl::Edit400hASR1Bit8TCA, "temperature chging error"},
    {ctl::Edit400hASR1Bit9COV, "cell over voltage"},
    {ctl::Edit400hASR1Bit10CUV, "cell under voltage"},
    {ctl::Edit400hASR1Bit11OCC, "over current charge"},
    {ctl::Edit400hASR1Bit12SCD, "short circuit"},
    {ctl::Edit400hASR1Bit13OCD, "over current discharge"},
    {ctl::Edit400hASR1Bit14TDA, "temperature dshing error"},
};
constexpr StatusBox kCr[] = {
    {ctl::Edit400hCRBit0Approval, "Approval"},          {ctl::Edit400hCRBit1CReduct1, "Curent reduction1"},
    {ctl::Edit400hCRBit2CReduct2, "Curent reduction2"}, {ctl::Edit400hCRBit14SW1, "Shutdown warning1"},
    {ctl::Edit400hCRBit15SW2, "Shutdown warning2"},
};

struct ValueRow {
  const char* label;
  Control name;
};

// The values, in two columns of eight rows: the broadcasts first, then the answers and the energies.
constexpr ValueRow kValues[] = {
    {"Pack Voltage (mV)", ctl::Edit401hPackVoltage},
    {"Pack Current (mA)", ctl::Edit401hPackCurrent},
    {"RSOC (%)", ctl::Edit402hRBtyWhCapPercentage},
    {"Capacity (mWh)", ctl::Edit402hABtyWhCapmWh},
    {"RSOH (%)", ctl::Edit_403h_RSOH},
    {"SOH Capacity (mWh)", ctl::Edit403hBatteryPackSOHmWh},
    {"Design Voltage (mV)", ctl::EditDesignVoltage},
    {"Design Capacity (mAh)", ctl::EditDesignCapacity},
    {"Full Charge Cap (mAh)", ctl::EditFullChargeCapacity},
    {"Remain Capacity (mAh)", ctl::EditRemainCapacity},
    {"Total Charge (mAh)", ctl::EditTotalChargeCapcity},
    {"Cycle Count", ctl::EditCycleCount},
    {"Battery Capacity (Wh)", ctl::Edit_Battery_Capacity_BRCAN},
    {"SOH Capacity (Wh)", ctl::Edit_BRCAN_SOH_Capacity},
    {"SOC Energy (Wh)", ctl::Edit_BRCAN_SOC_Wh},
};

}  // namespace

// The CAN live view.
std::vector<ControlDef> MainFormTabSheet_BRCAN() {
  constexpr Control asr1 = ctl::GroupBoxASR1;
  constexpr Control cr = ctl::GroupBoxCR;
  constexpr Control values = ctl::GroupBoxCanValues;
  constexpr Control shipping = ctl::GroupBoxShippingModeCAN;
  std::vector<ControlDef> c = {
      page(ctl::TabSheet_BRCAN, "CAN"),
      place(Kind::GroupBox, asr1, ctl::TabSheet_BRCAN, 6, 4, 326, 256, " ASR1 Register "),
      place(Kind::Edit, ctl::Edit400hASR1Bit4, asr1, 8, 22, 152, 20, "reserved").paint(colour::Silver).locked().hide(),
      place(Kind::GroupBox, cr, ctl::TabSheet_BRCAN, 338, 4, 140, 160, " Command Register "),
      place(Kind::GroupBox, shipping, ctl::TabSheet_BRCAN, 338, 168, 140, 92, "Shipping Mode").hide().disable(),
      place(Kind::Label, ctl::Label_ShippingMode_RX_CMD, shipping, 10, 20, 120, 14, "CMD : "),
      place(Kind::Label, ctl::Label_ShippingMode_RX_DAT, shipping, 10, 40, 120, 14, "DAT :"),
      place(Kind::CheckBox, ctl::CheckBox_ShippingModeReadOnly, shipping, 10, 60, 120, 18, "Disabled"),
      place(Kind::GroupBox, values, ctl::TabSheet_BRCAN, 484, 4, 250, 256, " Pack "),
  };
  int i = 0;
  for (const StatusBox& box : kAsr1) {
    c.push_back(place(Kind::Edit, box.name, asr1, 8 + (i / 8) * 158, 22 + (i % 8) * 28, 152, 20, box.text)
                    .paint(colour::Silver)
                    .locked());
    ++i;
  }
  i = 0;
  for (const StatusBox& box : kCr) {
    c.push_back(place(Kind::Edit, box.name, cr, 8, 22 + i * 26, 124, 20, box.text).paint(colour::Silver).locked());
    ++i;
  }
  i = 0;
  static constexpr Control kLabelNames[] = {ctl::LabelCan1,  ctl::LabelCan2,  ctl::LabelCan3,  ctl::LabelCan4,
                                            ctl::LabelCan5,  ctl::LabelCan6,  ctl::LabelCan7,  ctl::LabelCan8,
                                            ctl::LabelCan9,  ctl::LabelCan10, ctl::LabelCan11, ctl::LabelCan12,
                                            ctl::LabelCan13, ctl::LabelCan14, ctl::LabelCan15};
  for (const ValueRow& row : kValues) {
    const int x = 8 + (i / 8) * 120, y = 20 + (i % 8) * 29;
    c.push_back(place(Kind::Label, kLabelNames[i], values, x, y, 116, 12, row.label).font(10));
    c.push_back(place(Kind::Edit, row.name, values, x, y + 12, 112, 17).locked());
    ++i;
  }
  return c;
}

}  // namespace qv::mainwindow
