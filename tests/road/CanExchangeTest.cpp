// Monitoring and a command sharing the CAN adapter over the simulator, the way the program runs them: the
// monitoring's own cycle receives and polls, a command sends its requests and waits for their answers, each step
// under the exchange lock, while the pack broadcasts on a busy bus and its bytes come back cut into pieces or
// with stray bytes between frames. No frame is lost or taken twice, and every command learns of its answer,
// whichever thread read it.

#include "link/CanLayer.h"
#include "link/Link.h"
#include "mainwindow/MainWindowLink.h"
#include "mainwindow/Monitor.h"
#include "platform/Time.h"
#include "sim/CanPack.h"
#include "sim/SimDriver.h"
#include "support/Bytes.h"
#include "support/TimeScale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <thread>

namespace qv {
namespace {

struct Seen {
  uint32_t id;
  QByteArray data;
  bool byMonitoring;
};

class SequenceSink : public link::CanFrameSink {
 public:
  std::atomic<std::thread::id> monitoring;
  void DispatchCanFrame(uint8_t, uint32_t id, const uint8_t data[8], uint8_t) override {
    std::lock_guard lock(mutex_);
    seen_.push_back(
        {id, QByteArray(reinterpret_cast<const char*>(data), 8), std::this_thread::get_id() == monitoring.load()});
  }
  std::vector<Seen> seen() const {
    std::lock_guard lock(mutex_);
    return seen_;
  }
  size_t size() const {
    std::lock_guard lock(mutex_);
    return seen_.size();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Seen> seen_;
};

struct Pair {
  uint16_t command, index;
};

struct Command {
  Pair pair;
  QByteArray data;  // empty: a read
};

// The simulated adapter hands out the whole pieces that have built up, one look at it at a time, so reads end
// inside frames; pieces of 23 and 41 bytes cut frames at every place.
struct Case {
  const char* what;
  int splitAt;       // pieces of the pack's bytes, as many as are whole per look at the adapter (0: whole frames)
  int burst;         // broadcast rounds at once
  QByteArray noise;  // stray bytes put between frames before each command
};

class CanExchange : public ::testing::TestWithParam<Case> {};

TEST_P(CanExchange, NoFrameIsLostAndEveryCommandIsAnswered) {
  const Case& c = GetParam();
  test::ScopedTimeScale fast(0.1);
  auto* driver = new sim::SimDriver;
  platform::Services services{std::unique_ptr<platform::Driver>(driver)};
  link::Link link{services, mainwindow::kLinkControls};
  auto adapter = driver->addAdapter();
  auto pack = std::make_shared<sim::CanPack>(sim::CanPackState{}, 100);
  sim::CanPackFaults busy;
  busy.burst = c.burst;
  pack->setFaults(busy);
  adapter->setCanNode(pack);
  sim::Faults faults;
  faults.canSplitAt = c.splitAt;
  adapter->setFaults(faults);
  platform::FtHandle h = 0;
  ASSERT_EQ(driver->OpenByLocation(adapter->record().locId, &h), platform::FT_OK);
  driver->SetTimeouts(h, 1, 1);
  link.AdapterHandle = h;
  SequenceSink sink;
  link.setCanFrameSink(&sink);

  // The monitoring's own cycle; the cell count's reset comes once in each, between its receives.
  mainwindow::MainState state;
  mainwindow::Monitor monitor(services, link, state);
  std::atomic<int> cycleMarks{0};
  monitor.hooks.ResetCanCellCount = [&] { ++cycleMarks; };
  state.RunFlag.set(1);
  std::thread monitoring([&] {
    sink.monitoring = std::this_thread::get_id();
    while (state.RunFlag.running()) monitor.CanCycle();
  });

  const std::vector<Command> commands = {
      // clang-format off
      {{0x4209, 0}, QByteArray("\x01", 1)}, {{0x200A, 1}, {}}, {{0x4006, 0}, test::hex("18 05 07 09 05 03")},
      {{0x200A, 2}, {}}, {{0x4009, 3}, "ABCDEFGH"}, {{0x200B, 0}, {}}, {{0x4209, 0}, QByteArray("\x00", 1)},
      {{0x6207, 4}, {}},
      // clang-format on
  };
  // One command: its request (and data) sent, then polls for the answer, each step under the exchange lock.
  const auto run = [&](const Command& cmd) {
    adapter->inject(c.noise);
    int before = 0;
    {
      auto lock = link.exchange();
      link::CanSendRequest(link, cmd.pair.command, cmd.pair.index, {0, 0, 0}, static_cast<uint8_t>(cmd.data.size()));
      if (!cmd.data.isEmpty()) {
        link::CanSendRequestData(link, reinterpret_cast<const uint8_t*>(cmd.data.constData()),
                                 static_cast<int>(cmd.data.size()));
      }
      before = cycleMarks;
    }
    // Monitoring reads first (two marks on, it has received in between): with whole frames it is always the one
    // that takes the answer.
    while (cycleMarks < before + 2) platform::sleepMs(1);
    // Polled against real time, not a count of polls: a loaded machine (the sanitizers, a busy CI) can hold
    // either thread up for far longer than a poll takes, and an answer that comes late is still no lost one.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      {
        auto lock = link.exchange();
        if (link::CanWaitResponse(link, cmd.pair.command, cmd.pair.index)) return true;
      }
      platform::sleepMs(1);
    }
    return false;
  };
  constexpr int kRounds = 4;
  int answered = 0;
  for (int round = 0; round < kRounds; ++round) {
    for (const Command& cmd : commands) answered += run(cmd) ? 1 : 0;
  }
  state.RunFlag.set(0);
  monitoring.join();
  EXPECT_EQ(answered, kRounds * static_cast<int>(commands.size()));

  // What is still on its way is read to the end.
  pack->setBroadcastPeriod(0);
  for (int idle = 0; idle < 50;) {
    idle = link::CanReceiveDispatchAll(link) ? 0 : idle + 1;
  }
  EXPECT_EQ(link.canReceiver.carried(), 0);
  const std::vector<Seen> seen = sink.seen();
  EXPECT_EQ(static_cast<int64_t>(seen.size()), pack->framesSent());

  std::map<uint32_t, QByteArray> broadcast;
  int headersByMonitoring = 0;
  for (size_t i = 0; i < seen.size(); ++i) {
    const Seen& s = seen[i];
    if (s.id >= 0x400 && s.id <= 0x403) {
      auto [it, first] = broadcast.emplace(s.id, s.data);
      EXPECT_EQ(s.data, it->second) << "frame " << i;  // the pack's values do not change here
    } else if (s.id == link::kCanAnswerData) {
      ASSERT_GT(i, 0u);
      EXPECT_EQ(seen[i - 1].id, link::kCanAnswerHeader) << "frame " << i << ": data without its header";
    } else {
      ASSERT_EQ(s.id, link::kCanAnswerHeader) << "frame " << i;
      const uint16_t command =
          static_cast<uint16_t>(static_cast<uint8_t>(s.data[0]) << 8 | static_cast<uint8_t>(s.data[1]));
      const bool fromCommand = std::any_of(commands.begin(), commands.end(),
                                           [&](const Command& cmd) { return cmd.pair.command == command; });
      if (fromCommand && s.byMonitoring) ++headersByMonitoring;
    }
  }
  EXPECT_EQ(broadcast.size(), 4u);
  if (c.splitAt == 0) {
    EXPECT_EQ(headersByMonitoring, kRounds * static_cast<int>(commands.size()));
  }
}

INSTANTIATE_TEST_SUITE_P(Road, CanExchange,
                         ::testing::Values(Case{"WholeFrames", 0, 1, {}},
                                           Case{"StrayBytes", 0, 2, test::hex("55 AA 04 0D 55 55 AA 00")},
                                           Case{"PiecesOf23", 23, 2, {}}, Case{"PiecesOf41", 41, 3, {}},
                                           Case{"PiecesOf100", 100, 4, {}}),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace qv
