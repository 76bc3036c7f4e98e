#pragma once
// The main window's description, one source per page so that each page's contents grow on their own. Each
// page's source and function are named after its tab sheet (MainFormTabSheetUR96.cpp holds TabSheetUR96). The
// pages' controls come in the order of the pages; each list starts with its page.

#include "mainwindow/MainFormControls.h"
#include "platform/Form.h"

#include <array>
#include <vector>

namespace qv::mainwindow {

// The page area and what stands outside it: the buttons, the lamps, the cell, flag, charge and temperature
// groups and the status bar.
std::vector<ControlDef> MainFormFrame();

std::vector<ControlDef> MainFormTabSheetUR96();      // "UR"
std::vector<ControlDef> MainFormTabSheet_BRCAN();    // "CAN"
std::vector<ControlDef> MainFormTabSheet_CAN_ENG();  // "QV"
std::vector<ControlDef> MainFormTabSheetKL();        // "KL"
std::vector<ControlDef> MainFormTabSheetST();        // "ST"
std::vector<ControlDef> MainFormTabSheetVM();        // "DIA"
std::vector<ControlDef> MainFormTabSheetEEP();       // "EEP"
std::vector<ControlDef> MainFormTabSheetQV();        // "ENG"
std::vector<ControlDef> MainFormTabSheetENG2();      // "ENG2"
std::vector<ControlDef> MainFormTabSheet_EVT();      // "CANEVT"

// The page a tab sheet description opens with.
inline ControlDef page(Control name, const char* caption) {
  return place(Kind::TabSheet, name, ctl::PageControl2, 0, 0, 0, 0, caption);
}

}  // namespace qv::mainwindow
