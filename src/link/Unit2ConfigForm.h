#pragma once
// The configuration dialog: the protocol choice, the adapter scan and the choice of an adapter. Its controls
// are where the rest of the program reads the choice (RadioGroup_Protocol item 0 "UR", 1 "CAN", -1 none;
// CobBoxInterfaceName item index and its "USB%d" text; CheckBoxLogFileSave), named in ConfigFormControls.h. It
// acts on the main window's pages and buttons through the names the main window hands the link
// (Link::mainWindow).

#include "link/Link.h"
#include "platform/Form.h"

namespace qv::link {

// Sets the dialog's ProgressBar1 to 0 and disables the main window's RUN, Bus Hunt, Upgrade and report READ
// buttons.
void DisableLinkButtons(Link& link);

// The dialog's description.
const FormDef& ConfigFormDef();

class TFormConfig : public FormLogic {
 public:
  // Declares the dialog into the store and runs FormCreate. The scan it starts writes this dialog's state: its
  // owner stops the workers before the dialog goes.
  explicit TFormConfig(Link& link);
  TFormConfig(const TFormConfig&) = delete;
  TFormConfig& operator=(const TFormConfig&) = delete;

  const FormDef& form() const override;
  void onEvent(Control control, UiEvent event) override;

  void FormCreate();
  void FormClose();
  void SpdBtnSCANClick();
  void SpdBtnYESClick();
  void SpdBtnCANCELClick();
  void CobBoxInterfaceNameChange();
  void RadioGroup_ProtocolClick();

  // The scan, on its worker: lists the devices, records the accepted adapters in the adapter table and
  // rebuilds the interface list.
  void ScanAdapterThread();

 private:
  // The listing of the scan's n devices, the adapter table and the interface list built from it.
  void ListAdapters(uint32_t n);
  // Panel 0 of the status bar tells whether position i holds an accepted adapter, and Yes follows it.
  void ShowAvailability(int i);

  Link& link_;
  Controls& controls_;
  const MainWindowControls& main_;
};

}  // namespace qv::link
