#include "mainwindow/MainFormPages.h"

#include "mainwindow/MainFormControls.h"

namespace qv::mainwindow {

// The Function Test.
std::vector<ControlDef> MainFormTabSheet_EVT() {
  const Control input = ctl::GroupBoxEVTInput;
  return {
      page(ctl::TabSheet_EVT, "CANEVT"),
      place(Kind::Button, ctl::SpdBtn_EVTTest, ctl::TabSheet_EVT, 12, 12, 130, 50, "TEST")
          .ink(colour::Navy)
          .font(24, true),
      // The ambient temperature of the temperature check; EVT.ini fills it when it is empty.
      place(Kind::Label, ctl::LabelEVTT1, ctl::TabSheet_EVT, 160, 20, 60, 14, "環境溫度"),
      place(Kind::Edit, ctl::EditEVTT1, ctl::TabSheet_EVT, 224, 16, 40, 20),
      place(Kind::Label, ctl::LabelEVTT1Unit, ctl::TabSheet_EVT, 268, 20, 24, 14, "℃ "),
      place(Kind::GroupBox, input, ctl::TabSheet_EVT, 12, 70, 300, 110, " Input Setting "),
      place(Kind::Label, ctl::LabelEVTWorkNumber, input, 10, 22, 64, 14, "工單號碼"),
      place(Kind::Edit, ctl::EditEVTWorkNumber, input, 80, 18, 210, 20),
      place(Kind::Label, ctl::LabelEVTBarcode, input, 10, 50, 64, 14, "Barcode"),
      place(Kind::Edit, ctl::Edit_EVTBarcode, input, 80, 46, 210, 20),
      place(Kind::Label, ctl::LabelEVTDevTestNumber, input, 10, 78, 64, 14, "待測數量"),
      place(Kind::Edit, ctl::EditEVTDevTestNumberInput, input, 80, 74, 60, 20, "0"),
      place(Kind::Label, ctl::LabelTestResult, ctl::TabSheet_EVT, 12, 186, 120, 14, "Test Result"),
      place(Kind::Panel, ctl::PanelTestResult, ctl::TabSheet_EVT, 12, 202, 300, 64, "none")
          .ink(colour::Grey)
          .font(48),
      place(Kind::Memo, ctl::MemoLog, ctl::TabSheet_EVT, 320, 12, 408, 254)
          .list("測試項目顯示區")
          .ink(colour::Blue)
          .locked(),
  };
}

}  // namespace qv::mainwindow
