// The UR96 record reader: a reply is decoded exactly when its bytes say it is a whole UR96 record (104 bytes
// from where it starts behind noise, the 0x0702 envelope of 96 bytes, "J", the record's sum and the frame's
// CHK) and nothing came after it in the read: the read ends at the record's 104 bytes but takes with them
// whatever has arrived by then, up to its 624 bytes. Every box the record gives plainly then shows what its
// bytes say.

#include "FuzzLink.h"
#include "FuzzStore.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/Ur96Record.h"

#include <QDir>
#include <QTemporaryDir>

using namespace qv;

namespace {

constexpr size_t kReply = 104;
constexpr size_t kRecord = 6;

uint64_t be(const std::vector<uint8_t>& b, size_t at, int width) {
  uint64_t v = 0;
  for (int k = 0; k < width; ++k) v = v << 8 | b[kRecord + at + static_cast<size_t>(k)];
  return v;
}

uint8_t sumOf(const std::vector<uint8_t>& b) {
  uint8_t s = 0;
  for (size_t i = 1; i <= 94; ++i) s = static_cast<uint8_t>(s + b[kRecord + i]);
  return s;
}

QString temperature(uint8_t t) { return t >= 128 ? "-" + QString::number(256 - t) : QString::number(t); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static QTemporaryDir folder;
  static bool entered = folder.isValid() && QDir::setCurrent(folder.path());
  QV_FUZZ_CHECK(entered);
  fuzz::LinkRig& rig = fuzz::LinkRig::get();

  fuzz::Input in(data, size);
  const uint8_t mode = in.u8();
  const size_t noise = (mode & 0x08) != 0 ? in.u8() % 32 : 0;
  std::vector<uint8_t> reply = in.rest();
  // Sealed: behind `noise` bytes of the input, envelope, "J", sum and CHK laid over the input's bytes; a high
  // bit then breaks one byte again.
  if ((mode & 0x01) != 0 && reply.size() >= noise + kReply) {
    std::vector<uint8_t> r(reply.begin() + static_cast<std::ptrdiff_t>(noise),
                           reply.begin() + static_cast<std::ptrdiff_t>(noise + kReply));
    r[0] = 0x55, r[1] = 0xAA, r[2] = 0x07, r[3] = 0x02, r[4] = 0x00, r[5] = 96;
    r[kRecord] = 'J';
    r[kRecord + 95] = sumOf(r);
    r[102] = static_cast<uint8_t>(0xFF - fuzz::xorOf(r.data() + 2, 100));
    std::copy(r.begin(), r.end(), reply.begin() + static_cast<std::ptrdiff_t>(noise));
    if ((mode & 0x02) != 0) reply[noise + (mode >> 2) % kReply] ^= 0x04;
  }
  rig.driver->reset();
  rig.driver->tellsQueue = (mode & 0x04) != 0;
  rig.driver->put(reply);
  const platform::FtStatus status = fuzz::statusFrom(mode >> 4);
  rig.driver->script.push_back({0xFFFFFFFF, status});

  qv::fuzz::FuzzStore controls;
  if ((mode & 0x80) != 0) {
    ControlState shown;
    controls.declare(qv::mainwindow::ctl::TabSheetST, shown);
    controls.declare(qv::mainwindow::ctl::TabSheetKL, shown);
  }
  mainwindow::MainState state;
  const bool ok = mainwindow::ReadUr96Record(rig.link, controls, state);

  // What the read took, and where the reply starts in it: at the first 55 AA 07 02, or failing that the
  // first 55 AA, or failing that the first byte.
  const size_t took = std::min<size_t>(reply.size(), 624);
  size_t start = took;
  for (size_t k = 0; k + 4 <= took && start == took; ++k) {
    if (reply[k] == 0x55 && reply[k + 1] == 0xAA && reply[k + 2] == 0x07 && reply[k + 3] == 0x02) start = k;
  }
  for (size_t k = 0; k + 2 <= took && start == took; ++k) {
    if (reply[k] == 0x55 && reply[k + 1] == 0xAA) start = k;
  }
  if (start == took) start = 0;
  if (status == platform::FT_OK) QV_FUZZ_CHECK(rig.driver->wire.size() == reply.size() - took);
  std::vector<uint8_t> b(reply.begin() + static_cast<std::ptrdiff_t>(start), reply.end());
  b.resize(std::max<size_t>(b.size(), kReply), 0);
  const bool expected = status == platform::FT_OK && took - start == kReply && b[0] == 0x55 && b[1] == 0xAA &&
                        b[2] == 0x07 && b[3] == 0x02 && b[4] == 0x00 && b[5] == 96 && b[kRecord] == 'J' &&
                        b[kRecord + 95] == sumOf(b) &&
                        b[102] == static_cast<uint8_t>(0xFF - fuzz::xorOf(b.data() + 2, 100));
  QV_FUZZ_CHECK(ok == expected);
  QV_FUZZ_CHECK(controls.maximum(qv::mainwindow::ctl::ProgressBarSOC) == 100);
  if (!ok) {
    QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::EditRSOC).isEmpty() &&
                  controls.text(qv::mainwindow::ctl::EditFWID).isEmpty());
    return 0;
  }
  QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::EditRSOC) == QString::number(b[kRecord + 2]));
  QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::EditRC) == QString::number(be(b, 19, 4)));
  QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::EditPackCurrent) ==
                QString::number(static_cast<int32_t>(be(b, 23, 4))));
  QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::EditPackVolt) == QString::number(be(b, 27, 4)));
  QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::EditFWVer) == QString::number(be(b, 43, 2)));
  QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::EditCellSeries) == QString::number(b[kRecord + 45]));
  QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::EditCellParallel) == QString::number(b[kRecord + 46]));
  QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::EditT1) == temperature(b[kRecord + 50]));
  QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::EditT2) == temperature(b[kRecord + 51]));
  QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::EditT3) ==
                (b[kRecord + 52] == 0 ? QString() : temperature(b[kRecord + 52])));
  // The id ends at its first space or zero, within twelve characters; the serial at its first zero, within eight.
  QByteArray id, serial;
  for (size_t k = 31; k < 43 && b[kRecord + k] != ' ' && b[kRecord + k] != 0; ++k)
    id.append(static_cast<char>(b[kRecord + k]));
  for (size_t k = 56; k < 64 && b[kRecord + k] != 0; ++k) serial.append(static_cast<char>(b[kRecord + k]));
  QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::EditFWID) == QString::fromLatin1(id));
  QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::EditPDSN) == QString::fromLatin1(serial));
  const auto& flagBoxes = qv::mainwindow::ctl::kFlagEdits;
  for (int bit = 0; bit < 6; ++bit) {
    QV_FUZZ_CHECK(controls.color(flagBoxes[static_cast<size_t>(bit)]) ==
                  ((b[kRecord + 48] >> bit & 1) != 0 ? colour::Red : colour::LightGreen));
  }
  if ((mode & 0x80) != 0) {
    QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::EditMaxChgCapacitymAh) == QString::number(be(b, 69, 4)));
    QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::EditChgProtectionDelay) == QString::number(be(b, 74, 2)));
  }
  const mainwindow::ReportRecord report = state.report.snapshot();
  QV_FUZZ_CHECK(report.packVoltage == be(b, 27, 4) && report.protectionFlags == b[kRecord + 48]);
  return 0;
}
