// MTD.ini's cell resistances over any file: cell after cell, [Set] CellR1 to CellR13 read as a second reader of
// the INI rules reads them ("0" for a missing key), each a number as the rules take one and kept as its low 16
// bits, signed; the first value that is no number stops the load, named with its cell and value, and the
// cells from it on stay zero.

#include "FuzzSupport.h"
#include "IniModel.h"
#include "mainwindow/CellResistance.h"

#include <string>

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<std::string> kSections = {"Set", "SET", "Check", "Se t"};
  static const std::vector<std::string> kKeys = {"CellR1",  "CellR2",  "CellR3", "CellR4",  "CellR5",  "CellR6",
                                                 "CellR7",  "CellR8",  "CellR9", "CellR10", "CellR11", "CellR12",
                                                 "CellR13", "CellR14", "CellR0", "CellR01", "Cell R1"};
  fuzz::Input in(data, size);
  const std::string file = fuzz::iniText(in, kSections, kKeys);
  const mainwindow::CellResistanceLoad load =
      mainwindow::ReadCellResistances(QByteArrayView(file.data(), static_cast<qsizetype>(file.size())));

  const std::vector<fuzz::IniLine> lines = fuzz::iniLines(file);
  int cells = 0;
  std::optional<std::string> stopped;
  for (; cells < 13; ++cells) {
    const std::string text = fuzz::iniValue(lines, "Set", "CellR" + std::to_string(cells + 1), "0");
    const std::optional<int32_t> n = fuzz::iniNumber(text);
    if (!n) {
      stopped = text;
      break;
    }
    QV_FUZZ_CHECK(load.values[static_cast<size_t>(cells)] == static_cast<int16_t>(*n & 0xFFFF));
  }
  QV_FUZZ_CHECK(load.cells == cells);
  for (int i = cells; i < 13; ++i) QV_FUZZ_CHECK(load.values[static_cast<size_t>(i)] == 0);
  QV_FUZZ_CHECK(load.error.has_value() == stopped.has_value());
  if (stopped) {
    QV_FUZZ_CHECK(!load.error->unreadable && load.error->cell == cells + 1 &&
                  load.error->value.toStdString() == *stopped);
    const QString message = load.error->message();
    QV_FUZZ_CHECK(message.startsWith(QStringLiteral("  MTD.ini [Set] CellR%1 : ''").arg(cells + 1)));
    QV_FUZZ_CHECK(message.endsWith(QStringLiteral("'' is not a valid integer value")));
  }
  return 0;
}
