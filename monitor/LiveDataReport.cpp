#include "LiveDataReport.h"

#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <algorithm>

#include "DateTime.h"
#include "LiveDataModel.h"
#include "LiveGridDelegate.h"

namespace lw {
namespace {

constexpr double kMarginInch = 0.5;
constexpr double kBandInch = 0.2; // page header and footer
constexpr int kTitlePoints = 12;
constexpr int kCellPoints = 8;
const QString kPageText = QStringLiteral("Page %1 of %2");

QFont pointFont(int points, bool bold = false) {
    QFont f;
    f.setPointSize(points);
    f.setBold(bold);
    return f;
}

} // namespace

struct LiveDataReport::Metrics {
    double width = 0, height = 0; // the printable area, device units
    double band = 0;              // header and footer height
    double titleHeight = 0, captionHeight = 0, rowHeight = 0;
    std::vector<double> columnWidths;
    int firstPageRows = 1, pageRows = 1;

    int pages(int rows) const {
        if (rows <= firstPageRows)
            return 1;
        return 1 + (rows - firstPageRows + pageRows - 1) / pageRows;
    }
    int firstRowOf(int page) const { return page == 0 ? 0 : firstPageRows + (page - 1) * pageRows; }
    int rowsOn(int page) const { return page == 0 ? firstPageRows : pageRows; }
};

LiveDataReport::LiveDataReport(const LiveDataModel& model, std::vector<LiveColumn> columns,
                               QString title, double printedAt, const Formats& formats)
    : model_(model), columns_(std::move(columns)), title_(std::move(title)), printedAt_(printedAt),
      formats_(formats) {}

void LiveDataReport::setUpPrinter(QPrinter& printer) {
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Landscape,
                                      QMarginsF(kMarginInch, kMarginInch, kMarginInch, kMarginInch),
                                      QPageLayout::Inch));
    printer.setDocName(QStringLiteral("Live Data Report"));
}

LiveDataReport::Metrics LiveDataReport::metrics(QPrinter& printer, QPainter& painter) const {
    Metrics m;
    const QRectF area = printer.pageLayout().paintRectPixels(printer.resolution());
    m.width = area.width();
    m.height = area.height();
    m.band = kBandInch * printer.resolution();
    painter.setFont(pointFont(kTitlePoints, true));
    m.titleHeight = painter.fontMetrics().height() * 1.8;
    painter.setFont(pointFont(kCellPoints, true));
    // Two lines, so the long captions of narrow columns wrap instead of being cut.
    m.captionHeight = painter.fontMetrics().height() * 2.4;
    painter.setFont(pointFont(kCellPoints));
    m.rowHeight = painter.fontMetrics().height() * 1.5;

    // The grid's widths, scaled to the page.
    double total = 0;
    for (const LiveColumn c : columns_)
        total += liveColumn(c).width ? liveColumn(c).width : 100;
    for (const LiveColumn c : columns_)
        m.columnWidths.push_back((liveColumn(c).width ? liveColumn(c).width : 100) * m.width /
                                 std::max(total, 1.0));
    const double body = m.height - 2 * m.band - m.captionHeight;
    m.firstPageRows = std::max(1, static_cast<int>((body - m.titleHeight) / m.rowHeight));
    m.pageRows = std::max(1, static_cast<int>(body / m.rowHeight));
    return m;
}

void LiveDataReport::print(QPrinter* printer) const {
    QPainter painter(printer);
    const Metrics m = metrics(*printer, painter);
    const int pages = m.pages(model_.rowCount());
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            printer->newPage();
        paintPage(painter, m, page, pages);
    }
}

void LiveDataReport::paintPage(QPainter& painter, const Metrics& m, int page, int pages) const {
    double y = m.band;
    if (page == 0) {
        painter.setFont(pointFont(kTitlePoints, true));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(0, y, m.width, m.titleHeight), Qt::AlignCenter, title_);
        y += m.titleHeight;
    }

    const QPen grid(QColor(160, 160, 160), 0);
    painter.setFont(pointFont(kCellPoints, true));
    double x = 0;
    for (size_t c = 0; c < columns_.size(); ++c) {
        const QRectF cell(x, y, m.columnWidths[c], m.captionHeight);
        painter.fillRect(cell, QColor(230, 230, 230));
        painter.setPen(grid);
        painter.drawRect(cell);
        painter.setPen(Qt::black);
        const std::string_view caption = liveColumn(columns_[c]).caption;
        painter.drawText(
            cell.adjusted(3, 0, -3, 0), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWordWrap,
            QString::fromLatin1(caption.data(), static_cast<qsizetype>(caption.size())));
        x += m.columnWidths[c];
    }
    y += m.captionHeight;

    painter.setFont(pointFont(kCellPoints));
    const int first = m.firstRowOf(page);
    const int last = std::min(model_.rowCount(), first + m.rowsOn(page));
    for (int row = first; row < last; ++row, y += m.rowHeight) {
        x = 0;
        for (size_t c = 0; c < columns_.size(); ++c) {
            const QRectF cell(x, y, m.columnWidths[c], m.rowHeight);
            paintCell(painter, cell, row, columns_[c]);
            painter.setPen(grid);
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(cell);
            x += m.columnWidths[c];
        }
    }

    painter.setPen(Qt::black);
    const QRectF footer(0, m.height - m.band, m.width, m.band);
    painter.drawText(footer, Qt::AlignCenter, kPageText.arg(page + 1).arg(pages));
    const QString printed = QString::fromStdString(formatDate(printedAt_, formats_) + "  " +
                                                   formatTime(printedAt_, formats_));
    painter.drawText(footer, Qt::AlignRight | Qt::AlignVCenter, printed);
}

void LiveDataReport::paintCell(QPainter& painter, const QRectF& cell, int row,
                               LiveColumn column) const {
    const QModelIndex index = model_.index(row, static_cast<int>(column));
    const QVariant background = index.data(Qt::BackgroundRole);
    if (background.isValid())
        painter.fillRect(cell, background.value<QBrush>());
    const double pad = cell.height() * 0.2;
    const LiveColumnInfo& info = liveColumn(column);
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
    painter.setPen(Qt::black);
    const Qt::Alignment align =
        (info.kind == CellKind::Number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
    painter.drawText(cell.adjusted(pad, 0, -pad, 0), align,
                     QString::fromStdString(cellText(model_.LiveData()[row], column, formats_)));
}

} // namespace lw
