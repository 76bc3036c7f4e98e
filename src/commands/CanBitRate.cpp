#include "commands/CanBitRate.h"

#include "link/CanFrames.h"
#include "platform/Time.h"

#include "mainwindow/MainFormControls.h"

namespace qv::commands {

bool CheckCanBitRate(link::Link& link, uint32_t wantedRate) {
  Controls& c = link.controls;
  const QString rate = QString::number(wantedRate);
  c.setPanel(mainwindow::ctl::StatusBarView, 2,
             QStringLiteral(" Baud Rate  : ") + rate + QStringLiteral(" Checking ... "));
  for (int pass = 0; pass < 3; ++pass) {
    uint32_t read = 0;
    if (link::CanQueryBitRate(link, &read) == 1 && read == wantedRate &&
        (read == 125000 || read == 250000 || read == 500000)) {
      c.setPanel(mainwindow::ctl::StatusBarView, 2, QStringLiteral(" Baud Rate  : < %1 bps >").arg(read));
      return true;
    }
    c.setPanel(mainwindow::ctl::StatusBarView, 2,
               QStringLiteral(" Baud Rate  : ") + rate + QStringLiteral(" Setting ... "));
    platform::sleepMs(100);
    link::CanSetBitRate(link, wantedRate);
    platform::sleepMs(100);
  }
  return false;
}

}  // namespace qv::commands
