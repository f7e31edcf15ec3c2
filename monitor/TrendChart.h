#pragma once
// The trend chart of a tank-day: nine line series against the time of day, level and volume on
// the left axis, temperature and inputs on the right. The left button drags a rectangle to zoom
// in, the right button drags the chart along (with the hand cursor), the middle button opens
// "Zoom Extents", which shows the whole day again. Each series keeps the day's points and draws
// only what its width can show (see thinPoints), so a busy day zooms and scrolls smoothly.

#include <QChartView>
#include <array>
#include <memory>
#include <span>
#include <vector>

#include "HistRow.h"
#include "TrendData.h"

class QMenu;

QT_BEGIN_NAMESPACE
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;
QT_END_NAMESPACE

namespace lw {

class TrendChart : public QChartView {
    Q_OBJECT
public:
    explicit TrendChart(QWidget* parent = nullptr);

    // The rows of the day `day` (which spans the chart when there are none): each series gets
    // its points and the chart shows all of them.
    void setRows(std::span<const HistRow> rows, double day);
    void setSeriesShown(TrendSeries series, bool shown);
    bool seriesShown(TrendSeries series) const;
    // Undoes any zoom and scrolling: the axes span all the data of the shown series.
    void zoomExtents();

    QLineSeries& series(TrendSeries series) const;
    // The points of the day (x in milliseconds since the epoch), before thinning.
    const std::vector<TrendPoint>& dayPoints(TrendSeries series) const;
    QDateTimeAxis& axisX() const { return *x_; }
    QValueAxis& axisLeft() const { return *left_; }
    QValueAxis& axisRight() const { return *right_; }
    QMenu& popup() const { return *popup_; }
    // The cursor that moving over the chart applies: the hand while the right button is held.
    Qt::CursorShape ChartCursor() const { return ChartCursor_; }

    // A new chart with the same series, data, colours and axis ranges, drawn with at most
    // `width` points across; for printing, so the chart on screen stays as it is.
    std::unique_ptr<QChart> copy(int width) const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Gives every shown series the points its width can show in the current range.
    void rethin();
    void fitValueAxes();

    QChart* chart_;
    QDateTimeAxis* x_;
    QValueAxis* left_;
    QValueAxis* right_;
    std::array<QLineSeries*, kTrendSeriesCount> series_{};
    std::array<std::vector<TrendPoint>, kTrendSeriesCount> points_;
    double dayStartMs_ = 0;
    double dayEndMs_ = 0;
    QMenu* popup_;
    Qt::CursorShape ChartCursor_ = Qt::ArrowCursor;
    QPoint dragFrom_;
    bool rethinning_ = false;
};

} // namespace lw
