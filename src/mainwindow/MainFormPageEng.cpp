#include "mainwindow/MainFormPages.h"

namespace qv::mainwindow {
namespace {

constexpr const char* kCellRLabels[13] = {"LabelCellR1",  "LabelCellR2",  "LabelCellR3", "LabelCellR4",
                                          "LabelCellR5",  "LabelCellR6",  "LabelCellR7", "LabelCellR8",
                                          "LabelCellR9",  "LabelCellR10", "LabelCellR11", "LabelCellR12",
                                          "LabelCellR13"};
constexpr const char* kCellRCaptions[13] = {"CellR1", "CellR2",  "CellR3",  "CellR4",  "CellR5",  "CellR6", "CellR7",
                                            "CellR8", "CellR9", "CellR10", "CellR11", "CellR12", "CellR13"};

}  // namespace

// The UR service commands. Their buttons wait for the configuration dialog's Yes.
std::vector<ControlDef> MainFormPageEng() {
  constexpr const char* p = "TabSheetQV";
  constexpr const char* power = "GroupBoxPower";
  constexpr const char* barcode = "GroupBoxBarcodeENG";
  constexpr const char* rtc = "GroupBoxRTCENG";
  constexpr const char* shipping = "GroupBoxShippingModeENG";
  constexpr const char* erase = "GroupBoxEEPROMErase";
  constexpr const char* cellR = "GroupBoxCellR";
  std::vector<ControlDef> c = {
      page(p, "ENG"),
      place(Kind::GroupBox, power, p, 6, 4, 360, 52, " Power "),
      place(Kind::Button, "SpdBtnSleep", power, 10, 20, 90, 26, "Sleep").disable(),
      place(Kind::Button, "SpdBtnDeepSleep", power, 108, 20, 90, 26, "Deep Sleep").disable(),

      place(Kind::GroupBox, barcode, p, 6, 60, 360, 52, " Barcode "),
      place(Kind::Label, "LabelBarcode32", barcode, 10, 26, 62, 14, "Barcode32"),
      place(Kind::Edit, "EditBarCode32", barcode, 74, 22, 166, 20),
      place(Kind::Button, "BitBtnBarCodeRead", barcode, 246, 20, 50, 24, "Read").disable(),
      place(Kind::Button, "BitBtnBarCodeWrite", barcode, 302, 20, 50, 24, "Write").disable(),

      place(Kind::GroupBox, rtc, p, 6, 116, 360, 52, " RTC ").hide(),
      place(Kind::Edit, "EditRTCENG", rtc, 10, 20, 200, 20).locked(),
      place(Kind::Button, "SpdBtnRTCSet", rtc, 246, 18, 50, 24, "Set").disable(),
      place(Kind::Button, "SpdBtnRTCGet", rtc, 302, 18, 50, 24, "Get").disable(),

      place(Kind::GroupBox, shipping, p, 6, 172, 360, 50, ""),
      place(Kind::Label, "LabelShippingModeENG", shipping, 10, 22, 90, 14, "Shipping Mode"),
      place(Kind::CheckBox, "CheckBoxSippingMode", shipping, 104, 20, 130, 18),
      place(Kind::Button, "SpdBtnShippingModeSet", shipping, 246, 16, 50, 24, "Set").disable(),
      place(Kind::Button, "SpdBtnShippingModeGet", shipping, 302, 16, 50, 24, "Get").disable(),

      place(Kind::GroupBox, erase, p, 6, 226, 360, 50, ""),
      place(Kind::Label, "LabelEEPROMErase", erase, 10, 22, 90, 14, "EEPROM Erase"),
      place(Kind::CheckBox, "CheckBoxEEPROMErase", erase, 104, 20, 130, 18),
      place(Kind::Button, "SpdBtnEEPROMEraseSet", erase, 246, 16, 50, 24, "Set").disable(),

      place(Kind::GroupBox, cellR, p, 374, 4, 360, 272, "Cell R Adjust"),
      place(Kind::Label, "LabelCellRUnit1", cellR, 120, 16, 40, 14, "mOhm"),
      place(Kind::Label, "LabelCellRUnit2", cellR, 290, 16, 40, 14, "mOhm"),
      place(Kind::Button, kBitBtnCellRPrarmLoad, cellR, 10, 236, 70, 26, "Load").disable(),
      place(Kind::Button, kBitBtnRCellmOmhAdjust, cellR, 90, 236, 70, 26, "Read").disable(),
      place(Kind::Button, kBitBtnWCellmOmhAdjust, cellR, 170, 236, 70, 26, "Write").disable(),
      place(Kind::CheckBox, "CheckBoxCellRAllRead", cellR, 250, 232, 100, 16, "CellRAllRead").hide(),
      place(Kind::CheckBox, "CheckBoxCellRAllWrite", cellR, 250, 250, 100, 16, "CellRAllWrite").hide(),
  };
  for (int i = 0; i < 13; ++i) {
    const int x = 10 + (i / 7) * 170, y = 34 + (i % 7) * 28;
    c.push_back(place(Kind::Label, kCellRLabels[i], cellR, x, y + 4, 50, 14, kCellRCaptions[i]));
    c.push_back(place(Kind::Edit, kCellREdits[i], cellR, x + 54, y, 90, 20, "0"));
  }
  return c;
}

}  // namespace qv::mainwindow
