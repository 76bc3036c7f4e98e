#include "mainwindow/MainFormPages.h"

#include "mainwindow/MainFormControls.h"

namespace qv::mainwindow {

// The Function Test, within the page area like the other pages.
std::vector<ControlDef> MainFormTabSheet_EVT() {
  const Control input = ctl::GroupBoxEVTInput;
  return {
      page(ctl::TabSheet_EVT, "CANEVT"),
      place(Kind::Button, ctl::SpdBtn_EVTTest, ctl::TabSheet_EVT, 12, 8, 130, 48, "TEST")
          .ink(colour::Navy)
          .font(24, true),
      // The ambient temperature of the temperature check; EVT.ini fills it when it is empty.
      place(Kind::Label, ctl::LabelEVTT1, ctl::TabSheet_EVT, 160, 18, 60, 14, "環境溫度"),
      place(Kind::Edit, ctl::EditEVTT1, ctl::TabSheet_EVT, 224, 14, 40, 20).digits().atMost(3),
      place(Kind::Label, ctl::LabelEVTT1Unit, ctl::TabSheet_EVT, 268, 18, 24, 14, "℃ "),
      place(Kind::GroupBox, input, ctl::TabSheet_EVT, 12, 62, 300, 106, " Input Setting "),
      place(Kind::Label, ctl::LabelEVTWorkNumber, input, 10, 22, 64, 14, "工單號碼"),
      place(Kind::Edit, ctl::EditEVTWorkNumber, input, 80, 18, 210, 20).atMost(32),
      place(Kind::Label, ctl::LabelEVTBarcode, input, 10, 50, 64, 14, "Barcode"),
      place(Kind::Edit, ctl::Edit_EVTBarcode, input, 80, 46, 210, 20).atMost(32),
      place(Kind::Label, ctl::LabelEVTDevTestNumber, input, 10, 78, 64, 14, "待測數量"),
      place(Kind::Edit, ctl::EditEVTDevTestNumberInput, input, 80, 74, 60, 20, "0").digits().atMost(5),
      place(Kind::Label, ctl::LabelTestResult, ctl::TabSheet_EVT, 12, 172, 120, 14, "Test Result"),
      place(Kind::Panel, ctl::PanelTestResult, ctl::TabSheet_EVT, 12, 190, 300, 72, "none").ink(colour::Grey).font(48),
      place(Kind::Memo, ctl::MemoLog, ctl::TabSheet_EVT, 320, 8, 414, 254)
          .list("測試項目顯示區")
          .ink(colour::Blue)
          .locked(),
  };
}

}  // namespace qv::mainwindow
