#include "sim/SimAdapter.h"

#include "platform/PortDriver.h"
#include "platform/Time.h"

#include <algorithm>

namespace qv::sim {

uint8_t checksum(const uint8_t* bytes, size_t n) {
  uint8_t x = 0;
  for (size_t i = 0; i < n; ++i) x ^= bytes[i];
  return static_cast<uint8_t>(0xFF - x);
}

QByteArray replyFrame(uint16_t type, const QByteArray& payload) {
  QByteArray covered;
  covered.append(static_cast<char>(type >> 8));
  covered.append(static_cast<char>(type & 0xFF));
  covered.append(static_cast<char>((payload.size() >> 8) & 0xFF));
  covered.append(static_cast<char>(payload.size() & 0xFF));
  covered.append(payload);
  QByteArray frame("\x55\xAA", 2);
  frame.append(covered);
  frame.append(static_cast<char>(checksum(covered)));
  frame.append('\x0D');
  return frame;
}

QByteArray encodeCan(const CanFrame& f) {
  uint8_t b[19] = {0x55, 0xAA, 0x04, 0x01};
  b[4] = static_cast<uint8_t>((f.length & 0x0F) << 4);
  b[5] = static_cast<uint8_t>(((f.id >> 24) & 0x1F) | (f.flag ? 0x40 : 0) | (f.ext ? 0x20 : 0));
  b[6] = static_cast<uint8_t>(f.id >> 16);
  b[7] = static_cast<uint8_t>(f.id >> 8);
  b[8] = static_cast<uint8_t>(f.id);
  std::copy(f.data, f.data + 8, b + 9);
  b[17] = checksum(b + 2, 15);
  b[18] = 0x0D;
  return QByteArray(reinterpret_cast<const char*>(b), 19);
}

bool decodeCan(const uint8_t* b, CanFrame* out) {
  if (b[17] != checksum(b + 2, 15)) return false;
  out->length = static_cast<uint8_t>(b[4] >> 4);
  out->flag = (b[5] & 0x40) != 0;
  out->ext = (b[5] & 0x20) != 0;
  out->id = static_cast<uint32_t>(b[5] & 0x1F) << 24 | static_cast<uint32_t>(b[6]) << 16 |
            static_cast<uint32_t>(b[7]) << 8 | b[8];
  std::copy(b + 9, b + 17, out->data);
  return true;
}

SimAdapter::SimAdapter(const platform::AdapterListRecord& record)
    : record_(record), startMs_(platform::monotonicMs()) {}

SimAdapter::~SimAdapter() = default;

void SimAdapter::setPack(std::shared_ptr<SerialPack> pack) {
  std::lock_guard lock(mutex_);
  pack_ = std::move(pack);
}

void SimAdapter::setCanNode(std::shared_ptr<CanNode> node) {
  std::lock_guard lock(mutex_);
  can_ = std::move(node);
}

void SimAdapter::setFixture(std::shared_ptr<Fixture> fixture) {
  std::lock_guard lock(mutex_);
  fixture_ = std::move(fixture);
}

std::shared_ptr<SerialPack> SimAdapter::pack() const {
  std::lock_guard lock(mutex_);
  return pack_;
}

std::shared_ptr<CanNode> SimAdapter::canNode() const {
  std::lock_guard lock(mutex_);
  return can_;
}

void SimAdapter::setFaults(const Faults& faults) {
  std::lock_guard lock(mutex_);
  faults_ = faults;
}

Faults SimAdapter::faults() const {
  std::lock_guard lock(mutex_);
  return faults_;
}

void SimAdapter::unplug() {
  std::lock_guard lock(mutex_);
  plugged_ = false;
  if (rx_ != nullptr) rx_->fail();
}

void SimAdapter::replug() {
  std::lock_guard lock(mutex_);
  plugged_ = true;
}

bool SimAdapter::plugged() const {
  std::lock_guard lock(mutex_);
  return plugged_;
}

uint8_t SimAdapter::canRateByte() const {
  std::lock_guard lock(mutex_);
  return rateByte_;
}

void SimAdapter::setCanRateByte(uint8_t p) {
  std::lock_guard lock(mutex_);
  rateByte_ = p;
}

void SimAdapter::setAnswersRateQuery(bool answers) {
  std::lock_guard lock(mutex_);
  answersRateQuery_ = answers;
}

std::vector<QByteArray> SimAdapter::written() const {
  std::lock_guard lock(mutex_);
  return written_;
}

void SimAdapter::clearWritten() {
  std::lock_guard lock(mutex_);
  written_.clear();
}

void SimAdapter::inject(const QByteArray& bytes) {
  std::lock_guard lock(mutex_);
  send(bytes);
}

int64_t SimAdapter::nowMs() const {
  const double scale = platform::timeScale();
  return static_cast<int64_t>(static_cast<double>(platform::monotonicMs() - startMs_) / scale);
}

void SimAdapter::connect(platform::RxQueue* rx) {
  std::lock_guard lock(mutex_);
  rx_ = rx;
  input_.clear();
  pendingCan_.clear();
  late_.clear();
}

void SimAdapter::disconnect() {
  std::lock_guard lock(mutex_);
  rx_ = nullptr;
}

void SimAdapter::send(const QByteArray& bytes) {
  if (rx_ == nullptr || bytes.isEmpty()) return;
  rx_->push(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
}

void SimAdapter::sendCan(const std::vector<CanFrame>& frames) {
  if (faults_.silent) return;
  for (CanFrame f : frames) {
    if (faults_.canLengthNibble >= 0) f.length = static_cast<uint8_t>(faults_.canLengthNibble);
    QByteArray bytes = encodeCan(f);
    if (faults_.canBadCheck) bytes[17] = static_cast<char>(bytes[17] ^ 0x5A);
    ++canFramesOut_;
    if (faults_.canCorruptEvery > 0 && canFramesOut_ % faults_.canCorruptEvery == 0) {
      // Bytes 0 to 17: the terminator is not checked by the reader, so a change there would corrupt nothing.
      const auto at = static_cast<qsizetype>((canFramesOut_ / faults_.canCorruptEvery) % 18);
      bytes[at] = static_cast<char>(bytes[at] ^ 0x24);
    }
    deliver(bytes, true);
  }
}

void SimAdapter::deliver(const QByteArray& frame, bool can) {
  const Fate fate = faults_.schedule ? faults_.schedule(scheduled_++, frame) : Fate::Deliver;
  const auto now = [&](const QByteArray& bytes) {
    if (can && faults_.canSplitAt > 0) {
      pendingCan_.append(bytes);
    } else {
      send(bytes);
    }
  };
  switch (fate) {
    case Fate::Deliver: now(frame); break;
    case Fate::Lose: break;
    case Fate::Late: late_.append(frame); break;
    case Fate::Double: now(frame + frame); break;
    case Fate::Split: {
      const qsizetype half = frame.size() / 2;
      now(frame.left(half));
      late_.append(frame.mid(half));
      break;
    }
  }
}

void SimAdapter::releaseLate() {
  if (late_.isEmpty()) return;
  send(late_);
  late_.clear();
}

void SimAdapter::flushPending() {
  if (pendingCan_.isEmpty() || faults_.canSplitAt <= 0) return;
  // Whole pieces per look at the queue, so a reader's reads end inside frames. All the whole pieces that
  // have built up go at once, as an adapter hands over all it holds: a reader held up by the load catches up
  // instead of falling ever further behind a bus that goes on at its pace.
  const int pending = static_cast<int>(pendingCan_.size());
  const int piece = faults_.canSplitAt;
  const int n = pending < piece ? pending : pending / piece * piece;
  send(pendingCan_.left(n));
  pendingCan_.remove(0, n);
}

void SimAdapter::pump() {
  std::lock_guard lock(mutex_);
  if (!plugged_) return;
  if (can_) {
    std::vector<CanFrame> out;
    can_->tick(nowMs(), out);
    sendCan(out);
  }
  flushPending();
}

platform::FtStatus SimAdapter::hostWrite(const uint8_t* data, uint32_t n, uint32_t* written) {
  std::lock_guard lock(mutex_);
  if (!plugged_) return platform::FT_IO_ERROR;
  input_.append(reinterpret_cast<const char*>(data), static_cast<int>(n));
  *written = n;
  // Cut the input into frames; bytes that start no frame are dropped, as the adapter resynchronises on 55 AA.
  for (;;) {
    const int start = input_.indexOf("\x55\xAA");
    if (start < 0) {
      if (input_.endsWith('\x55')) input_ = input_.right(1);
      else input_.clear();
      break;
    }
    if (start > 0) input_.remove(0, start);
    if (input_.size() < 8) break;
    const auto u8 = [&](int i) { return static_cast<uint8_t>(input_[i]); };
    const uint16_t type = static_cast<uint16_t>(u8(2) << 8 | u8(3));
    int length = 0;
    if (type == 0x0401 || type == 0x0109 || type == 0x010B) {
      length = 19;
    } else if (type == 0x0701 || type == 0x0118) {
      length = (u8(4) << 8 | u8(5)) + 10;
    } else if (type == 0x011A) {
      length = (u8(4) << 8 | u8(5)) + 8;
    } else {
      input_.remove(0, 2);  // not a frame the adapter knows
      continue;
    }
    if (input_.size() < length) break;
    const QByteArray frame = input_.left(length);
    input_.remove(0, length);
    written_.push_back(frame);
    // What was held back comes now: after this request reached the adapter, before its answer.
    releaseLate();
    handleFrame(frame);
  }
  return platform::FT_OK;
}

void SimAdapter::handleFrame(const QByteArray& frame) {
  const auto u8 = [&](int i) { return static_cast<uint8_t>(frame[i]); };
  const uint16_t type = static_cast<uint16_t>(u8(2) << 8 | u8(3));
  const int n = static_cast<int>(frame.size());
  const bool frameOk =
      u8(n - 1) == 0x0D &&
      u8(n - 2) == checksum(reinterpret_cast<const uint8_t*>(frame.constData()) + 2, static_cast<size_t>(n - 4));
  if (!frameOk) return;  // the adapter ignores a frame whose check byte does not hold

  if (type == 0x0701 || type == 0x0118) {
    const int length = u8(4) << 8 | u8(5);
    const uint16_t expected = static_cast<uint16_t>(u8(6) << 8 | u8(7));
    const QByteArray payload = frame.mid(8, length);
    std::vector<QByteArray> answers;
    uint16_t replyType = 0x0702;
    if (type == 0x0701) {
      if (pack_) answers = pack_->answer(payload, expected);
    } else {
      replyType = 0x0119;
      if (fixture_ && payload.size() >= 2) {
        const uint16_t channel = static_cast<uint16_t>(u8(8) << 8 | u8(9));
        QByteArray data = fixture_->measure(channel, expected);
        if (!data.isEmpty()) answers.push_back(data);
      }
    }
    if (faults_.silent) return;
    for (const QByteArray& answer : answers) {
      QByteArray reply = replyFrame(replyType, answer);
      if (faults_.wrongChk) reply[reply.size() - 2] = static_cast<char>(reply[reply.size() - 2] ^ 0x5A);
      if (faults_.shortBy > 0) reply.chop(std::min<int>(faults_.shortBy, static_cast<int>(reply.size())));
      send(faults_.noiseBefore);
      deliver(reply, false);
      send(faults_.leftover);
    }
  } else if (type == 0x011A) {
    if (fixture_) fixture_->switchCommand(frame.mid(6, u8(4) << 8 | u8(5)));
  } else if (type == 0x0401) {
    CanFrame f;
    if (!decodeCan(reinterpret_cast<const uint8_t*>(frame.constData()), &f)) return;
    if (can_) {
      std::vector<CanFrame> out;
      can_->tick(nowMs(), out);  // broadcasts due before this message go out first
      can_->receive(f, out);
      sendCan(out);
    }
  } else if (type == 0x010B) {
    const QByteArray pattern = frame.mid(6, 5);
    if (pattern[0] == '\x03' && pattern.mid(2) == QByteArray("\x04\x04\x07", 3)) rateByte_ = u8(7);
  } else if (type == 0x0109) {
    if (faults_.silent || !answersRateQuery_) return;
    uint8_t b[19] = {0x55, 0xAA, 0x01, 0x0A, 0x00, 0x00, 0x03, rateByte_, 0x04, 0x04, 0x07};
    b[17] = checksum(b + 2, 15);
    b[18] = 0x0D;
    send(QByteArray(reinterpret_cast<const char*>(b), 19));
  }
}

}  // namespace qv::sim
