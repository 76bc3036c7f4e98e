#pragma once
// What the fuzz targets share: the input read from its front, a check that counts as a finding, and a driver
// whose reads hand out what the input scripts.

#include "platform/Driver.h"

#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

// A result that disagrees with the second reading: reported and aborted, so libFuzzer keeps the input.
#define QV_FUZZ_CHECK(condition)                                                               \
  do {                                                                                         \
    if (!(condition)) {                                                                        \
      std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      std::abort();                                                                            \
    }                                                                                          \
  } while (0)

namespace qv::fuzz {

// The target's own folder for the files it writes afresh for every input, made once, in memory where the machine
// has it (/dev/shm).
inline const QTemporaryDir& scratchFolder() {
  static const QTemporaryDir folder(QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm/qv-fuzz-XXXXXX")
                                                              : QDir::tempPath() + "/qv-fuzz-XXXXXX");
  QV_FUZZ_CHECK(folder.isValid());
  return folder;
}

// The same folder made the current one, for what the program reads and writes in the current folder.
inline const QTemporaryDir& enterScratchFolder() {
  static const bool entered = QDir::setCurrent(scratchFolder().path());
  QV_FUZZ_CHECK(entered);
  return scratchFolder();
}

// The input, taken from its front; past its end every byte reads as zero.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  size_t left() const { return size_ - pos_; }
  bool empty() const { return pos_ >= size_; }
  uint8_t u8() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint16_t u16() { return static_cast<uint16_t>(u8() << 8 | u8()); }
  uint32_t u32() { return uint32_t{u16()} << 16 | u16(); }
  // Up to n bytes, fewer at the end of the input.
  std::vector<uint8_t> bytes(size_t n) {
    n = std::min(n, left());
    std::vector<uint8_t> out(data_ + pos_, data_ + pos_ + n);
    pos_ += n;
    return out;
  }
  // Exactly n bytes, zeros past the end.
  template <size_t N>
  std::array<uint8_t, N> fixed() {
    std::array<uint8_t, N> out{};
    for (auto& b : out) b = u8();
    return out;
  }
  std::vector<uint8_t> rest() { return bytes(left()); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// The XOR of n bytes.
inline uint8_t xorOf(const uint8_t* p, size_t n) {
  uint8_t x = 0;
  for (size_t i = 0; i < n; ++i) x ^= p[i];
  return x;
}

// An adapter whose receive queue holds what the input put on the wire. Each read takes what the next scripted
// step allows (a byte limit and a status; a failed read still hands over what it took, as the worst driver
// would), or everything asked for with status 0 when nothing is scripted. A write may put an answer on the
// wire, as the adapter does for a query. With tellsQueue it says how many bytes wait, as the real driver
// does; without, it cannot tell, and the readers fall back on reads of their full size.
class ScriptedDriver : public platform::Driver {
 public:
  using FtStatus = platform::FtStatus;
  struct Step {
    uint32_t limit;
    FtStatus status;
  };

  std::deque<uint8_t> wire;
  std::deque<Step> script;
  std::vector<uint8_t> answerOnWrite;  // put on the wire by the next write
  bool tellsQueue = false;
  bool keepWrites = false;  // the bytes of every write kept in `written`
  std::vector<uint8_t> written;
  FtStatus writeStatus = platform::FT_OK;
  struct Done {
    uint32_t bytes;
    FtStatus status;
    uint32_t asked;
  };
  std::vector<Done> reads;  // what each read handed over, in order

  void reset() {
    wire.clear();
    script.clear();
    answerOnWrite.clear();
    tellsQueue = false;
    keepWrites = false;
    written.clear();
    writeStatus = platform::FT_OK;
    reads.clear();
  }
  void put(const std::vector<uint8_t>& bytes) { wire.insert(wire.end(), bytes.begin(), bytes.end()); }

  FtStatus CreateDeviceInfoList(uint32_t* n) override {
    *n = 0;
    return platform::FT_OK;
  }
  FtStatus GetDeviceInfoList(platform::AdapterListRecord*, uint32_t* n) override {
    *n = 0;
    return platform::FT_OK;
  }
  FtStatus OpenByLocation(uint32_t, platform::FtHandle* h) override {
    *h = 1;
    return platform::FT_OK;
  }
  FtStatus SetTimeouts(platform::FtHandle, uint32_t, uint32_t) override { return platform::FT_OK; }
  FtStatus Read(platform::FtHandle, void* buffer, uint32_t n, uint32_t* got) override {
    Step step{n, platform::FT_OK};
    if (!script.empty()) {
      step = script.front();
      script.pop_front();
    }
    const auto take = static_cast<uint32_t>(std::min<size_t>({n, step.limit, wire.size()}));
    auto* out = static_cast<uint8_t*>(buffer);
    std::copy_n(wire.begin(), take, out);
    wire.erase(wire.begin(), wire.begin() + take);
    *got = take;
    reads.push_back({take, step.status, n});
    return step.status;
  }
  FtStatus Write(platform::FtHandle, const void* bytes, uint32_t n, uint32_t* put) override {
    *put = n;
    if (keepWrites)
      written.insert(written.end(), static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + n);
    if (writeStatus != platform::FT_OK) return writeStatus;
    wire.insert(wire.end(), answerOnWrite.begin(), answerOnWrite.end());
    answerOnWrite.clear();
    return platform::FT_OK;
  }
  FtStatus PurgeRx(platform::FtHandle) override {
    wire.clear();
    return platform::FT_OK;
  }
  FtStatus GetQueueStatus(platform::FtHandle, uint32_t* rxBytes) override {
    *rxBytes = tellsQueue ? static_cast<uint32_t>(wire.size()) : 0;
    return tellsQueue ? platform::FT_OK : platform::FT_OTHER_ERROR;
  }
  FtStatus Close(platform::FtHandle) override { return platform::FT_OK; }
};

// The status a scripted read fails with, when the input says it fails.
inline platform::FtStatus statusFrom(uint8_t b) { return (b & 0x0F) == 0x0F ? platform::FT_IO_ERROR : platform::FT_OK; }

}  // namespace qv::fuzz
