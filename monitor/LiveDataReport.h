#pragma once
// The printed live grid: the visible columns in grid order, scaled to the page width, the rows
// in table order, a title on the first page and "Page n of m" and the time of printing in the
// footer of every page. Letter paper, landscape, half-inch margins.

#include <QString>
#include <vector>

#include "Formats.h"
#include "LiveGridRules.h"

class QPainter;
class QPrinter;
class QRectF;

namespace lw {

class LiveDataModel;

class LiveDataReport {
public:
    LiveDataReport(const LiveDataModel& model, std::vector<LiveColumn> columns, QString title,
                   double printedAt, const Formats& formats);

    // Letter, landscape, margins of 0.5 inch on every side.
    static void setUpPrinter(QPrinter& printer);

    const QString& title() const { return title_; }
    // Paints every page (the print preview's paint request).
    void print(QPrinter* printer) const;

private:
    struct Metrics;
    Metrics metrics(QPrinter& printer, QPainter& painter) const;
    void paintPage(QPainter& painter, const Metrics& m, int page, int pages) const;
    void paintCell(QPainter& painter, const QRectF& cell, int row, LiveColumn column) const;

    const LiveDataModel& model_;
    std::vector<LiveColumn> columns_;
    QString title_;
    double printedAt_;
    Formats formats_;
};

} // namespace lw
