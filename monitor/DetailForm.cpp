#include "DetailForm.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
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
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(0);
    connect(&flushTimer_, &QTimer::timeout, this, &DetailForm::flush);
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
    // The line that takes the text past its limit empties it; the lines after it start anew.
    if (++lines_ > maxLines_) {
        memo_->clear();
        pending_.clear();
        lines_ = 0;
        return;
    }
    pending_ << line;
    if (isVisible() && !flushTimer_.isActive())
        flushTimer_.start();
}

void DetailForm::flush() {
    flushTimer_.stop();
    if (pending_.isEmpty())
        return;
    memo_->appendPlainText(pending_.join('\n'));
    pending_.clear();
}

QString DetailForm::text() {
    flush();
    return memo_->toPlainText();
}

void DetailForm::Clear() {
    memo_->clear();
    pending_.clear();
    lines_ = 0;
}

void DetailForm::showEvent(QShowEvent* event) {
    flush();
    QWidget::showEvent(event);
}

} // namespace lw
