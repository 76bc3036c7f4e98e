#pragma once
// Gives the program an executable of another folder and name while the object lives, and the earlier one back on
// every way out of the test.

#include "platform/ExeInfo.h"

namespace qv::test {

class ScopedExeInfo {
 public:
  explicit ScopedExeInfo(const platform::ExeInfo& info) : previous_(platform::exeInfo()) { platform::setExeInfo(info); }
  ~ScopedExeInfo() { platform::setExeInfo(previous_); }
  ScopedExeInfo(const ScopedExeInfo&) = delete;
  ScopedExeInfo& operator=(const ScopedExeInfo&) = delete;

 private:
  platform::ExeInfo previous_;
};

}  // namespace qv::test
