#pragma once
// A window described as data, the way a form designer stores it: its controls with their kind, parent, place
// and design-time state. The logic declares a form's controls into the store from it (no display needed); the
// display builds the window's widgets from the same description and wires their events to the form's handlers.

#include "platform/Controls.h"

#include <string_view>
#include <utility>
#include <vector>

namespace qv {

enum class Kind {
  // clang-format off
  Form,         // the window itself (its entry is the form's name)
  Panel,
  GroupBox,
  Label,
  Edit,
  Button,       // speed buttons and bit buttons alike
  CheckBox,
  RadioGroup,   // items: the radio buttons; itemIndex: the chosen one
  ComboBox,     // a drop-down list
  ProgressBar,  // horizontal unless taller than wide; color: the bar's colour (a system colour: the default)
  Gauge,        // a vertical bar gauge; color: the bar's colour
  Shape,        // a circle used as a lamp
  StatusBar,    // items: the panels' texts; panelWidths: their widths
  PageControl,  // itemIndex: the selected tab, counted over the tabs shown (hidden pages have no tab)
  TabSheet,     // visible: whether its tab is shown
  Memo,         // items: its lines
  Image,        // picture: a resource path
  Chart,        // a bar chart; caption: its title; items: its bars, "value" or "value/colour" (0x00BBGGRR)
  Timer,        // enabled: running; interval in ms
  // clang-format on
};

// Colours a control gets when its definition names none.
constexpr Colour kKindDefault = 0xFD000000;

struct ControlDef {
  // The control's store key and widget name, a constant of the form's name list. A control that shares its
  // name with a control of another window is keyed "Window.Control"; its widget is still named "Control".
  Control name;
  Kind kind = Kind::Label;
  Control parent = kFormItself;
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  // clang-format off
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
  int fontSize = 0;              // pixel height; 0: the window's font
  bool bold = false;
  bool readOnly = false;         // edits and memos
  int maxLength = 0;             // edits: the characters the operator can type at most; 0: no limit
  bool digitsOnly = false;       // edits: the operator can type digits alone

  // Design-time settings in one expression: place(...).hide().disable().
  ControlDef& hide() { visible = false; return *this; }
  ControlDef& disable() { enabled = false; return *this; }
  ControlDef& tick() { checked = true; return *this; }
  ControlDef& locked() { readOnly = true; return *this; }
  ControlDef& atMost(int characters) { maxLength = characters; return *this; }
  ControlDef& digits() { digitsOnly = true; return *this; }
  ControlDef& paint(Colour back) { color = back; return *this; }
  ControlDef& ink(Colour font) { fontColor = font; return *this; }
  ControlDef& font(int pixels, bool isBold = false) { fontSize = pixels; bold = isBold; return *this; }
  ControlDef& list(const char* lines, int index = -1) { items = lines; itemIndex = index; return *this; }
  ControlDef& span(int low, int high) { minimum = low; maximum = high; return *this; }
  ControlDef& cols(int n) { columns = n; return *this; }
  ControlDef& tip(const char* text) { hint = text; return *this; }
  ControlDef& image(const char* resource) { picture = resource; return *this; }
  ControlDef& panels(const char* widths) { panelWidths = widths; return *this; }
  ControlDef& every(int ms) { interval = ms; return *this; }
  // clang-format on
};

// A control of a kind at its place (left, top, width, height) with its caption.
inline ControlDef place(Kind kind, Control name, Control parent, int left, int top, int width, int height,
                        const char* caption = "") {
  ControlDef d;
  d.name = name;
  d.kind = kind;
  d.parent = parent;
  d.left = left;
  d.top = top;
  d.width = width;
  d.height = height;
  d.caption = caption;
  return d;
}

struct FormDef {
  Control name;  // the window variable: ctl::FormMain, link::ctl::FormConfig, ...
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
const ControlDef* findControl(const FormDef& form, Control name);

// Events that a window hands to its form's logic, on the GUI thread.
enum class UiEvent {
  // clang-format off
  Click,       // a button, check box or radio group was clicked
  Change,      // the operator changed a value (the new value is already in the store)
  MouseEnter,
  MouseLeave,
  Timer,       // a timer fired
  Show,        // the window became visible
  Close,       // the operator closed the window
  // clang-format on
};

class FormLogic {
 public:
  virtual ~FormLogic() = default;
  virtual const FormDef& form() const = 0;
  virtual void onEvent(Control control, UiEvent event) = 0;
};

// One line of a window's event table: the handler of an event of a control.
template <typename Logic>
struct EventRoute {
  Control control;
  UiEvent event;
  void (Logic::*handler)();
};

// Runs the handler the table routes the event to; false when it routes it nowhere.
template <typename Logic, typename Routes>
bool routeEvent(Logic& logic, const Routes& routes, Control control, UiEvent event) {
  for (const EventRoute<Logic>& r : routes) {
    if (r.event == event && r.control == control) {
      (logic.*r.handler)();
      return true;
    }
  }
  return false;
}

// A window's logic that owns its description and declares it into the store when it is made.
class DeclaredForm : public FormLogic {
 public:
  DeclaredForm(Controls& controls, FormDef form) : form_(std::move(form)) { declareForm(controls, form_); }
  const FormDef& form() const override { return form_; }

 private:
  const FormDef form_;
};

}  // namespace qv
