#pragma once
// The e-mail schedule as the setup window's grid shows it: one row per schedule row in table
// order, the address, the frequency (by its name), the time of day and the last sending time.
// The table is the mailer's own, edited in place; its tank IDs pass through unseen.

#include <QAbstractTableModel>
#include <functional>

#include "Formats.h"
#include "ScheduleRow.h"

namespace lw {

class ScheduleModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Email, Frequency, Time, LastSent, ColumnCount };

    // `table` must be open and outlive the model.
    ScheduleModel(Table<ScheduleRow>& table, const Formats& formats, QObject* parent = nullptr);

    void setFormats(const Formats& formats);
    const Formats& formats() const { return formats_; }

    // Runs `load`, which replaces the table's rows; the grid starts over.
    void reload(const std::function<void()>& load);
    // Rows changed in the table behind the grid's back (a mail recorded its sending time).
    void rowsChangedInTable();
    // Inserts `row` before `position` (at the end when it is the row count).
    void insertScheduleRow(int position, ScheduleRow row);
    void removeScheduleRow(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    // Display: the texts. Edit: the address text, the frequency code (invalid when none), the
    // time as QTime, the last sending time as its text (empty when none).
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // The edit role's kinds as above; an empty text clears the address or the sending time. False
    // for a sending time that is no date and time.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    std::vector<ScheduleRow>& rows() const { return *table_; }

    Table<ScheduleRow>& table_;
    Formats formats_;
};

// The name of a frequency code as the list shows it; the number itself for a code that is not
// in the list, empty for none.
QString frequencyName(const std::optional<int32_t>& code);

} // namespace lw
