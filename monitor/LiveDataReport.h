#pragma once
// The printed live grid: the visible columns in grid order, scaled to the page width, the rows
// in table order, a title on the first page and "Page n of m" and the time of printing in the
// footer of every page. Letter paper, landscape, half-inch margins. Check boxes and battery
// bars are drawn as in the grid.

#include <QString>
#include <vector>

#include "Formats.h"
#include "LiveGridRules.h"
#include "ReportPrint.h"

class QPrinter;

namespace lw {

class LiveDataModel;

class LiveDataReport final : public ReportPrint {
public:
    LiveDataReport(const LiveDataModel& model, const std::vector<LiveColumn>& columns,
                   QString title, double printedAt, const Formats& formats);

    // Letter, landscape, margins of 0.5 inch on every side.
    static void setUpPrinter(QPrinter& printer);

protected:
    void paintCell(QPainter& painter, const QRectF& cell, const QModelIndex& index) const override;
};

} // namespace lw
