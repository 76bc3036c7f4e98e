#pragma once
// For as long as it lives, the calling thread (and every thread it starts meanwhile, which inherits its rights)
// opens files as an ordinary user does: a file's mode holds, and so does a terminal's exclusive mode (TIOCEXCL).
// A test run as root (as CI runs) needs it to see what a user without the right sees; for an ordinary user it
// changes nothing. Only the effective rights are lowered, so they come back afterwards.

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>
#include <initializer_list>

namespace qv::test {

class ScopedOrdinaryUser {
 public:
  ScopedOrdinaryUser() {
    header_.version = _LINUX_CAPABILITY_VERSION_3;
    header_.pid = 0;
    if (syscall(SYS_capget, &header_, saved_) != 0) return;
    __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
    for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER, CAP_SYS_ADMIN}) {
      lowered[cap / 32].effective &= ~(uint32_t{1} << (cap % 32));
    }
    lowered_ = syscall(SYS_capset, &header_, lowered) == 0;
  }
  ~ScopedOrdinaryUser() {
    if (lowered_) syscall(SYS_capset, &header_, saved_);
  }
  ScopedOrdinaryUser(const ScopedOrdinaryUser&) = delete;
  ScopedOrdinaryUser& operator=(const ScopedOrdinaryUser&) = delete;

 private:
  __user_cap_header_struct header_{};
  __user_cap_data_struct saved_[2] = {};
  bool lowered_ = false;
};

}  // namespace qv::test
