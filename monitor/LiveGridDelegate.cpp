#include "LiveGridDelegate.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpressionValidator>

#include "CodeTables.h"
#include "LiveDataModel.h"
#include "LiveGridRules.h"
#include "TankEntry.h"

namespace lw {
namespace {

constexpr int kBarMargin = 3;

LiveColumn columnAt(const QModelIndex& index) {
    return static_cast<LiveColumn>(index.column());
}

QString text(std::string_view s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

QColor batteryBarColour(int style) {
    switch (style) {
    case BatteryBar::GoodBat:
        return QColor(0, 255, 0); // lime
    case BatteryBar::PoorBat:
        return QColor(255, 0, 0);
    default:
        return QColor(0, 128, 0);
    }
}

void LiveGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    const CellKind kind = liveColumn(columnAt(index)).kind;
    if (kind == CellKind::Check) {
        paintCheck(painter, option, index);
        return;
    }
    QStyledItemDelegate::paint(painter, option, index);
    if (kind != CellKind::Battery)
        return;
    const QVariant level = index.data(LiveDataModel::BatteryLevelRole);
    const BatteryBar bar = batteryBar(level.isValid() ? std::optional<int32_t>(level.toInt())
                                                      : std::optional<int32_t>());
    const QRect track = option.rect.adjusted(kBarMargin, kBarMargin, -kBarMargin, -kBarMargin);
    painter->save();
    painter->setPen(option.palette.color(QPalette::Mid));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(track.adjusted(0, 0, -1, -1));
    const int width = static_cast<int>(bar.fill * (track.width() - 2) + 0.5);
    if (width > 0)
        painter->fillRect(QRect(track.left() + 1, track.top() + 1, width, track.height() - 2),
                          batteryBarColour(bar.style));
    painter->restore();
}

// A check box in the middle of its cell, on the cell's own background.
void LiveGridDelegate::paintCheck(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    const QVariant state = index.data(Qt::CheckStateRole);
    cell.features &= ~QStyleOptionViewItem::HasCheckIndicator;
    QStyle* style = cell.widget ? cell.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, cell.widget);
    if (!state.isValid())
        return;
    QStyleOptionViewItem box = option;
    box.rect = checkRect(option);
    box.state =
        (option.state & QStyle::State_Enabled) |
        (state.value<Qt::CheckState>() == Qt::Checked ? QStyle::State_On : QStyle::State_Off);
    style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &box, painter, cell.widget);
}

QRect LiveGridDelegate::checkRect(const QStyleOptionViewItem& option) {
    QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    const int w = style->pixelMetric(QStyle::PM_IndicatorWidth, &option, option.widget);
    const int h = style->pixelMetric(QStyle::PM_IndicatorHeight, &option, option.widget);
    return QRect(option.rect.center().x() - w / 2, option.rect.center().y() - h / 2, w, h);
}

bool LiveGridDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                   const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (liveColumn(columnAt(index)).kind != CellKind::Check)
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    // A relay the operator sets: a click on its box, or the space key, turns it over.
    if (!(index.flags() & Qt::ItemIsUserCheckable))
        return false;
    bool toggle = false;
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        toggle = mouse->button() == Qt::LeftButton &&
                 checkRect(option).contains(mouse->position().toPoint());
    } else if (event->type() == QEvent::KeyPress) {
        toggle = static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space;
    } else if (event->type() == QEvent::MouseButtonDblClick) {
        return true; // no editor for a check box
    }
    if (!toggle)
        return false;
    const bool on = index.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked;
    return model->setData(index, on ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}

QWidget* LiveGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const {
    switch (columnAt(index)) {
    case LiveColumn::ID: {
        auto* edit = new QLineEdit(parent);
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(text(kTankIdPattern)), edit));
        connect(edit, &QLineEdit::textEdited, this, &LiveGridDelegate::pollKeyEdited);
        return edit;
    }
    case LiveColumn::TankName: {
        auto* edit = new QLineEdit(parent);
        edit->setMaxLength(fieldInfo(TankField::TankName).width);
        return edit;
    }
    case LiveColumn::ComType: {
        auto* box = new QComboBox(parent);
        for (const CodeText& entry : ComTypeData())
            box->addItem(text(entry.text), entry.code ? QVariant(*entry.code) : QVariant());
        connect(box, &QComboBox::activated, this, &LiveGridDelegate::pollKeyEdited);
        return box;
    }
    default:
        return QStyledItemDelegate::createEditor(parent, option, index);
    }
}

void LiveGridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (auto* box = qobject_cast<QComboBox*>(editor)) {
        // The first entry stands for an empty code.
        const QVariant code = index.data(Qt::EditRole);
        box->setCurrentIndex(code.isValid() ? box->findData(code) : 0);
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void LiveGridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                    const QModelIndex& index) const {
    if (auto* box = qobject_cast<QComboBox*>(editor)) {
        model->setData(index, box->currentData(), Qt::EditRole);
        return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}

} // namespace lw
