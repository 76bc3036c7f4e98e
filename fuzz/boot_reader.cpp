// The bootloader's frames back out of the adapter: 0x0702 frames unwrapped (noise and frames with a wrong CHK
// skipped) and the frame reader's byte rules applied. Checked against a second reading of the same bytes: the
// pack-frame bytes of every whole 0x0702 frame found by a scan of the wire, the 13-byte frames in them that
// begin "@" 00 and end 0D with no frame begun inside, and what the acknowledgement and verify waiters make of
// those frames. A short wire is read whole within the reader's 1024 reads, so there the readings must agree
// frame for frame; on a longer one the reader's frames come first in the scan's.

#include "FuzzLink.h"
#include "firmware/BootFrames.h"

#include <optional>
#include <vector>

using namespace qv;

namespace {

// The pack-frame bytes of every whole 0x0702 frame, scanning from the front and stepping one byte past
// anything that is not one.
std::vector<uint8_t> unwrapped(const std::vector<uint8_t>& wire) {
  std::vector<uint8_t> out;
  size_t i = 0;
  while (i + 21 <= wire.size()) {
    const uint8_t* w = wire.data() + i;
    const bool whole = w[0] == 0x55 && w[1] == 0xAA && w[2] == 0x07 && w[3] == 0x02 && w[4] == 0x00 && w[5] == 13 &&
                       w[20] == 0x0D && w[19] == static_cast<uint8_t>(0xFF ^ fuzz::xorOf(w + 2, 17));
    if (!whole) {
      ++i;
      continue;
    }
    out.insert(out.end(), w + 6, w + 19);
    i += 21;
  }
  return out;
}

// The frames of the byte rules: "@", then 00, then ten bytes of anything, then 0D as the 13th.
std::vector<firmware::BootFrame> framesOf(const std::vector<uint8_t>& s) {
  std::vector<firmware::BootFrame> out;
  size_t i = 0;
  while (i < s.size()) {
    if (s[i] != 0x40) {
      ++i;
      continue;
    }
    if (i + 1 >= s.size()) break;
    if (s[i + 1] != 0x00) {
      i += 2;  // the byte after "@" is used up
      continue;
    }
    if (i + 13 > s.size()) break;
    if (s[i + 12] != 0x0D) {
      i += 13;  // the 13th byte is used up with the frame
      continue;
    }
    firmware::BootFrame f;
    std::copy(s.begin() + static_cast<long>(i), s.begin() + static_cast<long>(i) + 13, f.begin());
    out.push_back(f);
    i += 13;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::LinkRig& rig = fuzz::LinkRig::get();
  fuzz::Input in(data, size);
  const std::vector<uint8_t> wire = in.rest();
  const std::vector<firmware::BootFrame> expected = framesOf(unwrapped(wire));
  const bool whole = wire.size() <= 1000;

  rig.driver->reset();
  rig.driver->put(wire);
  firmware::AdapterBootPort port(rig.link);
  std::vector<firmware::BootFrame> frames;
  QV_FUZZ_CHECK(!firmware::ReadBootFrames(port, [&](const firmware::BootFrame& f) {
    frames.push_back(f);
    return false;
  }));
  QV_FUZZ_CHECK(frames.size() <= expected.size());
  for (size_t i = 0; i < frames.size(); ++i) QV_FUZZ_CHECK(frames[i] == expected[i]);
  if (whole) QV_FUZZ_CHECK(frames.size() == expected.size());
  if (!whole) return 0;

  rig.driver->reset();
  rig.driver->put(wire);
  firmware::AdapterBootPort ackPort(rig.link);
  const bool acknowledged = firmware::WaitBootAck(ackPort);
  QV_FUZZ_CHECK(acknowledged == (!expected.empty() && expected[0][2] == 3 && expected[0][10] == 0));

  rig.driver->reset();
  rig.driver->put(wire);
  firmware::AdapterBootPort verifyPort(rig.link);
  firmware::VerifyReply reply;
  reply.disarm();
  std::optional<uint8_t> checksum;
  bool armed = false;
  for (const firmware::BootFrame& f : expected) {
    if (f[2] == 3 && f[10] == 0) armed = true;
    if (f[2] == 4 && armed) {
      checksum = f[3];
      break;
    }
  }
  const bool answered = reply.WaitVerifyReply(verifyPort);
  QV_FUZZ_CHECK(answered == checksum.has_value());
  if (answered) QV_FUZZ_CHECK(reply.deviceChecksum() == *checksum);
  return 0;
}
