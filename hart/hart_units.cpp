#include "hart_units.h"

namespace ortiva {

namespace {

struct UnitRow {
    const char* text;  // as ComboBox3 shows it
    int code;          // -1 for "other"
};

// Index order is the lists' item order.
constexpr UnitRow kUnits[] = {
    {"inH20 ", 1},
    {"inhg  ", 2},
    {"FtH20  ", 3},
    {"mmH20 ", 4},
    {"mmHg   ", 5},
    {"psi   ", 6},
    {"bar    ", 7},
    {"mbar   ", 8},
    {"Pa     ", 11},
    {"KPa   ", 12},
    {"ATM    ", 14},
    {"MPa    ", 237},
    {"℃  ", 32},
    {"℉", 33},
    {"R", 34},
    {"Kelvin ", 35},
    {"CuFt_min ", 15},
    {"gal_min  ", 16},
    {"l_min   ", 17},
    {"CuMtr_hr ", 19},
    {"l_s      ", 24},
    {"Cuft_s  ", 26},
    {"CuMtr_s  ", 28},
    {"CuMtr_min ", 131},
    {"gal_hr    ", 136},
    {"l_hr      ", 138},
    {"ft_s      ", 20},
    {"mtr_s    ", 21},
    {"in_s      ", 114},
    {"in_min    ", 115},
    {"ft_min   ", 116},
    {"mtr_hr    ", 120},
    {"gal      ", 40},
    {"liter    ", 41},
    {"CuMtr       ", 43},
    {"bbl      ", 46},
    {"CuYd     ", 111},
    {"CuFt      ", 112},
    {"CuIn", 113},
    {"bbl_liq      ", 124},
    {"ft        ", 44},
    {"M    ", 45},
    {"in         ", 47},
    {"cm       ", 48},
    {"mm       ", 49},
    {"gram     ", 60},
    {"kg        ", 61},
    {"MetTon    ", 62},
    {"lb       ", 63},
    {"ounce     ", 125},
    {"g_s       ", 70},
    {"g_min     ", 71},
    {"g_hr     ", 72},
    {"kg_s     ", 73},
    {"kg_min   ", 74},
    {"metTOM_min ", 77},
    {"metton_hr  ", 78},
    {"lb_s       ", 80},
    {"lb_min     ", 81},
    {"lb_hr      ", 82},
    {"g_CuCM     ", 91},
    {"KG_CuMtr   ", 92},
    {"lb_gal    ", 93},
    {"lb_Cuft    ", 94},
    {"g_ml      ", 95},
    {"kb_l       ", 96},
    {"g_l        ", 97},
    {"centi_stokes ", 54},
    {"cpoise       ", 55},
    {"mewtom_meter  ", 69},
    {"deka_therm    ", 89},
    {"foot_pound_force ", 126},
    {"kilo_watt_hour    ", 128},
    {"mega_joule       ", 164},
    {"british_thermal_unit ", 165},
    {"%", 57},
    {"other", -1},
};
static_assert(sizeof kUnits / sizeof kUnits[0] == kHartUnitCount + 1);

}  // namespace

int HartUnitIndex(int unitCode)
{
    for (int i = 0; i < kHartUnitCount; ++i)
        if (kUnits[i].code == unitCode) return i;
    return kHartUnitOtherIndex;
}

int HartUnitCode(int index)
{
    if (index < 0 || index >= kHartUnitCount) return -1;
    return kUnits[index].code;
}

std::vector<std::string> HartUnitItems(int slot)
{
    std::vector<std::string> items;
    items.reserve(kHartUnitCount + 1);
    for (const auto& u : kUnits) items.emplace_back(u.text);
    // The degree entries carry different padding in the other three lists.
    switch (slot) {
    case 1:
    case 3:
        items[12] = "℃";
        items[13] = "℉ ";
        break;
    case 2:
        items[12] = "℃";
        items[13] = "℉   ";
        break;
    default: break;
    }
    return items;
}

}  // namespace ortiva
