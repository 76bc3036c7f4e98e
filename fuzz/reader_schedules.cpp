// The UR2 and CAN readers over the simulated adapter and packs, every frame the adapter sends back meeting a fate
// the input chooses (delivered, lost, late until the next request, doubled, split with its rest late): no box
// ever shows a value the pack did not send for it, and a part counts only for the request that asked it.
//
// Input: one byte choosing the reader, the pack's values for it, then one byte per frame sent back (its fate).
// A CAN header is never lost or late without its data (see the schedule below).

#include "FuzzStore.h"
#include "FuzzSupport.h"
#include "commands/CanBarcodeCommands.h"
#include "commands/UrBarcodeCommands.h"
#include "eeprom/EepBlocks.h"
#include "eeprom/EepromRecords.h"
#include "link/CanLayer.h"
#include "link/Link.h"
#include "mainwindow/CanDispatcher.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/MainState.h"
#include "mainwindow/MainWindowLink.h"
#include "mainwindow/PackDispatcher.h"
#include "platform/Services.h"
#include "platform/Time.h"
#include "sim/CanPack.h"
#include "sim/SimDriver.h"
#include "sim/Ur2Pack.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

using namespace qv;

namespace {

namespace ctl = mainwindow::ctl;

// The parameter window's box that the composition hands the dispatcher.
namespace paraCtl {
QV_CONTROL(Edit_WakeUpLineType);
}  // namespace paraCtl

// A barcode the pack holds: letters and digits, so that its text is its bytes.
QByteArray barcodeFrom(fuzz::Input& in, int n) {
  static const char kChars[] = "ABCDEFGHJKLMNPQRSTUVWXYZ0123456789";
  QByteArray out;
  for (int i = 0; i < n; ++i) out.append(kChars[in.u8() % (sizeof kChars - 1)]);
  return out;
}

// Every text the watched box took, as it took it: checked after each message by the caller's rule.
class Watch : public mainwindow::PackMessageListener, public link::CanFrameSink {
 public:
  Watch(Controls& c, mainwindow::CanDispatcher& can) : c_(c), can_(can) {}
  void HandlePackMessage(uint16_t, uint16_t, const uint8_t*) override { look(); }
  void DispatchCanFrame(uint8_t flag, uint32_t id, const uint8_t data[8], uint8_t length) override {
    can_.DispatchCanFrame(flag, id, data, length);
    look();
  }
  void CanFramesLost() override { can_.CanFramesLost(); }
  void watch(Control box, std::function<bool(const QString&)> rule) {
    box_ = box;
    rule_ = std::move(rule);
  }

 private:
  void look() {
    if (rule_) QV_FUZZ_CHECK(rule_(c_.text(box_)));
  }
  Controls& c_;
  mainwindow::CanDispatcher& can_;
  Control box_ = ctl::EditBarCode32;
  std::function<bool(const QString&)> rule_;
};

struct Rig {
  Rig() : services(makeDriver()), link(services, mainwindow::kLinkControls) {
    fuzz::declareMainWindows(services.controls);
    services.controls.declare(paraCtl::Edit_WakeUpLineType, {});
    can.setWakeUpLineTypeBox(paraCtl::Edit_WakeUpLineType);
    link.setPackMessageSink(&pack);
    link.setCanFrameSink(&watch);
    link.setCanAnswerFlags(&can.ackFlags());
    pack.addListener(&records);
    pack.addListener(&watch);
    platform::setTimeScale(1e-9);
  }
  std::unique_ptr<platform::Driver> makeDriver() {
    auto driver = std::make_unique<sim::SimDriver>();
    adapter = driver->addAdapter();
    adapter->setPack(ur2);
    adapter->setCanNode(canPack);
    return driver;
  }
  static Rig& get() {
    static Rig rig;
    return rig;
  }
  // A fresh session: nothing held back from the input before.
  void open() {
    if (link.AdapterHandle.load() != 0) services.driver().Close(link.AdapterHandle.exchange(0));
    platform::FtHandle h = 0;
    services.driver().OpenByLocation(adapter->record().locId, &h);
    services.driver().SetTimeouts(h, 100, 50);
    link.AdapterHandle.store(h);
  }

  std::shared_ptr<sim::Ur2Pack> ur2 = std::make_shared<sim::Ur2Pack>();
  std::shared_ptr<sim::CanPack> canPack = std::make_shared<sim::CanPack>(sim::CanPackState{}, 0);
  std::shared_ptr<sim::SimAdapter> adapter;
  platform::Services services;
  link::Link link;
  mainwindow::MainState state;
  mainwindow::PackDispatcher pack{services.controls, state};
  mainwindow::CanDispatcher can{services.controls, state, pack};
  eeprom::EepromRecords records{state};
  Watch watch{services.controls, can};
};

sim::Fate fateOf(uint8_t b) {
  switch (b % 8) {
    case 1: return sim::Fate::Lose;
    case 2: return sim::Fate::Late;
    case 3: return sim::Fate::Double;
    case 4: return sim::Fate::Split;
    default: return sim::Fate::Deliver;
  }
}

void urBarcode(Rig& rig, fuzz::Input& in) {
  sim::Ur2PackState s = rig.ur2->state();
  s.barcode32 = barcodeFrom(in, 32);
  s.answersBarcode32 = true;
  rig.ur2->setState(s);
  const QString before = QString::fromLatin1(barcodeFrom(in, in.u8() % 4));
  rig.services.controls.setText(ctl::EditBarCode32, before);
  const QString sent = QString::fromLatin1(s.barcode32);
  const auto rule = [&](const QString& t) { return t == before || t == sent; };
  rig.watch.watch(ctl::EditBarCode32, rule);
  commands::BarcodeKindFlags flags;
  const bool found = commands::ReadBarcodeKind(rig.link, flags, commands::BarcodeKind::Barcode32);
  const QString shown = rig.services.controls.text(ctl::EditBarCode32);
  QV_FUZZ_CHECK(rule(shown));
  if (found) QV_FUZZ_CHECK(shown == sent);
}

void urRecord(Rig& rig, fuzz::Input& in) {
  sim::Ur2PackState s = rig.ur2->state();
  s.eeprom.present = true;
  sim::SimEepRecord r;
  r.stamp = in.fixed<6>();
  r.flag = in.u8();
  r.soc = in.u8();
  r.cycles = in.u16();
  r.voltageMv = in.u32();
  s.eeprom.lists[0] = {r};
  rig.ur2->setState(s);
  const std::array<uint8_t, 32> record = r.bytes();
  rig.watch.watch(ctl::EditBarCode32, nullptr);
  uint8_t answered = 0;
  eeprom::ReadListRecord(rig.link, rig.records, eeprom::EepList::Protect, 1, &answered);
  const mainwindow::EepBlockBuffer b = rig.records.buffer(eeprom::EepList::Protect).snapshot();
  QV_FUZZ_CHECK(b.partsReceived == answered);
  for (int p = 0; p < 4; ++p) {
    const bool came = (answered & (1 << p)) != 0;
    for (int i = 0; i < 8; ++i) QV_FUZZ_CHECK(b.raw[8 * p + i] == (came ? record[8 * p + i] : 0));
  }
}

void canBarcode(Rig& rig, fuzz::Input& in, bool barcode32) {
  sim::CanPackState s = rig.canPack->state();
  const QByteArray sent = barcodeFrom(in, barcode32 ? 32 : 16);
  (barcode32 ? s.barcode32 : s.barcode16) = sent;
  rig.canPack->setState(s);
  // The box shows the pack's characters where they stand, up to the first part that did not come.
  const auto rule = [&](const QString& t) { return QString::fromLatin1(sent).startsWith(t); };
  rig.watch.watch(ctl::Edit_Barcode32_RW, rule);
  const link::CanSessionScope session(rig.link);
  const bool read = barcode32 ? commands::CanReadBarcode32(rig.link, rig.state)
                              : commands::CanReadBarcode16(rig.link, rig.state);
  const QString shown = rig.services.controls.text(ctl::Edit_Barcode32_RW);
  QV_FUZZ_CHECK(rule(shown));
  if (read) QV_FUZZ_CHECK(shown == QString::fromLatin1(sent));
}

void canParameters(Rig& rig, fuzz::Input& in) {
  sim::CanPackState s = rig.canPack->state();
  s.parameters.clear();
  const uint8_t answeredIndexes = in.u8();
  for (uint8_t index = 0; index < 4; ++index) {
    if ((answeredIndexes & (1u << index)) != 0) s.parameters[index] = in.u8();
  }
  rig.canPack->setState(s);
  rig.services.controls.setText(paraCtl::Edit_WakeUpLineType, QStringLiteral("before"));
  const auto one = s.parameters.find(1);
  const auto rule = [&](const QString& t) {
    return t == "before" || (one != s.parameters.end() && t == QString::number(one->second));
  };
  rig.watch.watch(paraCtl::Edit_WakeUpLineType, rule);
  for (uint8_t index = 0; index < 4; ++index) {
    link::CanSendWords(rig.link, 0x304, 0x92u | uint32_t{index} << 8, 0);
    link::CanReceiveDispatchAll(rig.link);
  }
  link::CanReceiveDispatchAll(rig.link);
  QV_FUZZ_CHECK(rule(rig.services.controls.text(paraCtl::Edit_WakeUpLineType)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Rig& rig = Rig::get();
  fuzz::Input in(data, size);
  const uint8_t reader = in.u8();
  // The pack's values come first; whatever follows is the schedule, one byte per frame (delivered past its end).
  std::vector<uint8_t> values = in.bytes(64);
  std::vector<uint8_t> schedule = in.rest();
  fuzz::Input valuesIn(values.data(), values.size());
  rig.adapter->setFaults({});
  // What the simulator records of each run would grow with every input.
  rig.adapter->clearWritten();
  sim::Ur2PackState packState = rig.ur2->state();
  packState.eeprom.partsAsked.clear();
  rig.ur2->setState(packState);
  rig.open();
  sim::Faults f;
  size_t at = 0;
  std::optional<sim::Fate> dataFate;
  f.schedule = [&schedule, &at, &dataFate](int64_t, const QByteArray& frame) {
    const sim::Fate fate = at < schedule.size() ? fateOf(schedule[at++]) : sim::Fate::Deliver;
    // A CAN answer's data carries nothing of its own to tell it from another answer's, so data that came without
    // its header (lost or late) would look like the data of whatever header came before: no reader can tell
    // them apart on the wire. A header lost or late takes its data along; data may be lost or late alone.
    const bool can = frame.size() == 19 && static_cast<uint8_t>(frame[2]) == 0x04;
    const int id = can ? static_cast<uint8_t>(frame[7]) << 8 | static_cast<uint8_t>(frame[8]) : 0;
    if (id == 0x443 && dataFate) return *std::exchange(dataFate, std::nullopt);
    if (id == 0x442) {
      dataFate.reset();
      if (fate == sim::Fate::Lose || fate == sim::Fate::Late) dataFate = fate;
    }
    return fate;
  };
  rig.adapter->setFaults(f);
  switch (reader % 5) {
    case 0: urBarcode(rig, valuesIn); break;
    case 1: urRecord(rig, valuesIn); break;
    case 2: canBarcode(rig, valuesIn, true); break;
    case 3: canBarcode(rig, valuesIn, false); break;
    default: canParameters(rig, valuesIn); break;
  }
  rig.adapter->setFaults({});
  rig.watch.watch(ctl::EditBarCode32, nullptr);
  return 0;
}
