#pragma once
// The live grid: a flat, unsorted view of the live table with fixed column order and the
// operator's column widths, in-place editing of ID, name, communication type and relays, and
// the edit watchdog: an edit of any column but the ID that sees no key press for 5 seconds is
// abandoned.

#include <QPointer>
#include <QTableView>
#include <QTimer>

#include "LiveGridRules.h"

namespace lw {

class LiveDataModel;
class LiveGridDelegate;

class LiveGrid : public QTableView {
    Q_OBJECT
public:
    static constexpr int kWatchdogMs = 5000;
    static constexpr int kCellPointSize = 12;
    static constexpr int kDefaultColumnWidth = 100;

    explicit LiveGrid(LiveDataModel& model, QWidget* parent = nullptr);
    using QTableView::edit;

    LiveDataModel& liveModel() const { return model_; }
    LiveGridDelegate& delegate() const { return *delegate_; }

    // The operator has a cell editor open.
    bool editorOpen() const { return state() == EditingState; }
    // The row with the focus; -1 when the table is empty.
    int focusedRow() const;
    void focusRow(int row);

    void setColumnShown(LiveColumn column, bool shown);
    bool columnShown(LiveColumn column) const;

    // The edit watchdog's timer and its tick: an open editor of any column but the ID is closed
    // without posting its value.
    const QTimer& Timer1() const { return Timer1_; }
    void Timer1Timer();

signals:
    void focusedRowChanged(int row);
    // The grid area changed size (the window, or the trend panel above it).
    void resized();

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    LiveDataModel& model_;
    LiveGridDelegate* delegate_;
    QTimer Timer1_;
    QPointer<QWidget> editor_;
    int editorColumn_ = -1;
};

} // namespace lw
