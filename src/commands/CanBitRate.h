#pragma once
// The check of the adapter's CAN bit rate that opens every CAN monitoring run.

#include "link/Link.h"

#include <cstdint>

namespace qv::commands {

// Up to three passes of the adapter's bit-rate query, each followed, when the adapter is not at the wanted
// rate, by a set to it. Shows each step in the status bar's message panel; true as soon as a query reads the
// wanted rate.
bool CheckCanBitRate(link::Link& link, uint32_t wantedRate);

}  // namespace qv::commands
