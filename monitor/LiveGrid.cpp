#include "LiveGrid.h"

#include <QEvent>
#include <QHeaderView>

#include "LiveDataModel.h"
#include "LiveGridDelegate.h"

namespace lw {

LiveGrid::LiveGrid(LiveDataModel& model, QWidget* parent)
    : QTableView(parent), model_(model), delegate_(new LiveGridDelegate(this)) {
    setModel(&model_);
    setItemDelegate(delegate_);
    setSortingEnabled(false);
    setSelectionBehavior(SelectRows);
    setSelectionMode(SingleSelection);
    setEditTriggers(DoubleClicked | EditKeyPressed | AnyKeyPressed | SelectedClicked);
    setAlternatingRowColors(false);
    setWordWrap(false);
    verticalHeader()->hide();

    QFont cells = font();
    cells.setPointSize(kCellPointSize);
    setFont(cells);
    // Captions stay in the window's own size, so they fit the narrow columns.
    horizontalHeader()->setFont(parent ? parent->font() : QFont());
    verticalHeader()->setDefaultSectionSize(QFontMetrics(cells).height() + 6);
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    for (const LiveColumnInfo& c : liveColumns())
        setColumnWidth(static_cast<int>(c.column), c.width ? c.width : kDefaultColumnWidth);

    Timer1_.setInterval(kWatchdogMs);
    connect(&Timer1_, &QTimer::timeout, this, &LiveGrid::Timer1Timer);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { emit focusedRowChanged(current.row()); });
}

int LiveGrid::focusedRow() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : (model_.rowCount() > 0 ? 0 : -1);
}

void LiveGrid::focusRow(int row) {
    if (row < 0 || row >= model_.rowCount())
        return;
    const int column = currentIndex().isValid() ? currentIndex().column() : 0;
    setCurrentIndex(model_.index(row, column));
}

void LiveGrid::setColumnShown(LiveColumn column, bool shown) {
    setColumnHidden(static_cast<int>(column), !shown);
}

bool LiveGrid::columnShown(LiveColumn column) const {
    return !isColumnHidden(static_cast<int>(column));
}

void LiveGrid::Timer1Timer() {
    if (!editorOpen() || !editor_ || editorColumn_ == static_cast<int>(LiveColumn::ID))
        return;
    closeEditor(editor_, QAbstractItemDelegate::RevertModelCache);
}

bool LiveGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    const bool wasEditing = editorOpen();
    if (!QTableView::edit(index, trigger, event))
        return false;
    if (!wasEditing && editorOpen()) {
        editor_ = indexWidget(index);
        editorColumn_ = index.column();
        if (editor_)
            editor_->installEventFilter(this);
        Timer1_.start();
    }
    return true;
}

void LiveGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    Timer1_.stop();
    if (editor)
        editor->removeEventFilter(this);
    editor_ = nullptr;
    editorColumn_ = -1;
    QTableView::closeEditor(editor, hint);
}

bool LiveGrid::eventFilter(QObject* watched, QEvent* event) {
    // Every key typed into the editor gives the operator a fresh five seconds.
    if (watched == editor_ && event->type() == QEvent::KeyPress)
        Timer1_.start();
    return QTableView::eventFilter(watched, event);
}

void LiveGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    emit resized();
}

} // namespace lw
