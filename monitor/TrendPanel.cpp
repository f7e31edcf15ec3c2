#include "TrendPanel.h"

#include <QDateEdit>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "SystemClock.h"

namespace lw {
namespace {

const QString kInitialLabel = QStringLiteral("Tank Name");
const QString kDateFormat = QStringLiteral("M/d/yyyy");

} // namespace

TrendPanel::TrendPanel(QWidget* parent)
    : QWidget(parent), tank_(new QLabel(kInitialLabel, this)), date_(new QDateEdit(this)),
      chartArea_(new QFrame(this)) {
    QFont bold = tank_->font();
    bold.setBold(true);
    tank_->setFont(bold);
    tank_->setAlignment(Qt::AlignCenter);
    date_->setDisplayFormat(kDateFormat);
    date_->setCalendarPopup(true);
    date_->setDate(QDate::currentDate());
    connect(date_, &QDateEdit::dateChanged, this, &TrendPanel::dateChanged);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(6, 2, 6, 2);
    header->addWidget(tank_, 1);
    header->addWidget(new QLabel(QStringLiteral("Date"), this));
    header->addWidget(date_);

    auto* frame = static_cast<QFrame*>(chartArea_);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setBackgroundRole(QPalette::Light);
    frame->setAutoFillBackground(true);
    frame->setMinimumHeight(60);
    auto* placeholder = new QLabel(QStringLiteral("Trend chart not available yet"), frame);
    placeholder->setAlignment(Qt::AlignCenter);
    placeholder->setForegroundRole(QPalette::PlaceholderText);
    auto* chartLayout = new QVBoxLayout(frame);
    chartLayout->addWidget(placeholder);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(header);
    layout->addWidget(chartArea_, 1);
    resize(width(), kHeight);
}

void TrendPanel::setTank(const TankRecord* row) {
    if (!row) {
        tank_->setText(kInitialLabel);
        return;
    }
    QString label = QString::fromStdString(row->ID.value_or(""));
    if (row->TankName && !row->TankName->empty())
        label += QStringLiteral(" - ") + QString::fromStdString(*row->TankName);
    tank_->setText(label);
}

QString TrendPanel::tankLabel() const {
    return tank_->text();
}

double TrendPanel::date() const {
    return toDateTime(QDateTime(date_->date(), QTime(0, 0)));
}

void TrendPanel::setDate(double date) {
    date_->setDate(fromDateTime(date).date());
}

void TrendPanel::setSeriesShown(TrendSeries series, bool shown) {
    seriesShown_[static_cast<size_t>(series)] = shown;
}

bool TrendPanel::seriesShown(TrendSeries series) const {
    return seriesShown_[static_cast<size_t>(series)];
}

} // namespace lw
