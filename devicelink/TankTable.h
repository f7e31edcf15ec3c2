#pragma once
// An ordered table of tank records (the live table, the service's table) with a lookup of the
// first row that carries a given ID text.

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "TankRecord.h"

namespace lw {

class TankTable {
public:
    TankTable() = default;
    explicit TankTable(std::vector<TankRecord> rows);

    int size() const { return static_cast<int>(rows_.size()); }
    const TankRecord& operator[](int row) const { return rows_[static_cast<size_t>(row)]; }
    const std::vector<TankRecord>& rows() const { return rows_; }

    void assign(std::vector<TankRecord> rows);
    void insertRow(int position, TankRecord record);
    // Appends a row and returns its index.
    int appendRow(TankRecord record);
    void removeRow(int row);
    void setRow(int row, TankRecord record);
    void setField(int row, TankField field, const FieldValue& value);

    // The record of a row for an update that leaves its ID alone (decoding writes values, never
    // IDs). An ID must change through setRow or setField, or the lookup below goes stale.
    TankRecord& values(int row) { return rows_[static_cast<size_t>(row)]; }

    // Index of the first row, in table order, whose ID text equals `id`; empty when none.
    // IDs compare as text: "012" is not "12".
    std::optional<int> findId(std::string_view id) const;

private:
    struct TextHash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const noexcept {
            return std::hash<std::string_view>{}(s);
        }
    };

    void rebuildIndex() const;

    std::vector<TankRecord> rows_;
    // First row per ID text; rebuilt on the next lookup after any change of order or IDs.
    mutable std::unordered_map<std::string, int, TextHash, std::equal_to<>> firstRow_;
    mutable bool indexValid_ = false;
};

} // namespace lw
