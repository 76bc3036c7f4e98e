#pragma once
// The display: the windows of the program, built from their forms, mirroring the control store. A change to the
// store, from any thread, asks for one flush on the GUI thread; the flush shows every control changed since the
// last one. So a burst of writes from a worker costs one flush, and no widget is touched off the GUI thread.

#include "platform/Controls.h"
#include "platform/Form.h"
#include "platform/gui/FormWindow.h"

#include <QObject>

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qv::gui {

class Display : public QObject, public Controls::Observer {
 public:
  explicit Display(Controls& controls);
  ~Display() override;
  Display(const Display&) = delete;
  Display& operator=(const Display&) = delete;

  // Builds the window of a form whose controls are declared in the store, showing their present state.
  FormWindow& addWindow(FormLogic& logic);
  FormWindow* window(Control form) const;

  // Shows what changed since the last flush. GUI thread; the display calls it itself after each change.
  void flush();

  void controlsChanged() override;

 private:
  Controls& controls_;
  std::vector<std::unique_ptr<FormWindow>> windows_;
  std::unordered_map<std::string, FormWindow*> windowOfKey_;
};

}  // namespace qv::gui
