#pragma once
// A report's rows as a read-only grid sees them: one row per report row, the report's columns
// with their captions, cell texts in the current formats, numbers right-aligned.

#include <QAbstractTableModel>
#include <span>
#include <vector>

#include "Formats.h"
#include "ReportData.h"

namespace lw {

inline QString qtText(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

template <class Row> class ReportModel final : public QAbstractTableModel {
public:
    explicit ReportModel(std::span<const ReportColumn<Row>> columns) : columns_(columns) {}

    std::span<const ReportColumn<Row>> columns() const { return columns_; }
    const std::vector<Row>& rows() const { return rows_; }
    void setRows(std::vector<Row> rows) {
        beginResetModel();
        rows_ = std::move(rows);
        endResetModel();
    }
    void setFormats(const Formats& formats) {
        beginResetModel();
        formats_ = formats;
        endResetModel();
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(columns_.size());
    }
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override {
        if (!index.isValid())
            return {};
        const auto& column = columns_[static_cast<size_t>(index.column())];
        if (role == Qt::DisplayRole)
            return QString::fromStdString(
                reportCellText(rows_[static_cast<size_t>(index.row())], column, formats_));
        if (role == Qt::TextAlignmentRole)
            return static_cast<int>(Qt::AlignVCenter |
                                    (isNumber(column) ? Qt::AlignRight : Qt::AlignLeft));
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override {
        if (orientation != Qt::Horizontal || section < 0 ||
            section >= static_cast<int>(columns_.size()))
            return {};
        if (role == Qt::DisplayRole)
            return qtText(columns_[static_cast<size_t>(section)].caption);
        return {};
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    static bool isNumber(const ReportColumn<Row>& column) {
        return column.field.info.type != FieldType::DateTime;
    }

private:
    std::span<const ReportColumn<Row>> columns_;
    std::vector<Row> rows_;
    Formats formats_;
};

} // namespace lw
