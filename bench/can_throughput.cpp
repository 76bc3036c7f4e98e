// How many CAN frames a second the receive path takes (one driver read, the frames found in it, each handed with
// its lamp toggle to the program's own CAN dispatcher, which decodes them into the main window's store), against
// the most a 250 kbit/s bus carries. The driver serves an endless stream of broadcasts and answers in reads of
// uneven length, so frames are cut across reads as the adapter cuts them.

#include "BenchTable.h"
#include "link/CanLayer.h"
#include "link/Link.h"
#include "mainwindow/CanDispatcher.h"
#include "mainwindow/MainWindowLink.h"
#include "mainwindow/PackDispatcher.h"
#include "mainwindow/Unit1MainForm.h"
#include "platform/Form.h"
#include "platform/Time.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using namespace qv;

class StreamDriver : public platform::Driver {
 public:
  explicit StreamDriver(std::vector<uint8_t> stream) : stream_(std::move(stream)) {}

  platform::FtStatus CreateDeviceInfoList(uint32_t* n) override {
    *n = 0;
    return platform::FT_OK;
  }
  platform::FtStatus GetDeviceInfoList(platform::AdapterListRecord*, uint32_t* n) override {
    *n = 0;
    return platform::FT_OK;
  }
  platform::FtStatus OpenByLocation(uint32_t, platform::FtHandle*) override { return platform::FT_DEVICE_NOT_FOUND; }
  platform::FtStatus SetTimeouts(platform::FtHandle, uint32_t, uint32_t) override { return platform::FT_OK; }
  platform::FtStatus Write(platform::FtHandle, const void*, uint32_t n, uint32_t* written) override {
    *written = n;
    return platform::FT_OK;
  }
  platform::FtStatus PurgeRx(platform::FtHandle) override { return platform::FT_OK; }
  platform::FtStatus Close(platform::FtHandle) override { return platform::FT_OK; }

  platform::FtStatus Read(platform::FtHandle, void* buffer, uint32_t wanted, uint32_t* got) override {
    static constexpr uint32_t kLengths[] = {1024, 1000, 997, 512, 1024, 701, 19, 333};
    const uint32_t n = std::min(wanted, kLengths[reads_++ % std::size(kLengths)]);
    auto* out = static_cast<uint8_t*>(buffer);
    for (uint32_t done = 0; done < n;) {
      const uint32_t piece = std::min<uint32_t>(n - done, static_cast<uint32_t>(stream_.size() - at_));
      std::memcpy(out + done, stream_.data() + at_, piece);
      done += piece;
      at_ = (at_ + piece) % stream_.size();
    }
    *got = n;
    return platform::FT_OK;
  }

 private:
  std::vector<uint8_t> stream_;  // whole frames, so that it runs on seamlessly from its end to its start
  size_t at_ = 0;
  size_t reads_ = 0;
};

// Counts what reaches the dispatcher, and hands it on.
class CountingSink : public link::CanFrameSink {
 public:
  explicit CountingSink(link::CanFrameSink& next) : next_(next) {}
  uint64_t frames = 0;
  uint64_t sum = 0;
  void DispatchCanFrame(uint8_t flag, uint32_t id, const uint8_t data[8], uint8_t length) override {
    ++frames;
    sum += id + data[0] + data[7] + length;
    next_.DispatchCanFrame(flag, id, data, length);
  }
  void CanFramesLost() override { next_.CanFramesLost(); }

 private:
  link::CanFrameSink& next_;
};

}  // namespace

int main() {
  // The pack's broadcasts and, now and then, an answer (header and data: a cell message), as they come from the
  // adapter.
  std::vector<uint8_t> stream;
  const auto put = [&](uint32_t id, const uint8_t* data) {
    link::CanMessage m;
    m.identifier = id;
    m.dataLength = 8;
    std::copy(data, data + 8, m.data);
    const auto frame = link::BuildCanFrame(m);
    stream.insert(stream.end(), frame.begin(), frame.end());
  };
  for (uint32_t i = 0; i < 4096; ++i) {
    uint8_t data[8];
    for (uint8_t& b : data) b = static_cast<uint8_t>(i * 7 + (&b - data));
    if (i % 9 == 0) {
      const uint8_t header[8] = {0x10, 0x01, 0x00, static_cast<uint8_t>(1 + i % 4), 0, 0, 0, 0};
      put(0x442, header);
      put(0x443, data);
    } else {
      put(0x400 + i % 4, data);
    }
  }

  platform::Services services(std::make_unique<StreamDriver>(std::move(stream)));
  link::Link link(services, mainwindow::kLinkControls);
  link.AdapterHandle = 1;
  declareForm(services.controls, mainwindow::MainFormDef());
  mainwindow::MainState state;
  mainwindow::PackDispatcher pack(services.controls, state);
  mainwindow::CanDispatcher can(services.controls, state, pack);
  CountingSink sink(can);
  link.setCanFrameSink(&sink);

  constexpr int64_t kRunMs = 3000;
  constexpr double kBusFramesPerSecond = 2000.0;  // 250 kbit/s at about 125 bits for a frame of eight bytes
  const int64_t start = platform::monotonicMs();
  int64_t elapsed = 0;
  uint64_t receives = 0;
  while (elapsed < kRunMs) {
    for (int i = 0; i < 256; ++i) link::CanReceiveDispatch(link);
    receives += 256;
    elapsed = platform::monotonicMs() - start;
  }
  const double perSecond = static_cast<double>(sink.frames) * 1000.0 / static_cast<double>(elapsed);
  std::printf("CAN receive and dispatch: %llu frames in %lld ms over %llu receives (check %llu)\n",
              static_cast<unsigned long long>(sink.frames), static_cast<long long>(elapsed),
              static_cast<unsigned long long>(receives), static_cast<unsigned long long>(sink.sum));
  std::printf("%.0f frames/s through the dispatcher and decoders; a saturated 250 kbit/s bus carries about %.0f "
              "frames/s: %.0f times the bus\n",
              perSecond, kBusFramesPerSecond, perSecond / kBusFramesPerSecond);
  bench::tableRow("CAN receive + dispatch", bench::fixed(perSecond, 0) + " frames/s",
                  "bus " + bench::fixed(kBusFramesPerSecond, 0) + " frames/s",
                  bench::fixed(perSecond / kBusFramesPerSecond, 0) + "x", ">= 1x", "-");
  return 0;
}
