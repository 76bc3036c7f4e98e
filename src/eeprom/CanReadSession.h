#pragma once
// The adapter for a CAN read of the EEPROM record and parameter windows. While a CAN run (monitoring) holds the
// adapter, the read borrows its session and leaves it open; only when no run holds the adapter does the read
// open it for itself and close it again. An open that fails (another session holds the handle, no adapter)
// leaves the handle as it was, and the read then sends nothing.

#include "link/Link.h"

namespace qv::eeprom {

class CanReadSession {
 public:
  explicit CanReadSession(link::Link& link);
  ~CanReadSession();
  CanReadSession(const CanReadSession&) = delete;
  CanReadSession& operator=(const CanReadSession&) = delete;

  // The read may use the adapter.
  bool usable() const { return borrowed_ || opened_; }
  // The adapter is still the one the read started with: a borrowed run may end, and the next session's handle
  // is not this read's to write on.
  bool alive() const;
  // The read opened the adapter itself.
  bool opened() const { return opened_; }

 private:
  link::Link& link_;
  bool borrowed_ = false;
  bool opened_ = false;
  platform::FtHandle handle_ = 0;
};

}  // namespace qv::eeprom
