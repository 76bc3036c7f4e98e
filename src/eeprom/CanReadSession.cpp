#include "eeprom/CanReadSession.h"

namespace qv::eeprom {

CanReadSession::CanReadSession(link::Link& link) : link_(link) {
  borrowed_ = link_.canSessionHeld();
  if (!borrowed_) opened_ = link_.OpenAdapter();
  handle_ = link_.AdapterHandle.load();
}

CanReadSession::~CanReadSession() {
  // Only the handle this read opened: once it is gone, a later session's handle is not this read's to close.
  if (opened_ && link_.AdapterHandle.load() == handle_) link_.CloseAdapter();
}

bool CanReadSession::alive() const {
  if (!usable() || link_.AdapterHandle.load() != handle_) return false;
  return opened_ || link_.canSessionHeld();
}

}  // namespace qv::eeprom
