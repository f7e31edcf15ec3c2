#pragma once
// How the live grid draws and edits its cells beyond the standard: battery levels as coloured
// bars, the ID through a digits-only editor (an empty ID becomes "1"), the communication type
// through a drop-down list of its code table. Every cell of the grid is drawn here, so a row
// state that changes how a whole row looks has one place to go.

#include <QStyledItemDelegate>

namespace lw {

class LiveGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

private:
    void paintCheck(QPainter* painter, const QStyleOptionViewItem& option,
                    const QModelIndex& index) const;
    static QRect checkRect(const QStyleOptionViewItem& option);

signals:
    // The value in an open ID or communication-type editor changed (the poll list follows).
    void pollKeyEdited() const;
};

// The bar colours of the battery styles.
QColor batteryBarColour(int style);

} // namespace lw
