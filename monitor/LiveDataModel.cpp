#include "LiveDataModel.h"

#include <QBrush>
#include <QColor>

#include "TableFile.h"
#include "TankEntry.h"
#include "TankTableFile.h"

namespace lw {
namespace {

const QColor kRelayOn(0, 128, 0);
const QColor kRelayOff(Qt::white);

bool isRelay(LiveColumn c) {
    return c == LiveColumn::Relay1 || c == LiveColumn::Relay2 || c == LiveColumn::Relay3 ||
           c == LiveColumn::Relay4;
}

std::optional<bool> boolOf(const FieldValue& v) {
    if (const bool* b = std::get_if<bool>(&v))
        return *b;
    return std::nullopt;
}

} // namespace

LiveDataModel::LiveDataModel(const Formats& formats, QObject* parent)
    : QAbstractTableModel(parent), formats_(formats) {}

void LiveDataModel::setFormats(const Formats& formats) {
    formats_ = formats;
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, kLiveColumnCount - 1),
                         {Qt::DisplayRole});
}

void LiveDataModel::load(const std::filesystem::path& file) {
    beginResetModel();
    try {
        loadTankTable(LiveData_, file, formats_);
    } catch (...) {
        endResetModel();
        throw;
    }
    endResetModel();
}

void LiveDataModel::save(const std::filesystem::path& file, Durability durability) const {
    saveTankTable(LiveData_, file, formats_, durability);
}

void LiveDataModel::insertTank(int position, TankRecord record) {
    beginInsertRows({}, position, position);
    LiveData_.insertRow(position, std::move(record));
    endInsertRows();
}

void LiveDataModel::removeTank(int row) {
    beginRemoveRows({}, row, row);
    LiveData_.removeRow(row);
    endRemoveRows();
}

void LiveDataModel::fieldWritten(int row, TankField field) {
    const QModelIndex cell = index(row, static_cast<int>(columnOf(field)));
    emit dataChanged(cell, cell);
}

int LiveDataModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : LiveData_.size();
}

int LiveDataModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kLiveColumnCount;
}

QVariant LiveDataModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= LiveData_.size())
        return {};
    const LiveColumnInfo& c = liveColumn(index.column());
    const TankRecord& row = LiveData_[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(cellText(row, c.column, formats_));
    case Qt::EditRole:
        switch (c.field) {
        case TankField::ID:
            return QString::fromStdString(row.ID.value_or(""));
        case TankField::TankName:
            return QString::fromStdString(row.TankName.value_or(""));
        case TankField::ComType:
            return row.ComType ? QVariant(*row.ComType) : QVariant();
        default:
            return {};
        }
    case Qt::CheckStateRole: {
        if (c.kind != CellKind::Check)
            return {};
        const auto on = boolOf(getField(row, c.field));
        // An alarm not yet seen shows no box; a relay, which the operator sets, an empty one.
        if (!on && !isRelay(c.column))
            return {};
        return on.value_or(false) ? Qt::Checked : Qt::Unchecked;
    }
    case Qt::BackgroundRole:
        if (!isRelay(c.column))
            return {};
        return QBrush(boolOf(getField(row, c.field)).value_or(false) ? kRelayOn : kRelayOff);
    case Qt::TextAlignmentRole:
        if (c.kind == CellKind::Number)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    case BatteryLevelRole: {
        const FieldValue v = getField(row, c.field);
        if (const int32_t* level = std::get_if<int32_t>(&v))
            return *level;
        return {};
    }
    default:
        return {};
    }
}

QVariant LiveDataModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kLiveColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    const std::string_view caption = liveColumn(section).caption;
    return QString::fromLatin1(caption.data(), static_cast<qsizetype>(caption.size()));
}

Qt::ItemFlags LiveDataModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const LiveColumnInfo& c = liveColumn(index.column());
    if (c.editable)
        f |= c.kind == CellKind::Check ? Qt::ItemIsUserCheckable : Qt::ItemIsEditable;
    return f;
}

bool LiveDataModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.row() >= LiveData_.size())
        return false;
    const LiveColumnInfo& c = liveColumn(index.column());
    if (!c.editable)
        return false;
    FieldValue v;
    if (c.kind == CellKind::Check) {
        if (role != Qt::CheckStateRole)
            return false;
        v = value.value<Qt::CheckState>() == Qt::Checked;
    } else if (role != Qt::EditRole) {
        return false;
    } else if (c.field == TankField::ID) {
        v = storedTankId(value.toString().toStdString());
    } else if (c.field == TankField::TankName) {
        const std::string name = value.toString().toStdString();
        if (!name.empty())
            v = std::string(cutToWidth(name, fieldInfo(TankField::TankName).width));
    } else if (c.field == TankField::ComType) {
        bool ok = false;
        const int code = value.toInt(&ok);
        if (value.isValid() && ok)
            v = static_cast<int32_t>(code);
    } else {
        return false;
    }
    LiveData_.setField(index.row(), c.field, v);
    emit dataChanged(index, index);
    emit rowEdited(index.row(), c.field);
    return true;
}

} // namespace lw
