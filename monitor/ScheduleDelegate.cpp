#include "ScheduleDelegate.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QTimeEdit>

#include "DateTime.h"
#include "LocaleFormats.h"
#include "MailEntry.h"
#include "ScheduleModel.h"
#include "ScheduleRules.h"

namespace lw {
namespace {

QString text(std::string_view s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

const QString kNotAnAddress = QStringLiteral("\"%1\" is not an e-mail address: not taken.");
const QString kNotADateTime =
    QStringLiteral("\"%1\" is not a date and time such as %2: not taken.");
const double kExampleDateTime = 46000.5; // 12/9/2025 noon

// A date and time in the program's formats, or nothing.
class DateTimeTextValidator final : public QValidator {
public:
    DateTimeTextValidator(const Formats& formats, QObject* parent)
        : QValidator(parent), formats_(formats) {}
    State validate(QString& input, int&) const override {
        const QString t = input.trimmed();
        return t.isEmpty() || parseDateTime(t.toStdString(), formats_) ? Acceptable : Intermediate;
    }

private:
    Formats formats_;
};

const Formats& formatsOf(const QModelIndex& index) {
    static const Formats fallback;
    const auto* model = qobject_cast<const ScheduleModel*>(index.model());
    return model ? model->formats() : fallback;
}

} // namespace

QWidget* ScheduleDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const {
    switch (index.column()) {
    case ScheduleModel::Email: {
        auto* edit = new QLineEdit(parent);
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(text(kEmailAddressPattern)), edit));
        return edit;
    }
    case ScheduleModel::Frequency: {
        auto* box = new QComboBox(parent);
        for (const ScheduleType& t : ScheduleTypeData())
            box->addItem(text(t.ScheduleTypeString), t.ScheduleTypeNumber);
        return box;
    }
    case ScheduleModel::Time: {
        auto* edit = new QTimeEdit(parent);
        edit->setDisplayFormat(qtTimeFormat(formatsOf(index)));
        return edit;
    }
    case ScheduleModel::LastSent: {
        auto* edit = new QLineEdit(parent);
        edit->setValidator(new DateTimeTextValidator(formatsOf(index), edit));
        edit->setPlaceholderText(QStringLiteral("never"));
        return edit;
    }
    default:
        return QStyledItemDelegate::createEditor(parent, option, index);
    }
}

void ScheduleDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (auto* box = qobject_cast<QComboBox*>(editor)) {
        // An empty frequency counts as "Everyday", and so the list starts there.
        const QVariant code = index.data(Qt::EditRole);
        const int at = box->findData(code.isValid() ? code : QVariant(kScheduleEveryday));
        box->setCurrentIndex(at);
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void ScheduleDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                    const QModelIndex& index) const {
    if (auto* box = qobject_cast<QComboBox*>(editor)) {
        model->setData(index, box->currentData(), Qt::EditRole);
        return;
    }
    // An empty cell is allowed: no address yet, never sent.
    if (auto* edit = qobject_cast<QLineEdit*>(editor);
        edit && !edit->text().trimmed().isEmpty() && !edit->hasAcceptableInput()) {
        const QString typed = edit->text();
        emit entryRefused(index.column() == ScheduleModel::Email
                              ? kNotAnAddress.arg(typed)
                              : kNotADateTime.arg(typed, QString::fromStdString(formatDateTime(
                                                             kExampleDateTime, formatsOf(index)))));
        return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}

} // namespace lw
