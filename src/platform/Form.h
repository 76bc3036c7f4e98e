#pragma once
// A window described as data, the way a form designer stores it: its controls with their kind, parent, place
// and design-time state. The logic declares a form's controls into the store from it (no display needed); the
// display builds the window's widgets from the same description and wires their events to the form's handlers.

#include "platform/Controls.h"

#include <string_view>
#include <vector>

namespace qv {

enum class Kind {
  Form,         // the window itself (its entry is the form's name)
  Panel,
  GroupBox,
  Label,
  Edit,
  Button,       // speed buttons and bit buttons alike
  CheckBox,
  RadioGroup,   // items: the radio buttons; itemIndex: the chosen one
  ComboBox,     // a drop-down list
  ProgressBar,  // horizontal unless taller than wide
  Gauge,        // a vertical bar gauge
  Shape,        // a circle used as a lamp
  StatusBar,    // items: the panels' texts; panelWidths: their widths
  PageControl,  // itemIndex: the selected tab, counted over the tabs shown (hidden pages have no tab)
  TabSheet,     // visible: whether its tab is shown
  Memo,
  Image,        // picture: a resource path
  Chart,        // a bar chart
  Timer,        // enabled: running; interval in ms
};

// Colours a control gets when its definition names none.
constexpr Colour kKindDefault = 0xFD000000;

struct ControlDef {
  const char* name = "";
  Kind kind = Kind::Label;
  const char* parent = "";       // empty: the form
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  const char* caption = "";      // caption, or an edit's text
  Colour color = kKindDefault;
  Colour fontColor = kKindDefault;
  bool visible = true;
  bool enabled = true;
  bool checked = false;
  const char* items = "";        // items separated by '\n'
  int itemIndex = -1;
  int minimum = 0;
  int maximum = 100;
  int position = 0;
  int columns = 1;               // radio groups
  const char* hint = "";
  const char* picture = "";      // images: a Qt resource path
  const char* panelWidths = "";  // status bars: widths separated by ','
  int interval = 0;              // timers
  int fontSize = 0;              // 0: the window's font
  bool bold = false;
  bool readOnly = false;         // edits and memos
};

struct FormDef {
  const char* name = "";         // the window variable: "FormMain", "FormConfig", ...
  const char* caption = "";
  int clientWidth = 0;
  int clientHeight = 0;
  Colour color = colour::ButtonFace;
  bool stayOnTop = false;
  bool visible = false;
  std::vector<ControlDef> controls;
};

// Declares the form and every control of it with its design-time state.
void declareForm(Controls& controls, const FormDef& form);
const ControlDef* findControl(const FormDef& form, std::string_view name);

// Events that a window hands to its form's logic, on the GUI thread.
enum class UiEvent {
  Click,       // a button, check box or radio group was clicked
  Change,      // the operator changed a value (the new value is already in the store)
  MouseEnter,
  MouseLeave,
  Timer,       // a timer fired
  Show,        // the window became visible
  Close,       // the operator closed the window
};

class FormLogic {
 public:
  virtual ~FormLogic() = default;
  virtual const FormDef& form() const = 0;
  virtual void onEvent(std::string_view control, UiEvent event) = 0;
};

}  // namespace qv
