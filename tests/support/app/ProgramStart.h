#pragma once
// How a test of the whole program over the simulated adapter starts: the configuration dialog confirmed as an
// operator does it first (the protocol, "Scan", the first adapter, "Yes"), and the UR2 pack found behind the
// adapter. For the test folders that link the composition.

#include "app/ServiceTool.h"
#include "link/ConfigFormControls.h"
#include "sim/CompositePack.h"
#include "sim/SimAdapter.h"
#include "sim/Ur2Pack.h"

#include <memory>

namespace qv::test {

// protocol: link::kProtocolUr or link::kProtocolCan. The scan's worker has ended when this returns.
inline void confirmConfiguration(app::ServiceTool& tool, int protocol) {
  Controls& c = tool.services.controls;
  c.setItemIndex(link::ctl::RadioGroup_Protocol, protocol);
  tool.FormConfig.onEvent(link::ctl::RadioGroup_Protocol, UiEvent::Click);
  tool.FormConfig.onEvent(link::ctl::SpdBtnSCAN, UiEvent::Click);
  tool.services.workers.joinAll();
  c.setItemIndex(link::ctl::CobBoxInterfaceName, 0);
  tool.FormConfig.onEvent(link::ctl::CobBoxInterfaceName, UiEvent::Change);
  tool.FormConfig.onEvent(link::ctl::SpdBtnYES, UiEvent::Click);
}

// The adapter's pack, or the last member of a composite one (the UR2 pack after the UR74 and UR96 ones); null
// when that is no UR2 pack.
inline std::shared_ptr<sim::Ur2Pack> ur2PackBehind(const sim::SimAdapter& adapter) {
  std::shared_ptr<sim::SerialPack> serial = adapter.pack();
  if (auto composite = std::dynamic_pointer_cast<sim::CompositePack>(serial)) serial = composite->members().back();
  return std::dynamic_pointer_cast<sim::Ur2Pack>(serial);
}

}  // namespace qv::test
