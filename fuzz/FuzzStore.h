#pragma once
// A store that holds the main window's and the configuration dialog's controls, as the program declares them:
// the store keeps only declared controls, so a parser's writes must have somewhere to land.

#include "link/Unit2ConfigForm.h"
#include "mainwindow/Unit1MainForm.h"
#include "platform/Controls.h"
#include "platform/Form.h"

namespace qv::fuzz {

inline void declareMainWindows(Controls& c) {
  for (const FormDef& form : {mainwindow::MainFormDef(), link::ConfigFormDef()}) {
    c.declare(form.name, {});
    for (const ControlDef& d : form.controls) c.declare(d.name, {});
  }
}

class FuzzStore : public Controls {
 public:
  FuzzStore() { declareMainWindows(*this); }
};

}  // namespace qv::fuzz
