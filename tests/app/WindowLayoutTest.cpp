// The nine windows' layouts: every control lies inside what holds it, so none is cut off. A page holds what its
// page control shows of it, the tabs and the frame apart; a window holds its client area, but for the diagnosis
// report, a sheet of paper taller than its window, which scrolls.

#include "app/ServiceTool.h"
#include "eeprom/DiagnosisReportFormControls.h"
#include "platform/Form.h"
#include "sim/SimSetups.h"

#include <gtest/gtest.h>

#include <map>

namespace qv {
namespace {

// What a page control's frame and tabs take of its size.
constexpr int kPageFrameWidth = 4;
constexpr int kPageTabsHeight = 28;

TEST(WindowLayout, EveryControlLiesInsideWhatHoldsIt) {
  app::ServiceTool tool(sim::makeSimDriver(""));
  const std::vector<FormLogic*> windows = tool.windows();
  ASSERT_EQ(windows.size(), 9u);
  for (FormLogic* window : windows) {
    const FormDef& f = window->form();
    SCOPED_TRACE(f.name.key());
    std::map<Control, const ControlDef*> byName;
    for (const ControlDef& d : f.controls) byName[d.name] = &d;
    for (const ControlDef& d : f.controls) {
      if (d.kind == Kind::Timer || d.kind == Kind::TabSheet) continue;  // no place of their own
      int w = f.clientWidth, h = f.clientHeight;
      if (d.parent.none()) {
        if (f.name == eeprom::diagnosisReportCtl::FormDiagnosisReport) continue;
      } else {
        ASSERT_TRUE(byName.count(d.parent)) << d.name << " has no parent " << d.parent;
        const ControlDef* parent = byName.at(d.parent);
        if (parent->kind == Kind::TabSheet) {
          const ControlDef* pages = byName.at(parent->parent);
          w = pages->width - kPageFrameWidth;
          h = pages->height - kPageTabsHeight;
        } else {
          w = parent->width;
          h = parent->height;
        }
      }
      EXPECT_TRUE(d.left >= 0 && d.top >= 0 && d.left + d.width <= w && d.top + d.height <= h)
          << d.name << " at " << d.left << "," << d.top << " " << d.width << "x" << d.height << " in " << w << "x" << h;
    }
  }
}

}  // namespace
}  // namespace qv
