#include "mainwindow/MainFormPages.h"

namespace qv::mainwindow {
namespace {

struct StatusBox {
  const char* name;
  const char* text;
};

// The status register boxes, in the order they stand; each carries its meaning as its text.
constexpr StatusBox kAsr1[] = {
    {"Edit400hASR1Bit0FD", "fully discharge"},
    {"Edit400hASR1Bit1NED", "nearly discharged"},
    {"Edit400hASR1Bit2CHGFET", "chargefet on"},
    {"Edit400hASR1Bit3DSGFET", "dischargefet on"},
    {"Edit400hASR1Bit5DSG", "discharging"},
    {"Edit400hASR1Bit6FC", "fully charged"},
    {"Edit400hASR1Bit7CHG", "charging"},
    {"Edit400hASR1Bit15CHVPA", "charger detected"},
    {"Edit400hASR1Bit8TCA", "temperature chging error"},
    {"Edit400hASR1Bit9COV", "cell over voltage"},
    {"Edit400hASR1Bit10CUV", "cell under voltage"},
    {"Edit400hASR1Bit11OCC", "over current charge"},
    {"Edit400hASR1Bit12SCD", "short circuit"},
    {"Edit400hASR1Bit13OCD", "over current discharge"},
    {"Edit400hASR1Bit14TDA", "temperature dshing error"},
};
constexpr StatusBox kCr[] = {
    {"Edit400hCRBit0Approval", "Approval"},
    {"Edit400hCRBit1CReduct1", "Curent reduction1"},
    {"Edit400hCRBit2CReduct2", "Curent reduction2"},
    {"Edit400hCRBit14SW1", "Shutdown warning1"},
    {"Edit400hCRBit15SW2", "Shutdown warning2"},
};

struct ValueRow {
  const char* label;
  const char* name;
};

// The values, in two columns of eight rows: the broadcasts first, then the answers and the energies.
constexpr ValueRow kValues[] = {
    {"Pack Voltage (mV)", "Edit401hPackVoltage"},
    {"Pack Current (mA)", "Edit401hPackCurrent"},
    {"RSOC (%)", "Edit402hRBtyWhCapPercentage"},
    {"Capacity (mWh)", "Edit402hABtyWhCapmWh"},
    {"RSOH (%)", "Edit_403h_RSOH"},
    {"SOH Capacity (mWh)", "Edit403hBatteryPackSOHmWh"},
    {"Design Voltage (mV)", "EditDesignVoltage"},
    {"Design Capacity (mAh)", "EditDesignCapacity"},
    {"Full Charge Cap (mAh)", "EditFullChargeCapacity"},
    {"Remain Capacity (mAh)", "EditRemainCapacity"},
    {"Total Charge (mAh)", "EditTotalChargeCapcity"},
    {"Cycle Count", "EditCycleCount"},
    {"Battery Capacity (Wh)", "Edit_Battery_Capacity_BRCAN"},
    {"SOH Capacity (Wh)", "Edit_BRCAN_SOH_Capacity"},
    {"SOC Energy (Wh)", "Edit_BRCAN_SOC_Wh"},
};

}  // namespace

// The CAN live view.
std::vector<ControlDef> MainFormPageCan() {
  constexpr const char* asr1 = "GroupBoxASR1";
  constexpr const char* cr = "GroupBoxCR";
  constexpr const char* values = "GroupBoxCanValues";
  constexpr const char* shipping = "GroupBoxShippingModeCAN";
  std::vector<ControlDef> c = {
      page("TabSheet_BRCAN", "CAN"),
      place(Kind::GroupBox, asr1, "TabSheet_BRCAN", 6, 4, 326, 256, " ASR1 Register "),
      place(Kind::Edit, "Edit400hASR1Bit4", asr1, 8, 22, 152, 20, "reserved").paint(colour::Silver).locked().hide(),
      place(Kind::GroupBox, cr, "TabSheet_BRCAN", 338, 4, 140, 160, " Command Register "),
      place(Kind::GroupBox, shipping, "TabSheet_BRCAN", 338, 168, 140, 92, "Shipping Mode").hide().disable(),
      place(Kind::Label, "Label_ShippingMode_RX_CMD", shipping, 10, 20, 120, 14, "CMD : "),
      place(Kind::Label, "Label_ShippingMode_RX_DAT", shipping, 10, 40, 120, 14, "DAT :"),
      place(Kind::CheckBox, "CheckBox_ShippingModeReadOnly", shipping, 10, 60, 120, 18, "Disabled"),
      place(Kind::GroupBox, values, "TabSheet_BRCAN", 484, 4, 250, 256, " Pack "),
  };
  int i = 0;
  for (const StatusBox& box : kAsr1) {
    c.push_back(place(Kind::Edit, box.name, asr1, 8 + (i / 8) * 158, 22 + (i % 8) * 28, 152, 20, box.text)
                    .paint(colour::Silver).locked());
    ++i;
  }
  i = 0;
  for (const StatusBox& box : kCr) {
    c.push_back(place(Kind::Edit, box.name, cr, 8, 22 + i * 26, 124, 20, box.text).paint(colour::Silver).locked());
    ++i;
  }
  i = 0;
  static constexpr const char* kLabelNames[] = {
      "LabelCan1", "LabelCan2",  "LabelCan3",  "LabelCan4",  "LabelCan5",  "LabelCan6",  "LabelCan7", "LabelCan8",
      "LabelCan9", "LabelCan10", "LabelCan11", "LabelCan12", "LabelCan13", "LabelCan14", "LabelCan15"};
  for (const ValueRow& row : kValues) {
    const int x = 8 + (i / 8) * 120, y = 20 + (i % 8) * 29;
    c.push_back(place(Kind::Label, kLabelNames[i], values, x, y, 116, 12, row.label).font(10));
    c.push_back(place(Kind::Edit, row.name, values, x, y + 12, 112, 17).locked());
    ++i;
  }
  return c;
}

}  // namespace qv::mainwindow
