// What README.md says of a real adapter, held true for both backends that reach one, in the whole program: the
// libftdi backend over the emulated FT232H, and the tty backend over a pseudo-terminal with the simulated adapter
// behind it (as the kernel's ttyUSB node would have the adapter). A cable pulled during monitoring: the run goes
// on against the missing adapter, STOP ends it and leaves no thread behind, standard error says so once; plugged
// into the same socket again, the next Scan finds it where it was and the next RUN works. No adapter: " Not found.
// " and Yes stays off. Held by another program, not permitted, gone since the scan: the scan listed it, RUN ends at
// once with "  SYS : < STOP > ", and standard error gives the node and the reason.

#include "ProgramOverChip.h"
#include "platform/PortDriver.h"
#include "support/OrdinaryUser.h"
#include "support/StderrLines.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {
namespace {

namespace mctl = test::mctl;

// A real adapter at a place of its own, with the simulated adapter and a pack on its serial side.
class RealAdapter {
 public:
  virtual ~RealAdapter() = default;
  virtual std::unique_ptr<platform::Driver> makeDriver() = 0;
  virtual void pull() = 0;
  virtual void plugIn() = 0;
  virtual void hold() = 0;               // another program holds it
  virtual void forbid() = 0;             // its node is not ours to open
  virtual std::string node() const = 0;  // what the backend's lines name it by
};

class ChipAdapter : public RealAdapter {
 public:
  explicit ChipAdapter(std::shared_ptr<sim::SimAdapter> serial) : chip_(std::move(serial)) {}
  std::unique_ptr<platform::Driver> makeDriver() override { return platform::makeLibftdiDriver(); }
  void pull() override { chip_.pull(); }
  void plugIn() override { chip_.plugIn(); }
  void hold() override { chip_.setHeldByAnotherProgram(true); }
  void forbid() override { chip_.setNodeReadOnly(true); }
  std::string node() const override { return chip_.placeKey(); }

 private:
  test::EmulatedFt232h chip_;
};

// A pseudo-terminal whose master side passes bytes to and from the simulated adapter, behind a node that comes
// and goes as a ttyUSB node does. One thread passes the bytes for as long as this lives, plugged in or not.
class PtyAdapter : public RealAdapter {
 public:
  explicit PtyAdapter(std::shared_ptr<sim::SimAdapter> serial) : serial_(std::move(serial)) {
    node_ = folder_.filePath(QStringLiteral("ttyUSB0")).toStdString();
    plugIn();
    bridge_ = std::thread([this] { pass(); });
  }
  ~PtyAdapter() override {
    stop_ = true;
    bridge_.join();
    pull();
  }
  std::unique_ptr<platform::Driver> makeDriver() override {
    return platform::makeTtyDriver({QString::fromStdString(node_)});
  }
  void pull() override {
    std::lock_guard lock(mutex_);
    if (master_ < 0) return;
    serial_->disconnect();
    ::close(master_);
    master_ = -1;
    if (held_ >= 0) ::close(held_);
    held_ = -1;
    ::unlink(node_.c_str());
  }
  void plugIn() override {
    std::lock_guard lock(mutex_);
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(grantpt(master_), 0);
    ASSERT_EQ(unlockpt(master_), 0);
    slave_ = ptsname(master_);
    ASSERT_EQ(::symlink(slave_.c_str(), node_.c_str()), 0);
    serial_->connect(&rx_);
  }
  void hold() override {
    held_ = ::open(slave_.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(held_, 0);
    ASSERT_EQ(::ioctl(held_, TIOCEXCL), 0);
  }
  void forbid() override { ASSERT_EQ(::chmod(slave_.c_str(), 0400), 0); }
  std::string node() const override { return node_; }

 private:
  // What the host writes goes to the simulated adapter; what it answers (and its CAN node's broadcasts, looked for
  // every millisecond) goes back.
  void pass() {
    uint8_t buffer[4096];
    while (!stop_) {
      std::unique_lock lock(mutex_);
      if (master_ < 0) {
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        continue;
      }
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 1) > 0 && (p.revents & POLLIN) != 0) {
        const ssize_t got = ::read(master_, buffer, sizeof buffer);
        uint32_t written = 0;
        if (got > 0) serial_->hostWrite(buffer, static_cast<uint32_t>(got), &written);
      }
      serial_->pump();
      const size_t n = rx_.take(buffer, sizeof buffer, std::chrono::steady_clock::now(), {}, {});
      for (size_t done = 0; done < n;) {
        const ssize_t put = ::write(master_, buffer + done, n - done);
        if (put <= 0) break;  // nobody reads the slave side: the answer is lost, as on a line
        done += static_cast<size_t>(put);
      }
    }
  }

  std::shared_ptr<sim::SimAdapter> serial_;
  QTemporaryDir folder_;
  std::string node_;
  std::string slave_;
  std::mutex mutex_;  // the master side, between the test and the passing thread
  int master_ = -1;
  int held_ = -1;
  platform::RxQueue rx_;
  std::atomic<bool> stop_{false};
  std::thread bridge_;
};

struct Backend {
  const char* name;
  std::function<std::unique_ptr<RealAdapter>(std::shared_ptr<sim::SimAdapter>)> make;
};
void PrintTo(const Backend& b, std::ostream* out) { *out << b.name; }

const Backend kBackends[] = {
    {"libftdi", [](std::shared_ptr<sim::SimAdapter> s) { return std::make_unique<ChipAdapter>(std::move(s)); }},
    {"tty", [](std::shared_ptr<sim::SimAdapter> s) { return std::make_unique<PtyAdapter>(std::move(s)); }},
};

class RealAdapterRoad : public ::testing::TestWithParam<Backend> {
 protected:
  void start(const std::string& setup = "ur96") {
    tool.reset();
    adapter.reset();
    simDriver = sim::makeSimDriver(setup);
    adapter = GetParam().make(simDriver->adapters().at(0));
    tool = std::make_unique<app::ServiceTool>(adapter->makeDriver());
  }
  Controls& c() { return tool->services.controls; }
  void scan() { test::scanFor(*tool, link::kProtocolUr); }
  void confirm() { test::confirmFirst(*tool); }
  void clickRun() { tool->FormMain.onEvent(mctl::SpdBtnRUN, UiEvent::Click); }
  bool ended() { return tool->services.workers.running() == 0 && c().text(mctl::SpdBtnRUN) == "RUN"; }
  bool showsTheRecord() { return c().text(mctl::Edit_LVolt) == "3697" && c().text(mctl::EditPackVolt) == "48100"; }

  test::ScopedTimeScale fast{0.25};
  std::unique_ptr<sim::SimDriver> simDriver;
  std::unique_ptr<RealAdapter> adapter;
  std::unique_ptr<app::ServiceTool> tool;  // after the adapter: it closes it before the adapter goes
};

TEST_P(RealAdapterRoad, APulledCableEndsNothingBadlyAndTheSameSocketWorksAgain) {
  start();
  scan();
  const uint32_t place = tool->link.AdapterLocation(0).value_or(0);
  confirm();
  const int threadsBefore = test::threadCount();
  clickRun();
  ASSERT_TRUE(test::waitFor([&] { return showsTheRecord(); }));

  testing::internal::CaptureStderr();
  adapter->pull();
  ASSERT_TRUE(test::waitFor([&] { return tool->link.AdapterStatus.load() != platform::FT_OK; }));
  // Polling goes on against the missing adapter, with its waits: the run neither ends nor hangs.
  EXPECT_FALSE(ended());
  EXPECT_EQ(c().text(mctl::SpdBtnRUN), "STOP");
  EXPECT_EQ(c().panel(mctl::StatusBarView, 1), " UR96 Mode ");
  clickRun();
  ASSERT_TRUE(test::waitFor([&] { return ended(); }));
  EXPECT_EQ(c().panel(mctl::StatusBarView, 0), "  SYS : < STOP > ");
  EXPECT_EQ(tool->link.AdapterHandle.load(), 0u);
  EXPECT_TRUE(test::waitFor([&] { return test::threadCount() == threadsBefore; }))
      << test::threadCount() << " threads, " << threadsBefore << " before RUN";
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(test::linesNaming(said, adapter->node()), 1) << said;

  adapter->plugIn();
  c().setText(mctl::Edit_LVolt, QString());
  scan();
  EXPECT_EQ(c().panel(link::ctl::StatusBar1, 0), "  USB1  :  Available ");
  EXPECT_EQ(tool->link.AdapterLocation(0), place);
  confirm();
  clickRun();
  EXPECT_TRUE(test::waitFor([&] { return showsTheRecord(); }));
  clickRun();
  EXPECT_TRUE(test::waitFor([&] { return ended(); }));
}

TEST_P(RealAdapterRoad, NoAdapterIsNotFoundAndYesStaysOff) {
  start();
  adapter->pull();
  scan();
  EXPECT_EQ(c().text(link::ctl::LbInterfaceName), " Not found. ");
  EXPECT_TRUE(c().items(link::ctl::CobBoxInterfaceName).isEmpty());
  EXPECT_FALSE(c().enabled(link::ctl::SpdBtnYES));
}

TEST_P(RealAdapterRoad, ARefusedOpenEndsTheRunAtOnceAndSaysWhy) {
  const bool tty = std::string(GetParam().name) == "tty";
  const struct {
    const char* name;
    void (RealAdapter::*before)();  // before the scan
    void (RealAdapter::*after)();   // between the scan and RUN
    const char* reason;
  } cases[] = {
      {"held by another program", &RealAdapter::hold, nullptr, tty ? "Device or resource busy" : "Resource busy"},
      {"not permitted", &RealAdapter::forbid, nullptr, tty ? "Permission denied" : "Access denied"},
      {"gone since the scan", nullptr, &RealAdapter::pull, tty ? "No such file or directory" : "No such device"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    start();
    if (k.before != nullptr) ((*adapter).*k.before)();
    test::ScopedOrdinaryUser user;  // for the scan's and the run's workers too
    scan();
    EXPECT_EQ(c().panel(link::ctl::StatusBar1, 0), "  USB1  :  Available ");
    confirm();
    if (k.after != nullptr) ((*adapter).*k.after)();
    testing::internal::CaptureStderr();
    clickRun();
    ASSERT_TRUE(test::waitFor([&] { return ended(); }));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(c().panel(mctl::StatusBarView, 0), "  SYS : < STOP > ");
    EXPECT_EQ(tool->link.AdapterHandle.load(), 0u);
    EXPECT_EQ(test::linesNaming(said, adapter->node()), 1) << said;
    EXPECT_NE(said.find(k.reason), std::string::npos) << said;
  }
}

INSTANTIATE_TEST_SUITE_P(BothBackends, RealAdapterRoad, ::testing::ValuesIn(kBackends),
                         [](const ::testing::TestParamInfo<Backend>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qv
