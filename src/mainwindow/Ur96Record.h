#pragma once
// The UR96 answer record: the 96 bytes beginning with "J" that a UR96 pack sends for the UR96 query, carried in
// a 104-byte 0x0702 adapter reply. Read from the adapter, tested, and decoded into the UR page and the report
// record, with a capacity model for packs whose capacity per cell is of a known cell type.

#include "link/Link.h"
#include "mainwindow/MainState.h"
#include "platform/Controls.h"

namespace qv::mainwindow {

// Reads the reply to a UR96 query already sent (one driver read on link.AdapterHandle, its status into
// link.AdapterStatus), tests it and decodes it. True when a record passed every test and was decoded. A reply of
// 104 bytes toggles the RX lamp once, one that passes every test once more.
bool ReadUr96Record(link::Link& link, Controls& controls, MainState& state);

}  // namespace qv::mainwindow
