#include "TrendPanel.h"

#include <QChart>
#include <QDateEdit>
#include <QFile>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QHBoxLayout>
#include <QLabel>
#include <QPageLayout>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QThread>
#include <QVBoxLayout>

#include "Dialogs.h"
#include "LevelwatchForm.h"
#include "Paths.h"
#include "ReportData.h"
#include "SystemClock.h"
#include "TrendChart.h"

namespace lw {
namespace {

const QString kInitialLabel = QStringLiteral("Tank Name");
const QString kDateFormat = QStringLiteral("M/d/yyyy");
const QString kNotAnId =
    QStringLiteral("The trend cannot be loaded: tank ID '%1' is no whole number.");
const QString kPrintName = QStringLiteral("Trend");
constexpr double kPrintMarginPercent = 5;
constexpr int kPrintWidth = 1000; // the chart's width on paper, in its own pixels

} // namespace

TrendPanel::TrendPanel(QWidget* parent)
    : QWidget(parent), tank_(new QLabel(kInitialLabel, this)), date_(new QDateEdit(this)),
      chart_(new TrendChart(this)), retryWait_([] { QThread::msleep(kRetryMs); }) {
    QFont bold = tank_->font();
    bold.setBold(true);
    tank_->setFont(bold);
    tank_->setAlignment(Qt::AlignCenter);
    date_->setDisplayFormat(kDateFormat);
    date_->setCalendarPopup(true);
    date_->setDate(QDate::currentDate());
    connect(date_, &QDateEdit::dateChanged, this, [this] {
        ChartUpdate_ = true;
        LoadChart();
        emit dateChanged();
    });

    auto* header = new QHBoxLayout;
    header->setContentsMargins(6, 2, 6, 2);
    header->addWidget(tank_, 1);
    header->addWidget(new QLabel(QStringLiteral("Date"), this));
    header->addWidget(date_);

    chart_->setMinimumHeight(60);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(header);
    layout->addWidget(chart_, 1);
    resize(width(), kHeight);

    CheckChartUpdateTimer_.setInterval(kChartUpdateMs);
    connect(&CheckChartUpdateTimer_, &QTimer::timeout, this, [this] {
        if (ChartUpdate_)
            LoadChart();
    });
    CheckChartUpdateTimer_.start();
}

void TrendPanel::setTank(const TankRecord* row) {
    ChartUpdate_ = true;
    if (!row) {
        tankId_.reset();
        tank_->setText(kInitialLabel);
        return;
    }
    tankId_ = row->ID;
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

void TrendPanel::setFormats(const Formats& formats) {
    formats_ = formats;
}

void TrendPanel::setSeriesShown(TrendSeries series, bool shown) {
    chart_->setSeriesShown(series, shown);
}

bool TrendPanel::seriesShown(TrendSeries series) const {
    return chart_->seriesShown(series);
}

void TrendPanel::LoadChart() {
    if (isHidden())
        return;
    if (!tankId_ || tankId_->empty()) {
        showRows({});
        return;
    }
    const std::optional<std::string> tank = historyTankText(*tankId_);
    if (!tank) {
        showRows({});
        failed(kNotAnId.arg(QString::fromStdString(*tankId_)));
        return;
    }
    const std::filesystem::path folder = QFile::encodeName(programFolder()).toStdString();
    DayLoad day = loadHistoryDay(folder, date(), *tank, formats_);
    if (!day.error.empty()) {
        // The writer may hold the file at this moment: once more, a little later.
        retryWait_();
        day = loadHistoryDay(folder, date(), *tank, formats_);
    }
    showRows(day.rows);
    if (!day.error.empty()) {
        failed(QString::fromStdString(day.error));
        return;
    }
    lastError_.clear();
    if (day.found)
        ChartUpdate_ = false;
}

void TrendPanel::failed(const QString& error) {
    const bool again = error == lastError_;
    lastError_ = error;
    emit loadFailed(error, again);
}

void TrendPanel::showRows(const std::vector<HistRow>& rows) {
    chart_->setRows(rows, date());
}

void TrendPanel::PrintTrend(Dialogs& dialogs, QWidget* owner) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setDocName(kPrintName);
    printer.setCreator(QString::fromLatin1(kMainCaption));
    QPrintPreviewDialog preview(&printer, owner);
    preview.setWindowTitle(QStringLiteral("Print Trend"));
    const QString title = QStringLiteral("<b>%1</b><br>%2")
                              .arg(tankLabel().toHtmlEscaped(), date_->text().toHtmlEscaped());
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [&](QPrinter* p) {
        // A copy in a scene of its own: the chart on the screen stays as it is.
        QGraphicsScene scene;
        QChart* copy = chart_->copy(kPrintWidth).release();
        scene.addItem(copy);
        copy->setTitle(title);
        copy->setBackgroundVisible(false);
        copy->setDropShadowEnabled(false);
        const QRectF page = p->pageLayout().fullRectPixels(p->resolution());
        const QRectF paint = p->pageLayout().paintRectPixels(p->resolution());
        const QRectF area = page.adjusted(
            page.width() * kPrintMarginPercent / 100, page.height() * kPrintMarginPercent / 100,
            -page.width() * kPrintMarginPercent / 100, -page.height() * kPrintMarginPercent / 100);
        const QSizeF size(kPrintWidth, kPrintWidth * area.height() / area.width());
        copy->resize(size);
        copy->layout()->activate();
        QPainter painter(p);
        painter.setRenderHint(QPainter::Antialiasing);
        scene.render(&painter, area.translated(-paint.topLeft()), QRectF(QPointF(0, 0), size));
    });
    dialogs.exec(preview);
}

} // namespace lw
