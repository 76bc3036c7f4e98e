// The UR2 acknowledgement reader: a write counts as acknowledged exactly when the first frame found (behind
// noise) is a header for that ID and index with status 0 and the last frame at an odd position has status 0
// too; up to ten frames are kept as they came, laid back to back in 21-byte records; a short or failed read
// keeps nothing; and the read takes no byte past the frames it needs.

#include "FuzzLink.h"
#include "PackReply.h"
#include "link/PackFrames.h"

#include <vector>

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::LinkRig& rig = fuzz::LinkRig::get();
  rig.link.setPackMessageSink(nullptr);
  fuzz::Input in(data, size);
  const uint8_t mode = in.u8();
  uint16_t id = in.u16();
  uint16_t index = in.u16();
  const std::vector<uint8_t> reply = in.rest();
  const fuzz::ReplyRead read = fuzz::readReplies(reply, 10, 10 * fuzz::kAnswerFrame);
  // The ID and index the first frame carries, so that the frames' own checks are reached.
  if ((mode & 0x01) != 0 && read.placed.size() >= 13) {
    id = fuzz::be16At(read.placed.data() + 9);
    index = fuzz::be16At(read.placed.data() + 11);
  }
  rig.driver->reset();
  rig.driver->put(reply);
  const platform::FtStatus status = fuzz::statusFrom(mode >> 4);
  rig.driver->script.push_back({0xFFFFFFFF, status});
  rig.link.PackReplyFrames.with([](link::PackReplyStore& s) { s = fuzz::sentinelStore(); });

  const bool ok = link::WaitPackAck(rig.link, id, index);

  const link::PackReplyStore store = rig.link.PackReplyFrames.snapshot();
  if (status != platform::FT_OK || read.placed.size() < fuzz::kAnswerFrame) {
    QV_FUZZ_CHECK(!ok);
    QV_FUZZ_CHECK(store.count == 77);
    return 0;
  }
  QV_FUZZ_CHECK(rig.driver->wire.size() == reply.size() - read.consumed);
  const int frames = static_cast<int>(read.placed.size() / fuzz::kAnswerFrame);
  QV_FUZZ_CHECK(store.count == frames);
  for (int i = 0; i < frames; ++i)
    QV_FUZZ_CHECK(fuzz::recordIs(store.frames[i], read.placed.data() + i * fuzz::kAnswerFrame));
  const uint8_t* first = read.placed.data();
  // Positions counted from 1: the last odd one of 1..frames.
  const int lastOdd = (frames % 2 == 1 ? frames : frames - 1) - 1;
  const bool expected = first[8] == 3 && first[7] == 0 && fuzz::status(first) == 0 &&
                        fuzz::be16At(fuzz::message(first)) == id && fuzz::be16At(fuzz::message(first) + 2) == index &&
                        fuzz::status(read.placed.data() + lastOdd * fuzz::kAnswerFrame) == 0;
  QV_FUZZ_CHECK(ok == expected);
  return 0;
}
