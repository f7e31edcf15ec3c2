#include "CodeTables.h"

#include <array>

namespace lw {
namespace {

constexpr std::array<CodeText, 4> kStatus{{
    {0, "Good"}, {1, "No Light"}, {2, "Unkown"}, {3, "Bad Light"}}};

constexpr std::array<CodeText, 6> kComType{{{std::nullopt, "Unknown"},
                                            {0, "RS422/485"},
                                            {1, "RS232"},
                                            {2, "Wireless"},
                                            {3, "Cellular"},
                                            {4, "Satellite"}}};

constexpr std::array<CodeText, 9> kDispType{{{std::nullopt, "Unkown"},
                                             {0, "R200S"},
                                             {1, "R200D"},
                                             {3, "R200I"},
                                             {16, "R300S"},
                                             {4, "R300D"},
                                             {19, "R300I"},
                                             {8, "R300T"},
                                             {12, "R300Q"}}};

std::string_view lookup(std::span<const CodeText> table, std::optional<int32_t> code) {
    for (const auto& e : table)
        if (e.code == code)
            return e.text;
    return {};
}

} // namespace

std::span<const CodeText> StatusData() { return kStatus; }
std::span<const CodeText> ComTypeData() { return kComType; }
std::span<const CodeText> DispTypeData() { return kDispType; }

std::string_view statusText(std::optional<int32_t> status) {
    return status ? lookup(kStatus, status) : std::string_view{};
}
std::string_view comTypeText(std::optional<int32_t> comType) { return lookup(kComType, comType); }
std::string_view dispTypeText(std::optional<int32_t> dispType) {
    return lookup(kDispType, dispType);
}

int32_t batteryLevel(int code) {
    switch (code) {
    case 2: return 50;
    case 3: return 100;
    default: return 0;
    }
}

std::string_view batteryWord(std::optional<int32_t> level) {
    if (!level)
        return "?";
    if (*level == 0)
        return "Poor";
    return *level > 50 ? "Good" : "Fair";
}

Family familyOf(int dispType) {
    switch (dispType) {
    case disptype::R200S:
    case disptype::R200D:
    case disptype::R200I: return Family::R200;
    case disptype::R300D:
    case disptype::R300T:
    case disptype::R300Q:
    case disptype::R300S:
    case disptype::R300I: return Family::R300;
    default: return Family::None;
    }
}

int tanksPerReply(int dispType) {
    switch (dispType) {
    case disptype::R200S:
    case disptype::R200I:
    case disptype::R300S:
    case disptype::R300I: return 1;
    case disptype::R200D:
    case disptype::R300D: return 2;
    case disptype::R300T: return 3;
    case disptype::R300Q: return 4;
    default: return 0;
    }
}

} // namespace lw
