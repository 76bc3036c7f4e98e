#pragma once
// Stores holding every control of the main window and of the configuration dialog in the default state: the
// names the windows declare, none of their design-time texts or colours. Decoder and exchange tests start from
// them, as from a store nothing has written yet.

#include "link/Unit2ConfigForm.h"
#include "mainwindow/Unit1MainForm.h"
#include "platform/Controls.h"
#include "platform/Form.h"

namespace qv::test {

inline void declareBare(Controls& c, const FormDef& form) {
  c.declare(form.name, {});
  for (const ControlDef& d : form.controls) c.declare(d.name, {});
}

inline void declareBareMainWindows(Controls& c) {
  declareBare(c, mainwindow::MainFormDef());
  declareBare(c, link::ConfigFormDef());
}

class MainWindowStore : public Controls {
 public:
  MainWindowStore() { declareBareMainWindows(*this); }
};

}  // namespace qv::test
