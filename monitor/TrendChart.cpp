#include "TrendChart.h"

#include <QDateTimeAxis>
#include <QGraphicsLayout>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QValueAxis>
#include <algorithm>
#include <array>
#include <cmath>

#include "DateTime.h"
#include "SystemClock.h"

namespace lw {
namespace {

const QString kTimeFormat = QStringLiteral("h:mm AP");
const QString kLeftTitle = QStringLiteral("Volume / Level");
const QString kRightTitle = QStringLiteral("Temperature / Inputs");
const QString kZoomExtents = QStringLiteral("Zoom Extents");
constexpr int kTitlePixels = 13;
constexpr int kMarkerSize = 2; // pixels
constexpr int kPenWidth = 1;
constexpr int kPixelsPerSlice = 2;
constexpr double kValuePad = 0.05;
constexpr double kHourMs = 3600 * 1000.0;
constexpr std::array<int, 6> kTickHours{1, 2, 3, 4, 6, 12};
constexpr int kMaxTickIntervals = 8;

size_t indexOf(TrendSeries s) {
    return static_cast<size_t>(s);
}

QColor colourOf(const TrendSeriesInfo& info) {
    return QColor(static_cast<QRgb>(info.colour));
}

// The point marker as an image, which the chart copies to each point: drawing thousands of
// small ellipses as paths is what makes a busy chart slow.
QImage marker(const TrendSeriesInfo& info) {
    QImage image(kMarkerSize, kMarkerSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setPen(Qt::NoPen);
    p.setBrush(colourOf(info));
    if (info.circleMarker) {
        p.setRenderHint(QPainter::Antialiasing);
        p.drawEllipse(QRectF(0, 0, kMarkerSize, kMarkerSize));
    } else {
        p.drawRect(QRect(0, 0, kMarkerSize, kMarkerSize));
    }
    return image;
}

QLineSeries* makeSeries(const TrendSeriesInfo& info, QObject* parent) {
    auto* s = new QLineSeries(parent);
    s->setName(QString::fromLatin1(info.title.data(), static_cast<qsizetype>(info.title.size())));
    QPen pen(colourOf(info));
    pen.setWidth(kPenWidth);
    pen.setCosmetic(true);
    s->setPen(pen);
    s->setColor(colourOf(info));
    s->setMarkerSize(kMarkerSize);
    s->setLightMarker(marker(info));
    s->setPointsVisible(true);
    return s;
}

void styleAxes(QChart& chart, QDateTimeAxis& x, QValueAxis& left, QValueAxis& right) {
    QFont title;
    title.setPixelSize(kTitlePixels);
    x.setFormat(kTimeFormat);
    left.setTitleText(kLeftTitle);
    right.setTitleText(kRightTitle);
    for (QAbstractAxis* a : std::initializer_list<QAbstractAxis*>{&left, &right})
        a->setTitleFont(title);
    chart.addAxis(&x, Qt::AlignBottom);
    chart.addAxis(&left, Qt::AlignLeft);
    chart.addAxis(&right, Qt::AlignRight);
}

QList<QPointF> toQt(const std::vector<TrendPoint>& points) {
    QList<QPointF> list;
    list.reserve(static_cast<qsizetype>(points.size()));
    for (const TrendPoint& p : points)
        list.append(QPointF(p.x, p.y));
    return list;
}

} // namespace

TrendChart::TrendChart(QWidget* parent)
    : QChartView(parent), chart_(new QChart), x_(new QDateTimeAxis(chart_)),
      left_(new QValueAxis(chart_)), right_(new QValueAxis(chart_)), popup_(new QMenu(this)) {
    chart_->legend()->setAlignment(Qt::AlignRight);
    chart_->setMargins(QMargins(4, 4, 4, 4));
    chart_->layout()->setContentsMargins(0, 0, 0, 0);
    chart_->setBackgroundRoundness(0);
    chart_->setBackgroundBrush(palette().color(QPalette::Light));
    styleAxes(*chart_, *x_, *left_, *right_);
    for (const TrendSeriesInfo& info : trendSeries()) {
        QLineSeries* s = makeSeries(info, chart_);
        chart_->addSeries(s);
        s->attachAxis(x_);
        s->attachAxis(info.rightAxis ? right_ : left_);
        series_[indexOf(info.series)] = s;
    }
    setChart(chart_);
    setRenderHint(QPainter::Antialiasing, false);
    setRubberBand(QChartView::RectangleRubberBand);
    connect(x_, &QDateTimeAxis::rangeChanged, this, [this] { rethin(); });
    connect(popup_->addAction(kZoomExtents), &QAction::triggered, this, &TrendChart::zoomExtents);
    setRows({}, toDateTime(QDateTime(QDate::currentDate(), QTime(0, 0))));
}

void TrendChart::setRows(std::span<const HistRow> rows, double day) {
    const QDate date = fromDateTime(day).date();
    dayStartMs_ = static_cast<double>(QDateTime(date, QTime(0, 0)).toMSecsSinceEpoch());
    dayEndMs_ = static_cast<double>(QDateTime(date.addDays(1), QTime(0, 0)).toMSecsSinceEpoch());
    // Milliseconds of the epoch by arithmetic, unless the clocks change that day.
    const bool even = dayEndMs_ - dayStartMs_ == kMsPerDay;
    const double midnight = std::floor(day);
    for (const TrendSeriesInfo& info : trendSeries()) {
        std::vector<TrendPoint> points = trendPoints(rows, info.series);
        for (TrendPoint& p : points)
            p.x = even ? std::round(dayStartMs_ + (p.x - midnight) * kMsPerDay)
                       : static_cast<double>(fromDateTime(p.x).toMSecsSinceEpoch());
        points_[indexOf(info.series)] = std::move(points);
    }
    zoomExtents();
}

void TrendChart::setSeriesShown(TrendSeries series, bool shown) {
    QLineSeries* s = series_[indexOf(series)];
    s->setVisible(shown);
    for (QLegendMarker* marker : chart_->legend()->markers(s))
        marker->setVisible(shown);
    rethin();
}

bool TrendChart::seriesShown(TrendSeries series) const {
    return series_[indexOf(series)]->isVisible();
}

QLineSeries& TrendChart::series(TrendSeries series) const {
    return *series_[indexOf(series)];
}

const std::vector<TrendPoint>& TrendChart::dayPoints(TrendSeries series) const {
    return points_[indexOf(series)];
}

void TrendChart::zoomExtents() {
    double first = std::numeric_limits<double>::infinity();
    double last = -first;
    for (size_t i = 0; i < points_.size(); ++i) {
        if (!series_[i]->isVisible() || points_[i].empty())
            continue;
        first = std::min(first, points_[i].front().x);
        last = std::max(last, points_[i].back().x);
    }
    if (first > last) {
        first = dayStartMs_;
        last = dayEndMs_;
    }
    // Whole hours, with a tick every 1, 2, 3, 4, 6 or 12 hours, so the labels read 3:00 AM,
    // 6:00 AM rather than 2:57 AM.
    first = dayStartMs_ + std::floor((first - dayStartMs_) / kHourMs) * kHourMs;
    const double hours = std::max(1.0, std::ceil((last - first) / kHourMs));
    int step = kTickHours.back();
    for (const int s : kTickHours)
        if (hours / s <= kMaxTickIntervals) {
            step = s;
            break;
        }
    const int intervals = static_cast<int>(std::ceil(hours / step));
    last = first + intervals * step * kHourMs;
    x_->setTickCount(intervals + 1);
    // The series are emptied while the three axes change, so that the chart lays them out once,
    // in their new range.
    rethinning_ = true;
    for (QLineSeries* s : series_)
        s->clear();
    x_->setRange(QDateTime::fromMSecsSinceEpoch(std::llround(first)),
                 QDateTime::fromMSecsSinceEpoch(std::llround(last)));
    fitValueAxes();
    rethinning_ = false;
    rethin();
}

void TrendChart::fitValueAxes() {
    for (const bool right : {false, true}) {
        double low = std::numeric_limits<double>::infinity();
        double high = -low;
        for (const TrendSeriesInfo& info : trendSeries()) {
            const size_t i = indexOf(info.series);
            if (info.rightAxis != right || !series_[i]->isVisible())
                continue;
            for (const TrendPoint& p : points_[i]) {
                low = std::min(low, p.y);
                high = std::max(high, p.y);
            }
        }
        if (low > high) {
            low = 0;
            high = 1;
        } else if (low == high) {
            low -= 1;
            high += 1;
        }
        const double pad = (high - low) * kValuePad;
        QValueAxis* axis = right ? right_ : left_;
        axis->setRange(low - pad, high + pad);
        axis->applyNiceNumbers();
    }
}

void TrendChart::rethin() {
    if (rethinning_)
        return;
    rethinning_ = true;
    const double from = static_cast<double>(x_->min().toMSecsSinceEpoch());
    const double to = static_cast<double>(x_->max().toMSecsSinceEpoch());
    // The lowest and highest point of every two pixels: a line of one pixel looks the same, and
    // the chart lays out and draws about one point per pixel.
    const int width = std::max(1, static_cast<int>(chart_->plotArea().width()) / kPixelsPerSlice);
    for (size_t i = 0; i < series_.size(); ++i) {
        if (series_[i]->isVisible())
            series_[i]->replace(toQt(thinPoints(points_[i], from, to, width)));
        else if (series_[i]->count())
            series_[i]->clear();
    }
    rethinning_ = false;
}

std::unique_ptr<QChart> TrendChart::copy(int width) const {
    auto chart = std::make_unique<QChart>();
    auto* x = new QDateTimeAxis(chart.get());
    auto* left = new QValueAxis(chart.get());
    auto* right = new QValueAxis(chart.get());
    styleAxes(*chart, *x, *left, *right);
    x->setRange(x_->min(), x_->max());
    x->setTickCount(x_->tickCount());
    left->setRange(left_->min(), left_->max());
    right->setRange(right_->min(), right_->max());
    left->setTickCount(left_->tickCount());
    right->setTickCount(right_->tickCount());
    chart->legend()->setAlignment(Qt::AlignRight);
    const double from = static_cast<double>(x_->min().toMSecsSinceEpoch());
    const double to = static_cast<double>(x_->max().toMSecsSinceEpoch());
    for (const TrendSeriesInfo& info : trendSeries()) {
        const size_t i = indexOf(info.series);
        QLineSeries* s = makeSeries(info, chart.get());
        s->replace(toQt(thinPoints(points_[i], from, to, width)));
        chart->addSeries(s);
        s->attachAxis(x);
        s->attachAxis(info.rightAxis ? right : left);
        s->setVisible(series_[i]->isVisible());
        for (QLegendMarker* marker : chart->legend()->markers(s))
            marker->setVisible(series_[i]->isVisible());
    }
    return chart;
}

void TrendChart::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        ChartCursor_ = Qt::ClosedHandCursor;
        dragFrom_ = event->pos();
        event->accept();
        return;
    }
    if (event->button() == Qt::MiddleButton) {
        popup_->popup(mapToGlobal(event->pos()) + QPoint(-5, 10));
        event->accept();
        return;
    }
    QChartView::mousePressEvent(event);
}

void TrendChart::mouseMoveEvent(QMouseEvent* event) {
    viewport()->setCursor(ChartCursor_);
    if (event->buttons() & Qt::RightButton) {
        const QPoint by = event->pos() - dragFrom_;
        dragFrom_ = event->pos();
        chart_->scroll(-by.x(), by.y());
        event->accept();
        return;
    }
    QChartView::mouseMoveEvent(event);
}

void TrendChart::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        // The right button scrolls here; it does not zoom out as the view would.
        ChartCursor_ = Qt::ArrowCursor;
        viewport()->setCursor(ChartCursor_);
        event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(event);
}

void TrendChart::resizeEvent(QResizeEvent* event) {
    QChartView::resizeEvent(event);
    rethin();
}

} // namespace lw
