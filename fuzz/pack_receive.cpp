// The UR2 answer reader: an answer reaches the dispatcher exactly when its two frames say so (a header with
// status 0, then its data frame, every constant byte, check byte and CHK holding), with the ID, index and data
// the frames carry; the frames read are kept as they came.

#include "FuzzLink.h"
#include "link/PackFrames.h"
#include "mainwindow/MainFormControls.h"
#include "PackReply.h"

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
  std::vector<uint8_t> reply = in.rest();
  // Sealed: both frames made whole over the input's bytes; a high bit then breaks one byte again.
  if ((mode & 0x01) != 0 && reply.size() >= 2 * fuzz::kAnswerFrame) {
    fuzz::sealFrame(reply.data(), 3);
    fuzz::sealFrame(reply.data() + fuzz::kAnswerFrame, 4);
    if ((mode & 0x02) != 0) reply[(mode >> 2) % (2 * fuzz::kAnswerFrame)] ^= 0x01;
  }
  rig.driver->reset();
  rig.driver->put(reply);
  const platform::FtStatus status = fuzz::statusFrom(mode >> 4);
  rig.driver->script.push_back({0xFFFFFFFF, status});
  rig.link.PackReplyFrames.with([](link::PackReplyStore& s) { s = fuzz::sentinelStore(); });

  const bool ok = link::ReceivePackMessage(rig.link);

  const link::PackReplyStore store = rig.link.PackReplyFrames.snapshot();
  const bool whole = status == platform::FT_OK && reply.size() >= 2 * fuzz::kAnswerFrame;
  std::vector<uint8_t> rx(reply);
  rx.resize(std::max<size_t>(rx.size(), 2 * fuzz::kAnswerFrame), 0);
  const uint8_t* header = rx.data();
  const uint8_t* body = rx.data() + fuzz::kAnswerFrame;
  const bool expected = whole && fuzz::frameHolds(header, 3) && fuzz::status(header) == 0 && fuzz::frameHolds(body, 4);
  QV_FUZZ_CHECK_PENDING(ok == expected);
  if (!whole) {
    QV_FUZZ_CHECK_PENDING(store.count == 77);
  } else {
    QV_FUZZ_CHECK_PENDING(store.count == 2);
    QV_FUZZ_CHECK_PENDING(fuzz::recordIs(store.frames[0], header) && fuzz::recordIs(store.frames[1], body));
  }
  if (status != platform::FT_OK) QV_FUZZ_CHECK_PENDING(rig.link.controls.color(qv::mainwindow::ctl::Shape_RX) == colour::White);
  if (expected) {
    QV_FUZZ_CHECK_PENDING(sink.seen.size() == 1);
    QV_FUZZ_CHECK_PENDING(sink.seen[0].id == fuzz::be16At(fuzz::message(header)));
    QV_FUZZ_CHECK_PENDING(sink.seen[0].index == fuzz::be16At(fuzz::message(header) + 2));
    QV_FUZZ_CHECK_PENDING(std::equal(sink.seen[0].data.begin(), sink.seen[0].data.end(), fuzz::message(body)));
  } else {
    QV_FUZZ_CHECK_PENDING(sink.seen.empty());
  }
  return 0;
}
