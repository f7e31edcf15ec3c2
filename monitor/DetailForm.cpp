#include "DetailForm.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace lw {
namespace {

const QString kCaption = QStringLiteral("Detail Data");
constexpr QSize kSize(526, 394);

} // namespace

DetailForm::DetailForm(QWidget* parent, int maxLines)
    : QWidget(parent, Qt::Window), memo_(new QPlainTextEdit(this)), maxLines_(maxLines) {
    setWindowTitle(kCaption);
    resize(kSize);
    memo_->setReadOnly(true);
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo_->setUndoRedoEnabled(false);
    // The lines align their values with blanks.
    memo_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* clear = new QPushButton(QStringLiteral("Clear"), this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    connect(clear, &QPushButton::clicked, this, &DetailForm::Clear);
    connect(close, &QPushButton::clicked, this, &QWidget::hide);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(clear);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(memo_);
    layout->addLayout(buttons);
}

void DetailForm::addLine(const QString& line) {
    memo_->appendPlainText(line);
    if (lineCount() > maxLines_)
        memo_->clear();
}

QString DetailForm::text() const {
    return memo_->toPlainText();
}

int DetailForm::lineCount() const {
    return memo_->document()->isEmpty() ? 0 : memo_->document()->blockCount();
}

void DetailForm::Clear() {
    memo_->clear();
}

} // namespace lw
