#pragma once
// The whole program without a display over the simulated adapter, confirmed for "UR" on its first adapter: the
// pack frames and fixture frames written, as hex text, and the pack behind, with a look at each request.

#include "app/ServiceTool.h"
#include "link/ConfigFormControls.h"
#include "mainwindow/CommandSets.h"
#include "mainwindow/MainFormControls.h"
#include "sim/FixtureBoard.h"
#include "sim/SimSetups.h"
#include "sim/Ur2Pack.h"
#include "support/Bytes.h"
#include "support/ProgramStart.h"
#include "support/TimeScale.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qv::test {

namespace ctl = mainwindow::ctl;

// A pack frame written out from the frame table: 40 00 kind, eight bytes, XOR, 0D.
inline QString packFrame(uint8_t kind, const char* message) {
  QByteArray f("\x40\x00", 2);
  f.append(static_cast<char>(kind));
  f.append(hex(message));
  uint8_t x = 0;
  for (char c : f) x ^= static_cast<uint8_t>(c);
  f.append(static_cast<char>(x));
  f.append('\x0D');
  return hexText(f);
}
inline QString req(const char* message) { return packFrame(1, message); }
inline QString data(const char* message) { return packFrame(2, message); }

// An adapter frame without E, sealed with its CHK: 55 AA, the covered bytes given, CHK, 0D.
inline QString adapterFrame(const char* covered) {
  const QByteArray body = hex(covered);
  uint8_t x = 0;
  for (char c : body) x ^= static_cast<uint8_t>(c);
  return hexText(hex("55 AA") + body + QByteArray(1, static_cast<char>(0xFF ^ x)) + hex("0D"));
}

// The pack behind, with a look at each request on the writing thread before the pack answers.
class PeekPack : public sim::SerialPack {
 public:
  explicit PeekPack(std::shared_ptr<sim::SerialPack> inner) : inner_(std::move(inner)) {}
  std::function<void(const QByteArray& payload)> onRequest;
  std::vector<QByteArray> answer(const QByteArray& payload, uint16_t expected) override {
    if (onRequest) onRequest(payload);
    return inner_ ? inner_->answer(payload, expected) : std::vector<QByteArray>{};
  }

 private:
  std::shared_ptr<sim::SerialPack> inner_;
};

class ProgramRig : public ::testing::Test {
 public:
  ProgramRig() { start(); }

  void start(const std::string& setup = "ur2") {
    tool.reset();
    std::unique_ptr<sim::SimDriver> driver = sim::makeSimDriver(setup);
    adapter = driver->adapters().at(0);
    pack = ur2PackBehind(*adapter);
    peek = std::make_shared<PeekPack>(adapter->pack());
    adapter->setPack(peek);
    board = std::make_shared<sim::FixtureBoard>();
    adapter->setFixture(board);
    tool = std::make_unique<app::ServiceTool>(std::move(driver));
    test::confirmConfiguration(*tool, link::kProtocolUr);
    adapter->clearWritten();
  }

  // Waits up to 30 s for done to hold.
  static bool waitFor(const std::function<bool()>& done) { return test::waitFor(done); }

  Controls& c() { return tool->services.controls; }
  void click(Control control) { tool->FormMain.onEvent(control, UiEvent::Click); }
  void run(Control control) {
    click(control);
    tool->services.workers.joinAll();
  }

  // The pack frames of the 0x0701 frames written, as hex text.
  std::vector<QString> frames() const {
    std::vector<QString> out;
    for (const QByteArray& f : adapter->written()) {
      if (f.size() == 23 && f.startsWith(hex("55 AA 07 01"))) out.push_back(hexText(f.mid(8, 13)));
    }
    return out;
  }
  // The frames of that adapter type written, whole, as hex text.
  std::vector<QString> adapterFrames(uint16_t type) const {
    std::vector<QString> out;
    for (const QByteArray& f : adapter->written()) {
      if (static_cast<uint8_t>(f[2]) == type >> 8 && static_cast<uint8_t>(f[3]) == (type & 0xFF)) {
        out.push_back(hexText(f));
      }
    }
    return out;
  }
  // Requests (kind 1) written for that message, whatever their index.
  int requestsOf(uint16_t message) const {
    int n = 0;
    for (const QByteArray& f : adapter->written()) {
      n += f.size() == 23 && f.startsWith(hex("55 AA 07 01")) && f[10] == 1 &&
                   static_cast<uint8_t>(f[11]) == message >> 8 && static_cast<uint8_t>(f[12]) == (message & 0xFF)
               ? 1
               : 0;
    }
    return n;
  }

  void setPack(const std::function<void(sim::Ur2PackState&)>& change) {
    sim::Ur2PackState s = pack->state();
    change(s);
    pack->setState(s);
  }

  // Every control of the command set but "PDF" is enabled, the adapter is closed, no name was undeclared.
  void expectCommandOver() {
    for (Control name : mainwindow::CommandSet()) EXPECT_EQ(c().enabled(name), name != ctl::BitBtnPrint) << name;
    EXPECT_EQ(tool->link.AdapterHandle.load(), 0u);
    EXPECT_EQ(tool->state.RunFlag.value.load(), 0);
    EXPECT_TRUE(c().undeclared().empty()) << c().undeclared().front();
  }

  test::ScopedTimeScale fast{0.02};
  std::shared_ptr<sim::SimAdapter> adapter;
  std::shared_ptr<sim::Ur2Pack> pack;
  std::shared_ptr<PeekPack> peek;
  std::shared_ptr<sim::FixtureBoard> board;
  std::unique_ptr<app::ServiceTool> tool;
};

inline const QString kStop = QStringLiteral("  SYS : < STOP >");

}  // namespace qv::test
