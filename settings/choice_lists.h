// The items of the drop-down lists whose index travels in a command, in
// index order. A list sends '0' + its index (the preamble and address-bits
// lists their item's own digit); these texts are what an operator chooses.
#pragma once

#include <array>

namespace ortiva {

// ComboBox2, ComboBox8: the module's baud rates.
inline constexpr std::array<const char*, 8> kModuleBaudItems = {"1200",  "2400",  "4800",  "9600",
                                                                "19200", "38400", "57600", "115200"};
// ComboBox4, ComboBox9 (and the PC's ComboBox10).
inline constexpr std::array<const char*, 3> kParityItems = {"None", "Odd", "Even"};
// RS485ADY, RS485BDY.
inline constexpr std::array<const char*, 6> kReturnTimeItems = {"0 50ms",  "1 100ms", "2 200ms",
                                                                "3 300ms", "4 400ms", "5 500ms"};
// ComboBox7.
inline constexpr std::array<const char*, 5> kWorkingModeItems = {
    "0_Transparent Mode", "1_Single Meter Operation Mode", "2_Multi-Slave Operation Mode",
    "3_Monitoring to MODBUS RTU(Custom)", "4_Monitoring data output mode"};
// ComboBox14.
inline constexpr std::array<const char*, 3> kModuleOperationModeItems = {
    "0_Transparent Mode", "1_ModbusRtu Single mode", "2_ModbusRtu Multiple mode"};

// ComboBox6, ComboBox16, ComboBox17.
inline constexpr std::array<const char*, 2> kDeviceEnabledItems = {"Close", "Open"};
inline constexpr std::array<const char*, 2> kDeviceModeItems = {"Secondary Master Device", "Master Device"};
inline constexpr std::array<const char*, 20> kMeterTypeItems = {
    "0)Custom Meter",   "1)Currency Meter",  "2)KROHEN_IFC070", "3)KROHEN_IFC300", "4)KROEN_IFC090", "5)Siemens_MG500",
    "6)Siemens_FUS010", "7)Siemens_MASS600", "8)ABB_FIX100",    "9)ABB_FMT200",    "10)MP3",         "11)HT56",
    "12)F56",           "13)3051AMV",        "14)SIERRA",       "15)Yokogawa",     "16)Emerson",     "17)E+H_FU090",
    "18)EJX910 ",       "19)Toshiba"};
// ComboBox34 ("4" to "9") and ComboBox15 ("3" to "9") list their own digits.
inline constexpr std::array<const char*, 6> kPreambleLengthItems = {"4", "5", "6", "7", "8", "9"};
inline constexpr std::array<const char*, 7> kAddressBitsItems = {"3", "4", "5", "6", "7", "8", "9"};
// FAMOUT1 has the first two items, FAMOUT3 the first four, FAMOUT5, FAMOUT7
// and FAMOUT9 all five.
inline constexpr std::array<const char*, 5> kOutputFormatItems = {
    "0 IEE754 (FF4 FF3 FF2 FF1)", "1 IEE754 (FF2 FF1 FF4 FF3)", "2 Uint32 (FF4 FF3 FF2 FF1)",
    "3 Uint32 (FF2 FF1 FF4 FF3)", "4 \xE7\xBB\x9D\xE5\xAF\xB9\xE5\x80\xBC  (FF2 FF1 FF4 FF3)"};
inline constexpr std::array<int, 5> kOutputFormatCounts = {2, 4, 5, 5, 5};
// RADCOM1/3/5/7, READLG1/3/5/7, ComboBox28 and ComboBox29.
inline constexpr std::array<const char*, 3> kParsingCommandItems = {"0 Not analytic", "1 Command 1", "2 Command 2"};
inline constexpr std::array<const char*, 2> kDataLengthItems = {"4 byte", "8 byte"};
inline constexpr std::array<const char*, 2> kOpenFlagItems = {"0 Close", "1 Open"};
// ComboBox18.
inline constexpr std::array<const char*, 4> kCoefficientModeItems = {
    "0 close", "1 variable 1 M3/S-->M3/H", "2 variable 1 coefficient",
    "3 Variable 1 coefficient * 100 rounded to the nearest integer"};

}  // namespace ortiva
