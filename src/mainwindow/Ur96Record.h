#pragma once
// The UR96 answer record: the 96 bytes beginning with "J" that a UR96 pack sends for the UR96 query, carried in
// a 104-byte 0x0702 adapter reply. Read from the adapter, tested, and decoded into the UR page and the report
// record, with a capacity model for packs whose capacity per cell is of a known cell type.

#include "link/Link.h"
#include "mainwindow/MainState.h"
#include "platform/Controls.h"

#include <array>
#include <cstdint>
#include <optional>

namespace qv::mainwindow {

// The 104 bytes of a reply that passed every test, kept for decoding once the exchange is over.
struct Ur96Reply {
  std::array<uint8_t, 104> bytes{};
};

// The sum of a record's bytes 1 to 94 (from its "J"), which its byte 95 carries.
uint8_t Ur96RecordSum(const uint8_t* record);

// Reads the reply to a UR96 query already sent (one driver read on link.AdapterHandle, its status into
// link.AdapterStatus) and tests it: the reply when it passed every test. A reply of 104 bytes toggles the RX
// lamp once, one that passes every test once more. Part of the exchange, under its lock.
std::optional<Ur96Reply> ReadUr96Reply(link::Link& link, Controls& controls);

// Decodes a reply that passed its tests. It looks the battery energy up in the capacity table, a file, so it runs
// after the exchange, holding no lock.
void DecodeUr96Reply(const Ur96Reply& reply, Controls& controls, MainState& state);

// Both: true when a record passed every test and was decoded.
bool ReadUr96Record(link::Link& link, Controls& controls, MainState& state);

}  // namespace qv::mainwindow
