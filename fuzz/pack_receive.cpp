// The UR2 answer reader: an answer reaches the dispatcher exactly when its two frames, each found where it
// starts behind noise, say so (a header with status 0, then its data frame, every constant byte, check byte and
// CHK holding), with the ID, index and data the frames carry; the frames read are kept as they came, and the
// read takes no byte past the second frame.

#include "FuzzLink.h"
#include "PackReply.h"
#include "link/PackFrames.h"
#include "mainwindow/MainFormControls.h"

#include <vector>

using namespace qv;

namespace {

struct Dispatched {
  uint16_t id, index;
  std::array<uint8_t, 8> data;
};

class RecordingSink : public link::PackMessageSink {
 public:
  std::vector<Dispatched> seen;
  void DispatchPackMessage(uint16_t id, uint16_t index, const uint8_t data[8]) override {
    Dispatched d{id, index, {}};
    std::copy_n(data, 8, d.data.begin());
    seen.push_back(d);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::LinkRig& rig = fuzz::LinkRig::get();
  static RecordingSink sink;
  rig.link.setPackMessageSink(&sink);
  sink.seen.clear();

  fuzz::Input in(data, size);
  const uint8_t mode = in.u8();
  const uint8_t gaps = (mode & 0x08) != 0 ? in.u8() : 0;
  std::vector<uint8_t> reply = in.rest();
  // Sealed: both frames made whole over the input's bytes, behind and between a few bytes of noise; a high bit
  // then breaks one byte again.
  const size_t before = gaps & 0x0F, between = gaps >> 4;
  const size_t span = before + between + 2 * fuzz::kAnswerFrame;
  if ((mode & 0x01) != 0 && reply.size() >= span) {
    fuzz::sealFrame(reply.data() + before, 3);
    fuzz::sealFrame(reply.data() + before + fuzz::kAnswerFrame + between, 4);
    if ((mode & 0x02) != 0) reply[(mode >> 2) % span] ^= 0x01;
  }
  rig.driver->reset();
  rig.driver->put(reply);
  const platform::FtStatus status = fuzz::statusFrom(mode >> 4);
  rig.driver->script.push_back({0xFFFFFFFF, status});
  rig.link.PackReplyFrames.with([](link::PackReplyStore& s) { s = fuzz::sentinelStore(); });

  const bool ok = link::ReceivePackMessage(rig.link);

  const link::PackReplyStore store = rig.link.PackReplyFrames.snapshot();
  const fuzz::ReplyRead read = fuzz::readReplies(reply, 2, 2 * fuzz::kAnswerFrame);
  const bool whole = status == platform::FT_OK && read.placed.size() == 2 * fuzz::kAnswerFrame;
  std::vector<uint8_t> frames(read.placed);
  frames.resize(2 * fuzz::kAnswerFrame, 0);
  const uint8_t* header = frames.data();
  const uint8_t* body = header + fuzz::kAnswerFrame;
  const bool expected = whole && fuzz::frameHolds(header, 3) && fuzz::status(header) == 0 && fuzz::frameHolds(body, 4);
  QV_FUZZ_CHECK(ok == expected);
  if (status == platform::FT_OK) QV_FUZZ_CHECK(rig.driver->wire.size() == reply.size() - read.consumed);
  if (!whole) {
    QV_FUZZ_CHECK(store.count == 77);
  } else {
    QV_FUZZ_CHECK(store.count == 2);
    QV_FUZZ_CHECK(fuzz::recordIs(store.frames[0], header) && fuzz::recordIs(store.frames[1], body));
  }
  if (status != platform::FT_OK) QV_FUZZ_CHECK(rig.link.controls.color(qv::mainwindow::ctl::Shape_RX) == colour::White);
  if (expected) {
    QV_FUZZ_CHECK(sink.seen.size() == 1);
    QV_FUZZ_CHECK(sink.seen[0].id == fuzz::be16At(fuzz::message(header)));
    QV_FUZZ_CHECK(sink.seen[0].index == fuzz::be16At(fuzz::message(header) + 2));
    QV_FUZZ_CHECK(std::equal(sink.seen[0].data.begin(), sink.seen[0].data.end(), fuzz::message(body)));
  } else {
    QV_FUZZ_CHECK(sink.seen.empty());
  }
  return 0;
}
