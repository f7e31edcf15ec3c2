#pragma once
// The trend panel above the grid: a header strip with the focused tank's label and the date
// picker (whose date also titles the printed grid and starts the reports), and the chart area
// below it, which charts that tank's day.

#include <QWidget>
#include <array>

#include "DisplayFlags.h"
#include "TankRecord.h"

class QDateEdit;
class QLabel;
class QVBoxLayout;

namespace lw {

class TrendPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 215;

    explicit TrendPanel(QWidget* parent = nullptr);

    // The tank label: the ID, and " - " and the name when the tank has one.
    void setTank(const TankRecord* row);
    QString tankLabel() const;

    // The picker's date at midnight (days since 1899-12-30).
    double date() const;
    void setDate(double date);
    QDateEdit& datePicker() const { return *date_; }

    void setSeriesShown(TrendSeries series, bool shown);
    bool seriesShown(TrendSeries series) const;

    // Where the chart lives.
    QWidget& chartArea() const { return *chartArea_; }

signals:
    void dateChanged();

private:
    QLabel* tank_;
    QDateEdit* date_;
    QWidget* chartArea_;
    std::array<bool, kTrendSeriesCount> seriesShown_{};
};

} // namespace lw
