// The HART unit table and the texts of the four unit lists.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace ortiva {

inline constexpr int kHartUnitCount = 76;       // codes in the table
inline constexpr int kHartUnitOtherIndex = 76;  // "other": every code not in the table

// The list index for a HART unit code: its table index, or 76 ("other").
int HartUnitIndex(int unitCode);

// The HART unit code of table index 0..75, -1 for "other" or out of range.
int HartUnitCode(int index);

// The 77 item texts (UTF-8) of one unit list: 0 ComboBox3 (slot 1),
// 1 ComboBox31, 2 ComboBox32, 3 ComboBox33. They differ only in items 12 and 13.
std::vector<std::string> HartUnitItems(int slot);

}  // namespace ortiva
