#pragma once
// The cell spread of the main window: the highest cell, the lowest and their difference, shown in Edit_HVlot,
// Edit_LVolt and Edit_VoltDiff. Each protocol finds the two values its own way (the UR74 boxes, the UR2 report
// record, the CAN cell answers); the largest and smallest of its values and the display are this one piece.

#include "platform/Controls.h"

#include <algorithm>
#include <cstdint>

namespace qv::mainwindow {

// The largest and the smallest of the first count values, compared as their type; a count of 0 or 1 gives the
// first.
template <typename T, typename Count>
T MaxOf(const T* values, Count count) {
  return count <= 1 ? values[0] : *std::max_element(values, values + count);
}
template <typename T, typename Count>
T MinOf(const T* values, Count count) {
  return count <= 1 ? values[0] : *std::min_element(values, values + count);
}

inline uint16_t MaxOfU16(const uint16_t* values, int count) { return MaxOf(values, count); }
inline uint16_t MinOfU16(const uint16_t* values, int count) { return MinOf(values, count); }
inline uint32_t MaxOfU32(const uint32_t* values, uint32_t n) { return MaxOf(values, n); }
inline uint32_t MinOfU32(const uint32_t* values, uint32_t n) { return MinOf(values, n); }

// Shows the highest cell, the lowest and the difference between them.
void ShowCellSpread(Controls& controls, long long highest, long long lowest);

}  // namespace qv::mainwindow
