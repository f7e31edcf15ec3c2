#pragma once
// The trend panel above the grid: a header strip with the focused tank's label and the date
// picker (whose date also titles the printed grid and starts the reports), and the chart of
// that tank's day below it.
//
// A reload is pending (ChartUpdate) from a change of the tank or the date until a load
// succeeds; the chart-update timer tries it every second, so a day whose file does not exist
// yet fills within a second of its first row. A load that fails is tried once more 50 ms
// later; a second failure is reported and stays pending. Rows logged after a successful load
// appear at the next change of the tank or the date, or when the panel is shown again.

#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "Formats.h"
#include "TankRecord.h"
#include "TrendData.h"

class QDateEdit;
class QLabel;

namespace lw {

class Dialogs;
class TrendChart;

class TrendPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 215;
    static constexpr int kChartUpdateMs = 1000;
    static constexpr int kRetryMs = 50;

    explicit TrendPanel(QWidget* parent = nullptr);

    // The tank label: the ID, and " - " and the name when the tank has one. A reload is due.
    void setTank(const TankRecord* row);
    QString tankLabel() const;

    // The picker's date at midnight (days since 1899-12-30).
    double date() const;
    void setDate(double date);
    QDateEdit& datePicker() const { return *date_; }

    void setFormats(const Formats& formats);
    void setSeriesShown(TrendSeries series, bool shown);
    bool seriesShown(TrendSeries series) const;
    TrendChart& chart() const { return *chart_; }

    // Reloads the chart from the tank's history file of the picker's day, unless the panel is
    // hidden (then the reload stays pending).
    void LoadChart();
    bool ChartUpdate() const { return ChartUpdate_; }
    const QTimer& CheckChartUpdateTimer() const { return CheckChartUpdateTimer_; }
    // What waits between the two attempts of a load: 50 ms by default.
    void setRetryWait(std::function<void()> wait) { retryWait_ = std::move(wait); }

    // "Print Trend...": a print preview of a copy of the chart, titled with the tank label and
    // the date.
    void PrintTrend(Dialogs& dialogs, QWidget* owner);

signals:
    void dateChanged();
    // A load failed twice, or the tank's ID is no whole number; the reload stays pending.
    // `again` when the same error was reported at the last try.
    void loadFailed(const QString& error, bool again);

private:
    void showRows(const std::vector<HistRow>& rows);
    void failed(const QString& error);

    QLabel* tank_;
    QDateEdit* date_;
    TrendChart* chart_;
    Formats formats_;
    std::optional<std::string> tankId_;
    bool ChartUpdate_ = true;
    QTimer CheckChartUpdateTimer_;
    std::function<void()> retryWait_;
    QString lastError_;
};

} // namespace lw
