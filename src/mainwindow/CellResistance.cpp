#include "mainwindow/CellResistance.h"

#include "mainwindow/EvtIni.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/MainFormPages.h"
#include "platform/Ini.h"

#include <QFileInfo>

#include <cstdint>

namespace qv::mainwindow {
namespace {

constexpr Control kStatusBarView = ctl::StatusBarView;
constexpr int kMessagePanel = 2;
constexpr Control kButtons[] = {ctl::BitBtnRCellmOmhAdjust, ctl::BitBtnCellRPrarmLoad, ctl::BitBtnWCellmOmhAdjust};

constexpr char kSection[] = "Set";
// A value longer than this is cut in the status bar; the rest is of no help there.
constexpr int kShownValueLength = 40;

QByteArray keyOf(int cell) { return QByteArrayLiteral("CellR") + QByteArray::number(cell); }

void emptyBoxes(Controls& controls) {
  for (Control box : ctl::kCellResistanceEdits) controls.setText(box, QString());
}

void disableButtons(Controls& controls) {
  for (Control button : kButtons) controls.setEnabled(button, false);
}

}  // namespace

QString CellResistanceError::message() const {
  if (unreadable) return QStringLiteral("  %1 cannot be read.").arg(QLatin1String(kCellResistanceIniFile));
  QByteArray shown = value.left(kShownValueLength);
  if (value.size() > kShownValueLength) shown += "...";
  return QStringLiteral("  %1 [%2] %3 : ")
             .arg(QLatin1String(kCellResistanceIniFile), QLatin1String(kSection), QString::fromLatin1(keyOf(cell))) +
         NotAnIntegerText(shown);
}

CellResistanceLoad ReadCellResistances(QByteArrayView file) {
  CellResistanceLoad load;
  for (; load.cells < static_cast<int>(load.values.size()); ++load.cells) {
    const int cell = load.cells + 1;
    const QByteArray text = platform::profileValue(file, kSection, keyOf(cell), "0");
    const std::optional<int32_t> number = platform::profileInteger(text);
    if (!number) {
      load.error = CellResistanceError{false, cell, text};
      break;
    }
    load.values[static_cast<size_t>(load.cells)] = static_cast<int16_t>(static_cast<uint16_t>(*number));
  }
  return load;
}

QString CellResistanceIniPath() { return platform::currentFolderFile(QString::fromLatin1(kCellResistanceIniFile)); }

bool CellResistanceIniExists() { return platform::fileExists(CellResistanceIniPath()); }

bool LoadCellResistanceIni(Controls& controls, Guarded<CellResistanceValues>& values) {
  const QString path = CellResistanceIniPath();
  const std::optional<QByteArray> file = platform::readProfileFile(path);
  CellResistanceLoad load;
  if (file) {
    load = ReadCellResistances(*file);
  } else if (QFileInfo::exists(path)) {
    // There, and not to be read: its values cannot be told from the defaults, so none are taken.
    load.error = CellResistanceError{true, 0, {}};
  } else {
    load = ReadCellResistances({});
  }
  values.with([&](CellResistanceValues& kept) {
    for (int i = 0; i < load.cells; ++i) kept[static_cast<size_t>(i)] = load.values[static_cast<size_t>(i)];
  });
  for (int i = 0; i < load.cells; ++i)
    controls.setText(ctl::kCellResistanceEdits[static_cast<size_t>(i)],
                     QString::number(load.values[static_cast<size_t>(i)]));
  if (load.error) controls.setPanel(kStatusBarView, kMessagePanel, load.error->message());
  return !load.error;
}

void CellResistanceLoadClick(Controls& controls, Guarded<CellResistanceValues>& values) {
  controls.setEnabled(ctl::BitBtnCellRPrarmLoad, false);
  emptyBoxes(controls);
  if (CellResistanceIniExists() && LoadCellResistanceIni(controls, values))
    controls.setEnabled(ctl::BitBtnWCellmOmhAdjust, true);
  // A load that stopped gives the button back too, so a mended file can be loaded at once.
  controls.setEnabled(ctl::BitBtnCellRPrarmLoad, true);
}

void CellResistanceReadClick(Controls& controls) {
  disableButtons(controls);
  controls.setPanel(kStatusBarView, kMessagePanel, QString::fromLatin1(kCellResistanceReadText));
  emptyBoxes(controls);
}

void CellResistanceWriteClick(Controls& controls) {
  disableButtons(controls);
  controls.setPanel(kStatusBarView, kMessagePanel, QString::fromLatin1(kCellResistanceWriteText));
}

}  // namespace qv::mainwindow
