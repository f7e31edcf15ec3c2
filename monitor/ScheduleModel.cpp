#include "ScheduleModel.h"

#include <QTime>
#include <algorithm>
#include <cmath>

#include "DateTime.h"
#include "ScheduleRules.h"

namespace lw {
namespace {

const char* const kCaptions[ScheduleModel::ColumnCount] = {"Email", "Frequency", "Time",
                                                           "Last Sent"};

QString qText(const std::string& s) {
    return QString::fromStdString(s);
}

int emailWidth() {
    return scheduleFields()[0].info.width;
}

} // namespace

QString frequencyName(const std::optional<int32_t>& code) {
    if (!code)
        return {};
    for (const ScheduleType& t : ScheduleTypeData())
        if (t.ScheduleTypeNumber == *code)
            return QString::fromLatin1(t.ScheduleTypeString.data(),
                                       static_cast<qsizetype>(t.ScheduleTypeString.size()));
    return QString::number(*code);
}

ScheduleModel::ScheduleModel(Table<ScheduleRow>& table, const Formats& formats, QObject* parent)
    : QAbstractTableModel(parent), table_(table), formats_(formats) {}

void ScheduleModel::setFormats(const Formats& formats) {
    formats_ = formats;
    rowsChangedInTable();
}

void ScheduleModel::reload(const std::function<void()>& load) {
    beginResetModel();
    load();
    endResetModel();
}

void ScheduleModel::rowsChangedInTable() {
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

void ScheduleModel::insertScheduleRow(int position, ScheduleRow row) {
    position = std::clamp(position, 0, rowCount());
    beginInsertRows({}, position, position);
    rows().insert(rows().begin() + position, std::move(row));
    endInsertRows();
}

void ScheduleModel::removeScheduleRow(int row) {
    if (row < 0 || row >= rowCount())
        return;
    beginRemoveRows({}, row, row);
    rows().erase(rows().begin() + row);
    endRemoveRows();
}

int ScheduleModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !table_ ? 0 : static_cast<int>(rows().size());
}

int ScheduleModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ScheduleModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() ||
        (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const ScheduleRow& r = rows()[static_cast<size_t>(index.row())];
    const bool edit = role == Qt::EditRole;
    switch (index.column()) {
    case Email:
        return qText(r.Email.value_or(""));
    case Frequency:
        if (edit)
            return r.DataType ? QVariant(*r.DataType) : QVariant();
        return frequencyName(r.DataType);
    case Time:
        if (edit)
            return QTime::fromMSecsSinceStartOfDay(
                static_cast<int>(std::lround(r.Time.value_or(0) * kMsPerDay)) %
                static_cast<int>(kMsPerDay));
        return r.Time ? qText(formatTime(*r.Time, formats_)) : QString();
    case LastSent:
        return r.LastSent ? qText(formatDateTime(*r.LastSent, formats_)) : QString();
    default:
        return {};
    }
}

QVariant ScheduleModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return {};
    return QString::fromLatin1(kCaptions[section]);
}

Qt::ItemFlags ScheduleModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool ScheduleModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || index.row() >= rowCount())
        return false;
    ScheduleRow& r = rows()[static_cast<size_t>(index.row())];
    switch (index.column()) {
    case Email: {
        const QString text = value.toString().left(emailWidth());
        r.Email = text.isEmpty() ? std::nullopt : std::optional(text.toStdString());
        break;
    }
    case Frequency:
        r.DataType = value.isValid() ? std::optional(value.toInt()) : std::nullopt;
        break;
    case Time:
        r.Time = value.toTime().msecsSinceStartOfDay() / kMsPerDay;
        break;
    case LastSent: {
        const QString text = value.toString().trimmed();
        if (text.isEmpty()) {
            r.LastSent.reset();
            break;
        }
        const auto when = parseDateTime(text.toStdString(), formats_);
        if (!when)
            return false;
        r.LastSent = *when;
        break;
    }
    default:
        return false;
    }
    emit dataChanged(index, index);
    return true;
}

} // namespace lw
