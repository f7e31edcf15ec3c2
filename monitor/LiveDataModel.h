#pragma once
// The live table as the grid sees it: one row per tank in table order, the 25 columns in their
// display order. Decoding writes the table directly and reports each field it wrote, so only
// those cells repaint; the operator's edits come in through setData and are posted at once.

#include <QAbstractTableModel>
#include <filesystem>
#include <vector>

#include "AtomicFile.h"
#include "Formats.h"
#include "LiveGridRules.h"
#include "TankTable.h"

namespace lw {

class LiveDataModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The stored battery level (int) or nothing, for the bar delegate.
    static constexpr int BatteryLevelRole = Qt::UserRole + 1;

    explicit LiveDataModel(const Formats& formats, QObject* parent = nullptr);

    const TankTable& LiveData() const { return LiveData_; }
    // For the decoder, which writes values (never IDs) and reports them through fieldWritten.
    TankTable& LiveData() { return LiveData_; }

    // The texts follow new formats (a change of the regional settings); every cell repaints.
    void setFormats(const Formats& formats);
    const Formats& formats() const { return formats_; }

    // Replaces the rows with the file's (see loadTankTable); rows read before an error stay and
    // the error is rethrown. A file without any line leaves the rows as they are.
    void load(const std::filesystem::path& file);
    // The whole table to its file, replaced atomically. Throws std::filesystem::filesystem_error.
    void save(const std::filesystem::path& file, Durability durability) const;

    // Inserts a row before `position` (at the end when it is the row count).
    void insertTank(int position, TankRecord record);
    void removeTank(int row);
    // Decoding wrote this field of the row.
    void fieldWritten(int row, TankField field);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // ID (a text, cut to five characters, empty becomes "1"), TankName (cut to 20), ComType
    // (a code, or an invalid value for none) and the relays (check state).
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
    // The operator changed a field of a row in the grid; the row is posted.
    void rowEdited(int row, lw::TankField field);

private:
    TankTable LiveData_;
    Formats formats_;
};

} // namespace lw
