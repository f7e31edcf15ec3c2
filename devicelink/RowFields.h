#pragma once
// Columns of the system's tables described once: name, type and width of each column, and the
// record member that holds it, so that table files and grids handle every table the same way.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

namespace lw {

// Column types shared by every table of the system (tank tables, schedule, history).
enum class FieldType : uint8_t { Text, Integer, Float, Boolean, DateTime, Time };

// A field's value detached from its record; monostate is the empty value.
using FieldValue = std::variant<std::monostate, std::string, int32_t, double, bool>;

struct FieldInfo {
    std::string_view name;
    FieldType type;
    int width; // text columns only: longest text kept
};

// The member of `Row` that holds a column; each member is an optional of the value type.
template <class Row>
using RowMember = std::variant<std::optional<std::string> Row::*, std::optional<int32_t> Row::*,
                               std::optional<double> Row::*, std::optional<bool> Row::*>;

template <class Row> struct RowField {
    FieldInfo info;
    RowMember<Row> member;
};

template <class Row> FieldValue getRowField(const Row& r, const RowMember<Row>& member) {
    return std::visit(
        [&](auto m) -> FieldValue {
            const auto& value = r.*m;
            if (!value)
                return std::monostate{};
            return *value;
        },
        member);
}

// The value's alternative must suit the member (Text: string, Integer: int32_t, Float/DateTime/
// Time: double, Boolean: bool) or be empty; a mismatch throws std::bad_variant_access.
template <class Row> void setRowField(Row& r, const RowMember<Row>& member, const FieldValue& v) {
    std::visit(
        [&](auto m) {
            auto& target = r.*m;
            using T = typename std::remove_reference_t<decltype(target)>::value_type;
            if (std::holds_alternative<std::monostate>(v))
                target.reset();
            else
                target = std::get<T>(v);
        },
        member);
}

} // namespace lw
