#include "SelectCol.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace lw {
namespace {

const QString kCaption = QStringLiteral("Select Columns");
// In the reports' column order; the first caption is the calling report's.
const std::array<QString, kReportFlagCount> kBoxCaptions{
    QStringLiteral("Date"),        QStringLiteral("Level"),        QStringLiteral("Volume"),
    QStringLiteral("Temperature"), QStringLiteral("Level Below"),  QStringLiteral("Volume Below"),
    QStringLiteral("Level Above"), QStringLiteral("Volume Above"), QStringLiteral("Input 1"),
    QStringLiteral("Input 2")};

} // namespace

SelectColForm::SelectColForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(kCaption);
    // A title bar without buttons: the dialog ends through Cancel or Apply.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    auto* grid = new QGridLayout;
    constexpr int kRows = kReportFlagCount / 2;
    for (int i = 0; i < kReportFlagCount; ++i) {
        auto* box = new QCheckBox(kBoxCaptions[static_cast<size_t>(i)], this);
        boxes_[static_cast<size_t>(i)] = box;
        grid->addWidget(box, i % kRows, i / kRows);
    }
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    buttons->addButton(QStringLiteral("Apply"), QDialogButtonBox::AcceptRole)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
}

void SelectColForm::setFirstCaption(const QString& caption) {
    boxes_[0]->setText(caption);
}

void SelectColForm::setStates(const ReportFlagStates& states) {
    for (size_t i = 0; i < boxes_.size(); ++i)
        boxes_[i]->setChecked(states[i]);
}

ReportFlagStates SelectColForm::states() const {
    ReportFlagStates s{};
    for (size_t i = 0; i < boxes_.size(); ++i)
        s[i] = boxes_[i]->isChecked();
    return s;
}

} // namespace lw
