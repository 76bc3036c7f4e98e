#include "platform/Form.h"

namespace qv {
namespace {

Colour defaultColor(Kind kind) {
  switch (kind) {
    case Kind::Edit:
    case Kind::Memo:
    case Kind::ComboBox: return colour::Window;
    case Kind::Shape: return colour::White;
    case Kind::Gauge: return colour::Lime;
    case Kind::Button:
    case Kind::StatusBar:
    case Kind::ProgressBar: return colour::ButtonFace;
    default: return colour::Parent;
  }
}

}  // namespace

void declareForm(Controls& controls, const FormDef& form) {
  ControlState window;
  window.text = QString::fromUtf8(form.caption);
  window.color = form.color;
  window.visible = form.visible;
  controls.declare(form.name, window);

  for (const ControlDef& def : form.controls) {
    ControlState s;
    s.text = QString::fromUtf8(def.caption);
    s.color = def.color == kKindDefault ? defaultColor(def.kind) : def.color;
    s.fontColor = def.fontColor == kKindDefault ? colour::WindowText : def.fontColor;
    s.visible = def.visible;
    s.enabled = def.enabled;
    s.checked = def.checked;
    if (def.items != nullptr && def.items[0] != '\0') s.items = QString::fromUtf8(def.items).split(QLatin1Char('\n'));
    s.itemIndex = def.itemIndex;
    s.minimum = def.minimum;
    s.maximum = def.maximum;
    s.position = def.position;
    s.hint = QString::fromUtf8(def.hint);
    s.fontSize = def.fontSize;
    if (def.kind == Kind::Edit) {
      s.maxLength = def.maxLength;
      s.digitsOnly = def.digitsOnly;
    }
    controls.declare(def.name, s);
  }
}

const ControlDef* findControl(const FormDef& form, Control name) {
  for (const ControlDef& def : form.controls) {
    if (name == def.name) return &def;
  }
  return nullptr;
}

}  // namespace qv
