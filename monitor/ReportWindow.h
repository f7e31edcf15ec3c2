#pragma once
// What the historical and the monthly report windows share: the top panel with the date, the
// tank box and the buttons, the read-only grid below a splitter, the error line, the column
// flags with the "Select Columns" dialog, opening from the menu, and printing the shown
// columns through the print preview. Each report loads and shows its own rows.

#include <QDialog>

#include "Clock.h"
#include "Formats.h"
#include "ReportFlags.h"

class QAbstractItemModel;
class QComboBox;
class QDateEdit;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QTableView;

namespace lw {

class BandedHeader;
class Dialogs;

inline constexpr char kUserSettingsReadError[] =
    "Could not read Windows Registry. Check user permissions.";

class ReportWindow : public QDialog {
    Q_OBJECT
public:
    ReportWindow(ReportKind kind, Dialogs& dialogs, SelectColForm& selectCol, const Clock& clock,
                 QWidget* parent);

    // From the menu: the date, the tank list (the live grid's IDs in grid order) and the tank
    // text (empty when there is no tank to preselect); the flags are read, the report loaded
    // and the window shown modally. Returns the dialog's result.
    int open(double date, const QStringList& tanks, const QString& tankText);
    void setFormats(const Formats& formats);

    // Reads the report's files for the date and the tank text into the grid.
    virtual void Load() = 0;
    void ColumnsClick();
    void PrintClick();

    QDateEdit& DateEdit() const { return *date_; }
    QComboBox& TankBox() const { return *tank_; }
    QTableView& grid() const { return *grid_; }
    // The reader's error of the last load; empty when it read every file whole.
    QString errorText() const;
    const ReportFlagStates& flags() const { return flags_; }

    // The date at midnight, and the tank text exactly as typed or chosen.
    double date() const;
    QString tankText() const;

protected:
    // The grid follows the flags.
    virtual void applyFlags() = 0;
    virtual QString printTitle() const = 0;
    virtual std::vector<QString> printedBands() const { return {}; }
    virtual QAbstractItemModel& model() const = 0;

    void setModel(QAbstractItemModel& model);
    // The reader's error, shown on the window; empty clears it.
    void showError(const std::string& error);
    void addButton(QPushButton* button);
    BandedHeader& header() const { return *header_; }

    const ReportKind kind_;
    Formats formats_;
    ReportFlagStates flags_{};

private:
    Dialogs& dialogs_;
    SelectColForm& selectCol_;
    const Clock& clock_;
    QDateEdit* date_;
    QComboBox* tank_;
    QHBoxLayout* buttons_;
    QLabel* error_;
    QTableView* grid_;
    BandedHeader* header_;
};

} // namespace lw
