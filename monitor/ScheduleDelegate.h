#pragma once
// How the schedule grid edits its cells: the address through the address rule, the frequency
// from the drop-down list of frequencies, the time with a time editor in the regional long time
// format, the last sending time as a date and time text that may be left empty. An entry that
// breaks its rule is not taken; the cell keeps its value.

#include <QStyledItemDelegate>

namespace lw {

class ScheduleDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

signals:
    // An entry that is not an address or a date and time was not taken: why, for the operator.
    void entryRefused(const QString& text) const;
};

} // namespace lw
