#pragma once
// The main window's description, one source per page so that each page's contents grow on their own. The
// pages' controls come in the order of the pages; each list starts with its page.

#include "platform/Form.h"

#include <array>
#include <vector>

namespace qv::mainwindow {

// The thirteen cell boxes and the gauges that follow them.
inline constexpr std::array<const char*, 13> kCellEdits = {
    "EditVCell1", "EditVCell2", "EditVCell3",  "EditVCell4",  "EditVCell5",  "EditVCell6", "EditVCell7",
    "EditVCell8", "EditVCell9", "EditVCell10", "EditVCell11", "EditVCell12", "EditVCell13"};
inline constexpr std::array<const char*, 13> kCellGauges = {
    "CGaugeVCell1", "CGaugeVCell2", "CGaugeVCell3",  "CGaugeVCell4",  "CGaugeVCell5",  "CGaugeVCell6", "CGaugeVCell7",
    "CGaugeVCell8", "CGaugeVCell9", "CGaugeVCell10", "CGaugeVCell11", "CGaugeVCell12", "CGaugeVCell13"};
inline constexpr std::array<const char*, 13> kCellLabels = {
    "LabelVCell1", "LabelVCell2", "LabelVCell3",  "LabelVCell4",  "LabelVCell5",  "LabelVCell6", "LabelVCell7",
    "LabelVCell8", "LabelVCell9", "LabelVCell10", "LabelVCell11", "LabelVCell12", "LabelVCell13"};
// The cell-resistance boxes of the "ENG" page, cell 1 first, and the page's three cell-resistance buttons.
inline constexpr std::array<const char*, 13> kCellREdits = {
    "EditCellR1", "EditCellR2", "EditCellR3",  "EditCellR4",  "EditCellR5",  "EditCellR6", "EditCellR7",
    "EditCellR8", "EditCellR9", "EditCellR10", "EditCellR11", "EditCellR12", "EditCellR13"};
inline constexpr const char* kBitBtnCellRPrarmLoad = "BitBtnCellRPrarmLoad";
inline constexpr const char* kBitBtnRCellmOmhAdjust = "BitBtnRCellmOmhAdjust";
inline constexpr const char* kBitBtnWCellmOmhAdjust = "BitBtnWCellmOmhAdjust";
// The protection-flag boxes, in the order the status group shows them.
inline constexpr std::array<const char*, 6> kFlagEdits = {"EditOVF", "EditUVF", "EditOCF",
                                                          "EditSCF", "EditOTF", "EditUTF"};

// The page area and what stands outside it: the buttons, the lamps, the cell, flag, charge and temperature
// groups and the status bar.
std::vector<ControlDef> MainFormFrame();

std::vector<ControlDef> MainFormPageUr();      // TabSheetUR96, "UR"
std::vector<ControlDef> MainFormPageCan();     // TabSheet_BRCAN, "CAN"
std::vector<ControlDef> MainFormPageCanEng();  // TabSheet_CAN_ENG, "QV"
std::vector<ControlDef> MainFormPageKl();      // TabSheetKL, "KL"
std::vector<ControlDef> MainFormPageSt();      // TabSheetST, "ST"
std::vector<ControlDef> MainFormPageDia();     // TabSheetVM, "DIA"
std::vector<ControlDef> MainFormPageEep();     // TabSheetEEP, "EEP"
std::vector<ControlDef> MainFormPageEng();     // TabSheetQV, "ENG"
std::vector<ControlDef> MainFormPageEng2();    // TabSheetENG2, "ENG2"
std::vector<ControlDef> MainFormPageEvt();     // TabSheet_EVT, "CANEVT"

// The page a tab sheet description opens with.
inline ControlDef page(const char* name, const char* caption) {
  return place(Kind::TabSheet, name, "PageControl2", 0, 0, 0, 0, caption);
}

}  // namespace qv::mainwindow
