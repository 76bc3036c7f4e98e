#pragma once
// The shape every UR command has, and every reader that opens the adapter for its own exchange (the EEPROM and
// report reads, the last-charge search, the fixture): a starter on the GUI thread, a worker that opens the
// adapter, exchanges under the exchange lock, closes it and gives the buttons back.
//
// The starter switches the command's own buttons and the command set off in the store before the worker
// starts, so the second click of a double click finds them off and starts nothing. While the worker runs, RUN,
// " Configure ", EXIT and every other UR command stay off; no other session can take the adapter. Every wait of
// the exchange runs on the worker: the GUI thread never waits for the pack.

#include "link/Link.h"

#include <functional>
#include <string>
#include <vector>

namespace qv::commands {

// What differs from one command to the next around its exchange.
struct UrCommandShape {
  const char* worker = "";       // the worker's name
  std::vector<Control> buttons;  // the command's own buttons, off while it runs
  int sleepBeforeOpenMs = 0;
  bool closeAfterFailedOpen = false;  // the close's wait runs also when the open failed
  int sleepAfterCloseMs = 0;
  bool stopTextAtEnd = false;         // panel 0 of the status bar reads "  SYS : < STOP >" at the end
  std::vector<Control> onAtEnd = {};  // switched on after the command's buttons, before the command set
};

// The exchange proper, on the open adapter, with the exchange lock held.
using UrExchange = std::function<void(link::Link& link)>;

class UrCommandRunner {
 public:
  // How a worker is started: services.workers unless a test gives another. Throws when no thread can be made.
  using StartWorker = std::function<void(std::string name, std::function<void()> fn)>;

  explicit UrCommandRunner(link::Link& link, StartWorker start = {});

  // The starter, on the GUI thread. Nothing is started while one of the command's buttons is off (a command
  // of the set is running, or monitoring holds the adapter). Otherwise the command's buttons and the command
  // set go off and worker runs on a new thread; when no thread can be made, every control the starter took is
  // given back as it was. True when the worker started.
  bool Start(const UrCommandShape& shape, std::function<void()> worker);

  // The worker's steps, on the worker: buttons and command set off, the wait before the open, OpenAdapter, the
  // exchange when the open succeeded, CloseAdapter of its own session and the wait after it, then the buttons
  // and the command set back ("PDF" stays off) and, where the shape says, the stopped state in panel 0. The
  // clean-up runs whatever the exchange does, an exception included. True when the adapter was opened.
  bool Run(const UrCommandShape& shape, const UrExchange& exchange);

  link::Link& link() { return link_; }

 private:
  link::Link& link_;
  Controls& controls_;
  StartWorker start_;
};

}  // namespace qv::commands
