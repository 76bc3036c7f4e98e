#include "link/Link.h"

namespace qv::link {

Link::Link(platform::Services& s) : services(s), controls(s.controls), driver(s.driver()) {}

void Link::PurgeSerialHandle() {
  const platform::FtHandle h = AdapterHandle.load();
  if (h != 0) driver.PurgeRx(h);
}

void Link::BlinkTx() { controls.toggleLamp("Shape_TX", colour::Red); }
void Link::BlinkRx() { controls.toggleLamp("Shape_RX", colour::Lime); }

}  // namespace qv::link
