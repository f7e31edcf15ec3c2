#include "NewTankForm.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "CodeTables.h"
#include "TankEntry.h"
#include "TankRecord.h"

namespace lw {
namespace {

const QString kCaption = QStringLiteral("New Tank");
const QString kInitialName = QStringLiteral("Tank 0");

QString text(std::string_view s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

NewTankForm::NewTankForm(QWidget* parent)
    : QDialog(parent), tankId_(new QLineEdit(this)), tankName_(new QLineEdit(kInitialName, this)),
      comType_(new QComboBox(this)) {
    setWindowTitle(kCaption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    tankId_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(text(kTankIdPattern)), tankId_));
    connect(tankId_, &QLineEdit::editingFinished, this, &NewTankForm::TankIDPropertiesValidate);
    tankName_->setMaxLength(fieldInfo(TankField::TankName).width);
    // The dialog's own copy of the communication types; nothing chosen at first.
    for (const CodeText& entry : ComTypeData())
        comType_->addItem(text(entry.text), entry.code ? QVariant(*entry.code) : QVariant());
    comType_->setCurrentIndex(-1);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Tank ID"), tankId_);
    form->addRow(QStringLiteral("Tank Name"), tankName_);
    form->addRow(QStringLiteral("Communication"), comType_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &NewTankForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setMinimumWidth(260);
}

std::optional<int32_t> NewTankForm::comTypeCode() const {
    const QVariant code = comType_->currentData();
    if (!code.isValid())
        return std::nullopt;
    return code.toInt();
}

void NewTankForm::accept() {
    TankIDPropertiesValidate();
    QDialog::accept();
}

void NewTankForm::TankIDPropertiesValidate() {
    if (tankId_->text().isEmpty())
        tankId_->setText(text(kEmptyTankId));
}

} // namespace lw
