#include "LiveGridDelegate.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
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
    QStyledItemDelegate::paint(painter, option, index);
    if (liveColumn(columnAt(index)).kind != CellKind::Battery)
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
