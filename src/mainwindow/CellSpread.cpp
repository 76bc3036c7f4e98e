#include "mainwindow/CellSpread.h"

#include "mainwindow/MainFormControls.h"

namespace qv::mainwindow {

void ShowCellSpread(Controls& controls, long long highest, long long lowest) {
  controls.setText(ctl::Edit_HVlot, QString::number(highest));
  controls.setText(ctl::Edit_LVolt, QString::number(lowest));
  controls.setText(ctl::Edit_VoltDiff, QString::number(highest - lowest));
}

}  // namespace qv::mainwindow
