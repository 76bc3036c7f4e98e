#include "mainwindow/MainFormPages.h"

#include "mainwindow/MainFormControls.h"

namespace qv::mainwindow {
namespace {

constexpr Control kCellRLabels[13] = {ctl::LabelCellR1, ctl::LabelCellR2,  ctl::LabelCellR3,  ctl::LabelCellR4,
                                      ctl::LabelCellR5, ctl::LabelCellR6,  ctl::LabelCellR7,  ctl::LabelCellR8,
                                      ctl::LabelCellR9, ctl::LabelCellR10, ctl::LabelCellR11, ctl::LabelCellR12,
                                      ctl::LabelCellR13};
constexpr const char* kCellRCaptions[13] = {"CellR1", "CellR2", "CellR3",  "CellR4",  "CellR5",  "CellR6", "CellR7",
                                            "CellR8", "CellR9", "CellR10", "CellR11", "CellR12", "CellR13"};

}  // namespace

// The UR service commands. Their buttons wait for the configuration dialog's Yes.
std::vector<ControlDef> MainFormTabSheetQV() {
  constexpr Control p = ctl::TabSheetQV;
  constexpr Control power = ctl::GroupBoxPower;
  constexpr Control barcode = ctl::GroupBoxBarcodeENG;
  constexpr Control rtc = ctl::GroupBoxRTCENG;
  constexpr Control shipping = ctl::GroupBoxShippingModeENG;
  constexpr Control erase = ctl::GroupBoxEEPROMErase;
  constexpr Control cellR = ctl::GroupBoxCellR;
  std::vector<ControlDef> c = {
      page(p, "ENG"),
      place(Kind::GroupBox, power, p, 6, 4, 360, 52, " Power "),
      place(Kind::Button, ctl::SpdBtnSleep, power, 10, 20, 90, 26, "Sleep").disable(),
      place(Kind::Button, ctl::SpdBtnDeepSleep, power, 108, 20, 90, 26, "Deep Sleep").disable(),

      place(Kind::GroupBox, barcode, p, 6, 60, 360, 52, " Barcode "),
      place(Kind::Label, ctl::LabelBarcode32, barcode, 10, 26, 62, 14, "Barcode32"),
      place(Kind::Edit, ctl::EditBarCode32, barcode, 74, 22, 166, 20),
      place(Kind::Button, ctl::BitBtnBarCodeRead, barcode, 246, 20, 50, 24, "Read").disable(),
      place(Kind::Button, ctl::BitBtnBarCodeWrite, barcode, 302, 20, 50, 24, "Write").disable(),

      place(Kind::GroupBox, rtc, p, 6, 116, 360, 52, " RTC ").hide(),
      place(Kind::Edit, ctl::EditRTCENG, rtc, 10, 20, 200, 20).locked(),
      place(Kind::Button, ctl::SpdBtnRTCSet, rtc, 246, 18, 50, 24, "Set").disable(),
      place(Kind::Button, ctl::SpdBtnRTCGet, rtc, 302, 18, 50, 24, "Get").disable(),

      place(Kind::GroupBox, shipping, p, 6, 172, 360, 50, ""),
      place(Kind::Label, ctl::LabelShippingModeENG, shipping, 10, 22, 90, 14, "Shipping Mode"),
      place(Kind::CheckBox, ctl::CheckBoxSippingMode, shipping, 104, 20, 130, 18),
      place(Kind::Button, ctl::SpdBtnShippingModeSet, shipping, 246, 16, 50, 24, "Set").disable(),
      place(Kind::Button, ctl::SpdBtnShippingModeGet, shipping, 302, 16, 50, 24, "Get").disable(),

      place(Kind::GroupBox, erase, p, 6, 226, 360, 50, ""),
      place(Kind::Label, ctl::LabelEEPROMErase, erase, 10, 22, 90, 14, "EEPROM Erase"),
      place(Kind::CheckBox, ctl::CheckBoxEEPROMErase, erase, 104, 20, 130, 18),
      place(Kind::Button, ctl::SpdBtnEEPROMEraseSet, erase, 246, 16, 50, 24, "Set").disable(),

      place(Kind::GroupBox, cellR, p, 374, 4, 360, 272, "Cell R Adjust"),
      place(Kind::Label, ctl::LabelCellRUnit1, cellR, 120, 16, 40, 14, "mOhm"),
      place(Kind::Label, ctl::LabelCellRUnit2, cellR, 290, 16, 40, 14, "mOhm"),
      place(Kind::Button, ctl::BitBtnCellRPrarmLoad, cellR, 10, 236, 70, 26, "Load").disable(),
      place(Kind::Button, ctl::BitBtnRCellmOmhAdjust, cellR, 90, 236, 70, 26, "Read").disable(),
      place(Kind::Button, ctl::BitBtnWCellmOmhAdjust, cellR, 170, 236, 70, 26, "Write").disable(),
      place(Kind::CheckBox, ctl::CheckBoxCellRAllRead, cellR, 250, 232, 100, 16, "CellRAllRead").hide(),
      place(Kind::CheckBox, ctl::CheckBoxCellRAllWrite, cellR, 250, 250, 100, 16, "CellRAllWrite").hide(),
  };
  for (int i = 0; i < 13; ++i) {
    const int x = 10 + (i / 7) * 170, y = 34 + (i % 7) * 28;
    c.push_back(place(Kind::Label, kCellRLabels[i], cellR, x, y + 4, 50, 14, kCellRCaptions[i]));
    c.push_back(place(Kind::Edit, ctl::kCellResistanceEdits[i], cellR, x + 54, y, 90, 20, "0"));
  }
  return c;
}

}  // namespace qv::mainwindow
