// The fixture's measurement answer reader: whatever the adapter hands over, an answer is taken exactly when its
// bytes make a whole frame of its channel within what was read, the value shown or the samples handed out are
// the frame's, and nothing is read or written past the buffers.

#include "FuzzLink.h"
#include "commands/FixtureCommands.h"
#include "mainwindow/MainFormControls.h"

#include <algorithm>

using namespace qv;
namespace ctl = mainwindow::ctl;

namespace {

// The second reading, from the frame table.
struct Expected {
  bool accepted = false;
  uint16_t channel = 0;
};

Expected read(const std::vector<uint8_t>& rx, size_t got) {
  Expected e;
  if (got < 8 || rx[0] != 0x55 || rx[1] != 0xAA || rx[2] != 0x01 || rx[3] != 0x19) return e;
  const size_t length = static_cast<size_t>(rx[4] << 8 | rx[5]);
  if (8 + length > got || rx[7 + length] != 0x0D) return e;
  e.channel = static_cast<uint16_t>(rx[6] << 8 | rx[7]);
  const bool value = e.channel >= 3 && e.channel <= 5 && length >= 6;
  const bool samples = e.channel == 6 && length >= 24;
  e.accepted = value || samples;
  return e;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::LinkRig& rig = fuzz::LinkRig::get();
  fuzz::Input in(data, size);
  const uint8_t mode = in.u8();
  const uint32_t limit = in.u8();  // what the read delivers at most (the reader asks for 128)
  std::vector<uint8_t> reply = in.rest();
  // Sealed: a header, a length within the bytes and the terminator laid over the input, so the channel checks
  // are reached.
  if ((mode & 0x01) != 0 && reply.size() >= 8) {
    const size_t n = std::min<size_t>(reply.size() - 8, 40);
    reply[0] = 0x55, reply[1] = 0xAA, reply[2] = 0x01, reply[3] = 0x19;
    reply[4] = 0, reply[5] = static_cast<uint8_t>(n);
    reply[6] = 0, reply[7] = static_cast<uint8_t>(3 + (mode >> 1) % 5);
    reply[7 + n] = 0x0D;
  }

  rig.driver->reset();
  rig.driver->put(reply);
  const platform::FtStatus status = fuzz::statusFrom(mode >> 4);
  rig.driver->script.push_back({limit, status});
  Controls& c = rig.services.controls;
  for (Control edit : {ctl::EditDsgVolt, ctl::EditBtyVolt, ctl::EditChgVolt}) c.setText(edit, QStringLiteral("-"));

  constexpr uint8_t kUntouched = 0xA5;
  commands::SocSampleBytes samples;
  samples.fill(kUntouched);
  const bool ok = commands::ReadFixtureReply(rig.link, &samples);

  const size_t got = std::min<size_t>({reply.size(), limit, 128});
  std::vector<uint8_t> rx(1024, 0);
  std::copy_n(reply.begin(), got, rx.begin());
  Expected e;
  if (status == platform::FT_OK) e = read(rx, got);
  QV_FUZZ_CHECK(ok == e.accepted);
  const Control edits[] = {ctl::EditDsgVolt, ctl::EditBtyVolt, ctl::EditChgVolt};
  for (int ch = 3; ch <= 5; ++ch) {
    const QString shown = c.text(edits[ch - 3]);
    if (ok && e.channel == ch) {
      const uint32_t v = uint32_t{rx[8]} << 24 | uint32_t{rx[9]} << 16 | uint32_t{rx[10]} << 8 | rx[11];
      QV_FUZZ_CHECK(shown == QString::number(v));
    } else {
      QV_FUZZ_CHECK(shown == QStringLiteral("-"));
    }
  }
  if (ok && e.channel == 6) {
    QV_FUZZ_CHECK(std::equal(samples.begin(), samples.end(), rx.begin() + 8));
  } else {
    QV_FUZZ_CHECK(std::all_of(samples.begin(), samples.end(), [](uint8_t b) { return b == kUntouched; }));
  }
  return 0;
}
