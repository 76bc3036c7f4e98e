// The CAN frame dispatcher over any sequence of frames and losses: the last answer header is the last 0x442's
// bytes while nothing else came after it; a 0x443 is decoded only under the header dispatched right before it
// and spends it; any other frame, or a loss, drops the header, and a 0x443 under no header changes nothing. The
// answer flags follow the headers as the flag table says; broadcasts and answer data show what their bytes say
// where that is plain; nothing reads past the eight data bytes.

#include "FuzzStore.h"
#include "FuzzSupport.h"
#include "link/CanLayer.h"
#include "mainwindow/CanDispatcher.h"
#include "mainwindow/MainFormControls.h"

#include <array>

using namespace qv;
using mainwindow::CanAckFamily;

namespace {

// The answer flags written out a second time, apart from the dispatcher's table: command, index, family, bit,
// and whether the header withdraws the bit.
struct Flag {
  uint16_t command, index;
  int family;
  uint8_t bit;
  bool withdraws;
};
constexpr Flag kFlags[] = {
    {0x000A, 1, 0, 1, false},      {0x000A, 2, 0, 2, false},      {0x2008, 1, 1, 1, false},
    {0x2008, 2, 1, 2, false},      {0x200A, 1, 2, 1, false},      {0x200A, 2, 2, 2, false},
    {0x200A, 3, 2, 4, false},      {0x200A, 4, 2, 8, false},      {0x200B, 0, 3, 1, false},
    {0x4008, 1, 4, 1, false},      {0x4008, 2, 4, 1, true},       {0x4009, 1, 5, 1, false},
    {0x4009, 2, 5, 2, false},      {0x4009, 3, 5, 4, false},      {0x4009, 4, 5, 8, false},
    {0x4209, 0, 6, 1, false},      {0x6502, 0x101, 7, 1, false},  {0x6502, 0x102, 7, 2, false},
    {0x6502, 0x103, 7, 4, false},  {0x6502, 0x104, 7, 8, false},  {0x6502, 0x201, 7, 16, false},
    {0x6502, 0x202, 7, 32, false}, {0x6502, 0x203, 7, 64, false}, {0x6502, 0x204, 7, 128, false},
    {0x6502, 0x301, 8, 1, false},  {0x6502, 0x302, 8, 2, false},  {0x6502, 0x303, 8, 4, false},
    {0x6502, 0x304, 8, 8, false},
};

// The identifiers worth aiming at; any other comes from the input whole.
constexpr uint32_t kIds[] = {0x400, 0x401, 0x402, 0x403, 0x404, 0x442, 0x443, 0x441, 0x444, 0x3FF};
// Commands and indexes of headers worth aiming at.
constexpr uint16_t kCommands[] = {0x0001, 0x0005, 0x0009, 0x000A, 0x1001, 0x1003, 0x1004, 0x1005, 0x1006, 0x1007,
                                  0x1008, 0x1009, 0x2008, 0x200A, 0x200B, 0x4008, 0x4009, 0x4209, 0x6207, 0x6502};

uint32_t le32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
uint32_t be32(const uint8_t* p) { return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]; }
uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

// What a header leaves behind once its data came, or something else did first.
constexpr mainwindow::CanAnswerHeader kSpent{0, 0, {}, 1};

bool same(const mainwindow::CanAnswerHeader& a, const mainwindow::CanAnswerHeader& b) {
  return a.command == b.command && a.index == b.index && a.bytes == b.bytes && a.status == b.status;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qv::fuzz::FuzzStore controls;
  mainwindow::MainState state;
  mainwindow::PackDispatcher pack(controls, state);
  mainwindow::CanDispatcher can(controls, state, pack);

  std::array<uint8_t, 9> answered{}, accepted{};
  mainwindow::CanAnswerHeader last{};
  bool open = false;  // the last frame was a header, and no loss came after it
  const auto drop = [&] {
    if (open) last = kSpent;
    open = false;
  };
  fuzz::Input in(data, size);
  while (!in.empty()) {
    const uint8_t how = in.u8();
    if ((how & 0x0F) == 0x0E) {  // bytes were lost on the wire
      can.CanFramesLost();
      drop();
      QV_FUZZ_CHECK(same(can.lastAnswerHeader(), last));
      continue;
    }
    const uint8_t flag = (how & 0x80) != 0 ? in.u8() : 0;
    const uint8_t length = (how & 0x40) != 0 ? in.u8() : 8;
    const uint32_t id = (how & 0x0F) < std::size(kIds) ? kIds[how & 0x0F] : in.u32();
    std::array<uint8_t, 8> d = in.fixed<8>();
    if ((how & 0x30) == 0x30 && id == link::kCanAnswerHeader) {
      // A header for a command that routes somewhere, with a small index.
      const uint8_t pick = d[0];
      d[0] = static_cast<uint8_t>(kCommands[pick % std::size(kCommands)] >> 8);
      d[1] = static_cast<uint8_t>(kCommands[pick % std::size(kCommands)]);
      d[2] = (d[2] & 0x80) != 0 ? static_cast<uint8_t>(d[2] & 0x03) : 0;
      d[3] &= 0x07;
    }
    // The dispatcher is handed exactly eight bytes: ASan sees any read beyond them.
    auto bytes = std::make_unique<uint8_t[]>(8);
    std::copy(d.begin(), d.end(), bytes.get());
    (void)controls.takeChanged();
    can.DispatchCanFrame(flag, id, bytes.get(), length);

    if (id == link::kCanAnswerHeader) {
      last = {be16(d.data()), be16(d.data() + 2), {d[4], d[5], d[6]}, d[7]};
      open = true;
      for (const Flag& f : kFlags) {
        if (f.command != last.command || f.index != last.index) continue;
        if (f.withdraws) {
          answered[f.family] &= static_cast<uint8_t>(~f.bit);
          accepted[f.family] &= static_cast<uint8_t>(~f.bit);
        } else {
          answered[f.family] |= f.bit;
          if (last.status == 0) accepted[f.family] |= f.bit;
          else accepted[f.family] &= static_cast<uint8_t>(~f.bit);
        }
      }
    } else if (id == link::kCanAnswerData) {
      if (!open) {
        QV_FUZZ_CHECK(controls.takeChanged().empty());
      } else if (last.index == 0 && last.command == 0x1009) {
        QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::EditRemainCapacity) == QString::number(be32(d.data())));
      } else if (last.index == 0 && last.command == 0x1004) {
        QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::EditTotalChargeCapcity) == QString::number(be32(d.data())));
      } else if (last.index == 0 && last.command == 0x0005) {
        QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::Edit_FWVer) ==
                      QString::number(d[0]) + "." + QString::number(d[1]));
      }
      last = kSpent;
      open = false;
    } else {
      drop();
      if (id == 0x401 && flag == 0 && length != 0) {
        QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::Edit401hPackVoltage) == QString::number(le32(d.data())));
        QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::Edit401hPackCurrent) ==
                      QString::number(static_cast<int32_t>(le32(d.data() + 4))));
      }
    }

    QV_FUZZ_CHECK(same(can.lastAnswerHeader(), last));
    for (int f = 0; f < 9; ++f) {
      QV_FUZZ_CHECK(can.ackFlags().answered(static_cast<CanAckFamily>(f)) == answered[f]);
      QV_FUZZ_CHECK(can.ackFlags().accepted(static_cast<CanAckFamily>(f)) == accepted[f]);
    }
    // The spread boxes, once shown, hold a highest, a lowest and their difference.
    long long high = 0, low = 0, diff = 0;
    if (parseInt(controls.text(qv::mainwindow::ctl::Edit_HVlot), &high)) {
      QV_FUZZ_CHECK(parseInt(controls.text(qv::mainwindow::ctl::Edit_LVolt), &low) &&
                    parseInt(controls.text(qv::mainwindow::ctl::Edit_VoltDiff), &diff));
      QV_FUZZ_CHECK(high >= low && diff == high - low && high <= 0xFFFF && low >= 0);
    }
  }
  return 0;
}
