// The UR2 readers over a simulated pack whose answers are lost, late (after the next request), doubled or split:
// a box shows only what the pack sent for it, whole, and a record part counts only for the request that asked it.

#include "commands/UrBarcodeCommands.h"
#include "eeprom/EepBlocks.h"
#include "eeprom/EepromRecords.h"
#include "link/Link.h"
#include "link/PackFrames.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/MainState.h"
#include "mainwindow/MainWindowLink.h"
#include "mainwindow/PackDispatcher.h"
#include "sim/SimDriver.h"
#include "sim/Ur2Pack.h"
#include "support/BareStore.h"
#include "support/TimeScale.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <set>
#include <vector>

namespace qv {
namespace {

namespace ctl = mainwindow::ctl;
using sim::Fate;

// What a 0x0702 reply frame carries: the pack frame's kind, and for a header its ID and index.
struct Reply {
  uint8_t kind = 0;
  uint16_t id = 0;
  uint16_t index = 0;
};

Reply replyOf(const QByteArray& f) {
  if (f.size() != 21) return {};
  const auto u8 = [&](int i) { return static_cast<uint8_t>(f[i]); };
  return {u8(8), static_cast<uint16_t>(u8(9) << 8 | u8(10)), static_cast<uint16_t>(u8(11) << 8 | u8(12))};
}

// Every text a box took, as it took it (the listener runs after the display step of each message).
class BoxWatch : public mainwindow::PackMessageListener {
 public:
  BoxWatch(Controls& c, Control box) : c_(c), box_(box) {}
  void HandlePackMessage(uint16_t, uint16_t, const uint8_t*) override {
    const QString t = c_.text(box_);
    if (seen.empty() || seen.back() != t) seen.push_back(t);
  }
  std::vector<QString> seen;

 private:
  Controls& c_;
  Control box_;
};

class UrReaders : public ::testing::Test {
 protected:
  UrReaders() : services_(makeDriver()), link_(services_, mainwindow::kLinkControls) {
    test::declareBareMainWindows(services_.controls);
    platform::FtHandle h = 0;
    EXPECT_EQ(services_.driver().OpenByLocation(adapter_->record().locId, &h), platform::FT_OK);
    services_.driver().SetTimeouts(h, 100, 50);
    link_.AdapterHandle = h;
    link_.setPackMessageSink(&dispatcher_);
    dispatcher_.addListener(&barcodeBox_);
  }

  std::unique_ptr<platform::Driver> makeDriver() {
    auto driver = std::make_unique<sim::SimDriver>();
    adapter_ = driver->addAdapter();
    adapter_->setPack(pack_);
    return driver;
  }

  // Each reply frame's fate from what it carries and its place among the replies of its kind and message.
  void schedule(std::function<Fate(const Reply&)> fate) {
    sim::Faults f;
    f.schedule = [fate](int64_t, const QByteArray& frame) { return fate(replyOf(frame)); };
    adapter_->setFaults(f);
  }

  Controls& c() { return services_.controls; }

  test::ScopedTimeScale fast_{0.02};
  std::shared_ptr<sim::Ur2Pack> pack_ = std::make_shared<sim::Ur2Pack>();
  std::shared_ptr<sim::SimAdapter> adapter_;
  platform::Services services_;
  link::Link link_;
  mainwindow::MainState state_;
  mainwindow::PackDispatcher dispatcher_{services_.controls, state_};
  BoxWatch barcodeBox_{services_.controls, ctl::EditBarCode32};
};

// A barcode is shown only when every part of it came in one reading; a reading that lost a part, or whose
// parts came split across requests, leaves the box as it was, and no text grows past the 32 characters.
TEST_F(UrReaders, TheBarcodeBoxShowsOnlyAWholeBarcodeOfOneReading) {
  const QByteArray barcode = pack_->state().barcode32;
  const struct Case {
    const char* name;
    std::function<Fate(const Reply&)> fate;
    bool found;  // a pass had all four parts
  } cases[] = {
      // The first part's header never comes in any pass: parts 2 to 4 alone.
      {"part 1 lost each pass", [](const Reply& r) { return r.kind == 3 && r.index == 1 ? Fate::Lose : Fate::Deliver; },
       false},
      // Every third reply frame lost: no pass is whole.
      {"every third frame lost", [n = 0](const Reply&) mutable { return n++ % 3 == 1 ? Fate::Lose : Fate::Deliver; },
       false},
      // Part 3's answer comes after part 4's request: the parts still come in order, then the next pass whole.
      {"part 3 late",
       [n = 0](const Reply& r) mutable { return r.kind == 3 && r.index == 3 && n++ == 0 ? Fate::Late : Fate::Deliver; },
       true},
      {"doubled answers", [](const Reply&) { return Fate::Double; }, true},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    for (const QString& before : {QString(), QStringLiteral("EARLIER")}) {
      c().setText(ctl::EditBarCode32, before);
      barcodeBox_.seen.clear();
      schedule(k.fate);
      commands::BarcodeKindFlags flags;
      commands::ReadBarcodeKind(link_, flags, commands::BarcodeKind::Barcode32);
      adapter_->setFaults({});
      for (const QString& t : barcodeBox_.seen) {
        EXPECT_TRUE(t == before || t == QString::fromLatin1(barcode)) << t.toStdString();
      }
      EXPECT_EQ(c().text(ctl::EditBarCode32), k.found ? QString::fromLatin1(barcode) : before);
    }
  }
}

// A record read over answers that come late, split or twice: a part counts only when its own whole answer came
// to its own read, and only the parts counted are in the buffer.
TEST_F(UrReaders, ARecordPartCountsOnlyForItsOwnReadAndWhole) {
  sim::Ur2PackState s = pack_->state();
  s.eeprom.present = true;
  sim::SimEepRecord r;
  r.flag = 0x81;
  r.soc = 77;
  r.cycles = 321;
  s.eeprom.lists[0] = {r, r};
  pack_->setState(s);
  const std::array<uint8_t, 32> record = r.bytes();
  eeprom::EepromRecords records(state_);
  dispatcher_.addListener(&records);
  const uint16_t id = eeprom::eepListIds(eeprom::EepList::Protect).record;
  const auto part = [id](const Reply& r, uint8_t kind, uint16_t index) {
    return r.kind == kind && (kind == 4 || (r.id == id && r.index == index));
  };

  const struct Case {
    const char* name;
    std::function<Fate(const Reply&)> fate;
    uint8_t answered;  // parts counted
  } cases[] = {
      {"every answer doubled", [](const Reply&) { return Fate::Double; }, 0x0F},
      // Part 2's answer comes after part 3's request: part 2 is not counted, and not taken as part 3.
      {"part 2 late",
       [&, last = Reply{}](const Reply& r) mutable {
         if (r.kind == 3) last = r;
         return last.index == 2 ? Fate::Late : Fate::Deliver;
       },
       0x0D},
      // Part 2's header in time, its data after part 3's request: part 3 still finds its own answer.
      {"part 2 split between its frames",
       [&, last = Reply{}](const Reply& r) mutable {
         if (r.kind == 3) last = r;
         return r.kind == 4 && last.index == 2 ? Fate::Late : Fate::Deliver;
       },
       0x0D},
      // Half of part 1's header now, the rest after part 2's request.
      {"part 1's header split", [&](const Reply& r) { return part(r, 3, 1) ? Fate::Split : Fate::Deliver; }, 0x0E},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    schedule(k.fate);
    uint8_t answered = 0;
    ASSERT_TRUE(eeprom::ReadListRecord(link_, records, eeprom::EepList::Protect, 2, &answered));
    adapter_->setFaults({});
    EXPECT_EQ(int(answered), int(k.answered));
    const mainwindow::EepBlockBuffer b = records.buffer(eeprom::EepList::Protect).snapshot();
    EXPECT_EQ(int(b.partsReceived), int(k.answered));
    for (int p = 0; p < 4; ++p) {
      const bool came = (k.answered & (1 << p)) != 0;
      for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(b.raw[8 * p + i], came ? record[8 * p + i] : 0) << "part " << p + 1 << " byte " << i;
      }
    }
  }
}

}  // namespace
}  // namespace qv
