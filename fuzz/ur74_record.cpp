// The UR74 answer record, one after another with the decoder's memory between them: every box the record's
// bytes give plainly (cells as the cell count in force allows, their sum, RSOC, the current and its sign, the
// firmware id, the protection colours) shows what those bytes say, and the spread is the spread of the cells.

#include "FuzzStore.h"
#include "FuzzSupport.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/Ur74Record.h"

#include <QDir>
#include <QTemporaryDir>

#include <string>

using namespace qv;

namespace {

QString id12(const std::vector<uint8_t>& r) {
  QByteArray t;
  for (size_t k = 39; k < 51 && r[k] != 0; ++k) t.append(static_cast<char>(r[k]));
  return QString::fromLatin1(t);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A folder without a capacity table: the energy boxes are the capacity target's.
  static QTemporaryDir folder;
  static bool entered = folder.isValid() && QDir::setCurrent(folder.path());
  QV_FUZZ_CHECK(entered);

  qv::fuzz::FuzzStore controls;
  mainwindow::MainState state;
  mainwindow::Ur74CellCount cellCount;
  int inForce = 0;
  fuzz::Input in(data, size);
  while (!in.empty()) {
    // A record of any length up to a little over its 74 bytes; the decoder reads zeros past its end.
    std::vector<uint8_t> record = in.bytes(in.u8() % 90);
    if (!record.empty() && (record[0] & 0x01) != 0) record[0] = '!';
    auto bytes = std::make_unique<char[]>(record.size() + 1);  // exactly the record's room, so ASan sees a spill
    std::copy(record.begin(), record.end(), bytes.get());
    mainwindow::DecodeUr74Record(QByteArrayView(bytes.get(), static_cast<qsizetype>(record.size())), controls, state,
                                 cellCount);
    QV_FUZZ_CHECK(controls.maximum(qv::mainwindow::ctl::ProgressBarSOC) == 200);
    record.resize(std::max<size_t>(record.size(), 80), 0);
    if (record[0] != '!') continue;

    const bool hasId = record[39] >= 'A' && record[39] <= 'Z';
    QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::EditFWID) == (hasId ? id12(record) : QString()));
    const auto digit = [](uint8_t c) { return c >= '0' && c <= '9'; };
    if (hasId && digit(record[41]) && digit(record[42])) inForce = (record[41] - '0') * 10 + (record[42] - '0');
    QV_FUZZ_CHECK(cellCount.inForce.load() == inForce);

    uint32_t sum = 0;
    std::vector<long long> cells;
    for (int cell = 1; cell <= 13; ++cell) {
      const uint16_t mv = inForce >= cell ? static_cast<uint16_t>(record[2 * cell - 1] << 8 | record[2 * cell]) : 0;
      sum += mv;
      cells.push_back(mv);
      QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::kCellEdits[static_cast<size_t>(cell - 1)]) ==
                    QString::number(mv));
    }
    QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::EditPackVolt) == QString::number(sum));
    // The count: 7 when cell 8 is 0, else the cell before the first zero from 8 on, else 13.
    int count = 13;
    for (int cell = 8; cell <= 13; ++cell) {
      if (cells[static_cast<size_t>(cell - 1)] == 0) {
        count = cell - 1;
        break;
      }
    }
    if (count == 7 || count == 10 || count == 13) {
      const auto [lo, hi] = std::minmax_element(cells.begin(), cells.begin() + count);
      QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::Edit_HVlot) == QString::number(*hi));
      QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::Edit_LVolt) == QString::number(*lo));
      QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::Edit_VoltDiff) == QString::number(*hi - *lo));
    } else {
      QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::Edit_HVlot) == QStringLiteral("0"));
    }
    QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::EditRSOC) == QString::number(record[53] >> 1));
    QV_FUZZ_CHECK(controls.position(qv::mainwindow::ctl::ProgressBarSOC) == std::min<int>(record[53], 200));
    const QString current = QString::number(record[70] << 8 | record[71]);
    QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::EditPackCurrent) ==
                  ((record[54] & 0x40) != 0 ? QStringLiteral("-") + current : current));
    const auto& flagBoxes = qv::mainwindow::ctl::kFlagEdits;
    for (int bit = 0; bit < 5; ++bit) {
      QV_FUZZ_CHECK(controls.color(flagBoxes[static_cast<size_t>(bit)]) ==
                    ((record[52] >> bit & 1) != 0 ? colour::Red : colour::White));
    }
    long long asoc = -1;
    QV_FUZZ_CHECK(parseInt(controls.text(qv::mainwindow::ctl::EditASOC), &asoc) && asoc >= 0);
  }
  return 0;
}
