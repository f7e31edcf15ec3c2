#include "TankTable.h"

namespace lw {

TankTable::TankTable(std::vector<TankRecord> rows) : rows_(std::move(rows)) {}

void TankTable::assign(std::vector<TankRecord> rows) {
    rows_ = std::move(rows);
    indexValid_ = false;
}

void TankTable::insertRow(int position, TankRecord record) {
    rows_.insert(rows_.begin() + position, std::move(record));
    indexValid_ = false;
}

int TankTable::appendRow(TankRecord record) {
    const int row = size();
    // A new last row never shadows an earlier one, so the index can take it as it is.
    if (indexValid_ && record.ID)
        firstRow_.try_emplace(*record.ID, row);
    rows_.push_back(std::move(record));
    return row;
}

void TankTable::removeRow(int row) {
    rows_.erase(rows_.begin() + row);
    indexValid_ = false;
}

void TankTable::setRow(int row, TankRecord record) {
    if (record.ID != rows_[static_cast<size_t>(row)].ID)
        indexValid_ = false;
    rows_[static_cast<size_t>(row)] = std::move(record);
}

void TankTable::setField(int row, TankField field, const FieldValue& value) {
    lw::setField(rows_[static_cast<size_t>(row)], field, value);
    if (field == TankField::ID)
        indexValid_ = false;
}

std::optional<int> TankTable::findId(std::string_view id) const {
    if (!indexValid_)
        rebuildIndex();
    const auto it = firstRow_.find(id);
    if (it == firstRow_.end())
        return std::nullopt;
    return it->second;
}

void TankTable::rebuildIndex() const {
    firstRow_.clear();
    for (int row = 0; row < size(); ++row)
        if (const auto& id = rows_[static_cast<size_t>(row)].ID)
            firstRow_.try_emplace(*id, row);
    indexValid_ = true;
}

} // namespace lw
