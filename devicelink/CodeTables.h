#pragma once
// The constant code tables that give a tank record's numeric codes their meaning.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace lw {

struct CodeText {
    std::optional<int32_t> code; // empty: the entry for an empty field
    std::string_view text;
};

// Lookup lists in display order, as the grid's lookup columns show them.
std::span<const CodeText> StatusData();   // 0 "Good" .. 3 "Bad Light"
std::span<const CodeText> ComTypeData();  // empty "Unknown", 0 "RS422/485" .. 4 "Satellite"
std::span<const CodeText> DispTypeData(); // empty "Unkown", 0 "R200S" .. 12 "R300Q"

// Status text of a code; empty text for codes outside the table.
std::string_view statusText(std::optional<int32_t> status);
// Communication-type text; an empty code gives "Unknown", an unknown code an empty text.
std::string_view comTypeText(std::optional<int32_t> comType);
// Display-type text; an empty code gives "Unkown", an unknown code an empty text.
std::string_view dispTypeText(std::optional<int32_t> dispType);

// Battery level stored for a battery code of a reply: 1 -> 0, 2 -> 50, 3 -> 100, else 0.
int32_t batteryLevel(int code);
// Report word of a stored battery level: 0 "Poor", above 50 "Good", any other (1..50, negative)
// "Fair"; empty "?".
std::string_view batteryWord(std::optional<int32_t> level);

namespace disptype {
inline constexpr int R200S = 0;
inline constexpr int R200D = 1;
inline constexpr int R200I = 3;
inline constexpr int R300D = 4;
inline constexpr int R300T = 8;
inline constexpr int R300Q = 12;
inline constexpr int R300S = 16;
inline constexpr int R300I = 19;
} // namespace disptype

enum class Family : uint8_t { None, R200, R300 };

Family familyOf(int dispType);
inline bool isR200Type(int t) { return familyOf(t) == Family::R200; }
// The R300 types: polls ask them for 48 registers.
inline bool isR300Type(int t) { return familyOf(t) == Family::R300; }
// Interface units carry the values below and above the interface.
inline bool isInterfaceType(int t) { return t == disptype::R200I || t == disptype::R300I; }
// Tanks that one reply of the type carries (0 for codes that are no type).
int tanksPerReply(int dispType);

} // namespace lw
