#include "LiveDataReport.h"

#include <QPainter>

#include "DateTime.h"
#include "LiveDataModel.h"
#include "LiveGridDelegate.h"

namespace lw {
namespace {

const QString kDocumentName = QStringLiteral("Live Data Report");
constexpr int kDefaultWidth = 100;
// Two lines, so the long captions of narrow columns wrap instead of being cut.
constexpr double kCaptionLines = 1.8;

std::vector<ReportPrint::Column> printedColumns(const std::vector<LiveColumn>& columns) {
    std::vector<ReportPrint::Column> printed;
    for (const LiveColumn c : columns)
        printed.push_back(
            {static_cast<int>(c),
             static_cast<double>(liveColumn(c).width ? liveColumn(c).width : kDefaultWidth),
             QString()});
    return printed;
}

QString printedText(double printedAt, const Formats& formats) {
    return QString::fromStdString(formatDate(printedAt, formats) + "  " +
                                  formatTime(printedAt, formats));
}

} // namespace

LiveDataReport::LiveDataReport(const LiveDataModel& model, const std::vector<LiveColumn>& columns,
                               QString title, double printedAt, const Formats& formats)
    : ReportPrint(model, printedColumns(columns), std::move(title), printedText(printedAt, formats),
                  {.captionLines = kCaptionLines}) {}

void LiveDataReport::setUpPrinter(QPrinter& printer) {
    ReportPrint::setUpPrinter(printer, kDocumentName);
}

void LiveDataReport::paintCell(QPainter& painter, const QRectF& cell,
                               const QModelIndex& index) const {
    const double pad = cell.height() * 0.2;
    const LiveColumnInfo& info = liveColumn(index.column());
    if (info.kind == CellKind::Check) {
        const QVariant state = index.data(Qt::CheckStateRole);
        if (!state.isValid())
            return;
        const double side = cell.height() - 2 * pad;
        const QRectF box(cell.center().x() - side / 2, cell.top() + pad, side, side);
        painter.setPen(QPen(Qt::black, 0));
        painter.setBrush(Qt::white);
        painter.drawRect(box);
        if (state.value<Qt::CheckState>() == Qt::Checked) {
            painter.setPen(QPen(Qt::black, side / 6));
            painter.drawLine(QPointF(box.left() + side * 0.2, box.top() + side * 0.55),
                             QPointF(box.left() + side * 0.42, box.bottom() - side * 0.2));
            painter.drawLine(QPointF(box.left() + side * 0.42, box.bottom() - side * 0.2),
                             QPointF(box.right() - side * 0.15, box.top() + side * 0.2));
        }
        return;
    }
    if (info.kind == CellKind::Battery) {
        const QVariant level = index.data(LiveDataModel::BatteryLevelRole);
        const BatteryBar bar = batteryBar(level.isValid() ? std::optional<int32_t>(level.toInt())
                                                          : std::optional<int32_t>());
        const QRectF track = cell.adjusted(pad, pad, -pad, -pad);
        painter.fillRect(
            QRectF(track.left(), track.top(), track.width() * bar.fill, track.height()),
            batteryBarColour(bar.style));
        return;
    }
    ReportPrint::paintCell(painter, cell, index);
}

} // namespace lw
