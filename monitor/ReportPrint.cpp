#include "ReportPrint.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QTableView>
#include <algorithm>

#include "LevelwatchForm.h"

namespace lw {
namespace {

constexpr double kMarginInch = 0.5;
constexpr double kBandInch = 0.2; // page header and footer
constexpr int kTitlePoints = 12;
constexpr int kCellPoints = 8;
const QString kPageText = QStringLiteral("Page %1 of %2");
const QColor kCaptionFill(230, 230, 230);
const QColor kRule(160, 160, 160);

QFont pointFont(int points, bool bold = false) {
    QFont f;
    f.setPointSize(points);
    f.setBold(bold);
    return f;
}

} // namespace

struct ReportPrint::Metrics {
    double width = 0, height = 0; // the printable area, device units
    double band = 0;              // page header and footer height
    double titleHeight = 0, captionHeight = 0, rowHeight = 0;
    std::vector<double> widths;
    int firstPageRows = 1, pageRows = 1;

    int pages(int rows) const {
        return rows <= firstPageRows ? 1 : 1 + (rows - firstPageRows + pageRows - 1) / pageRows;
    }
    int firstRowOf(int page) const { return page == 0 ? 0 : firstPageRows + (page - 1) * pageRows; }
    int rowsOn(int page) const { return page == 0 ? firstPageRows : pageRows; }
};

ReportPrint::ReportPrint(const QAbstractItemModel& model, std::vector<Column> columns,
                         QString title, QString printedAt, Layout layout)
    : model_(model), columns_(std::move(columns)), title_(std::move(title)),
      printedAt_(std::move(printedAt)), layout_(layout) {}

std::vector<ReportPrint::Column> ReportPrint::shownColumns(const QTableView& grid,
                                                           const std::vector<QString>& bandOf) {
    std::vector<Column> columns;
    const int count = grid.model() ? grid.model()->columnCount() : 0;
    for (int c = 0; c < count; ++c)
        if (!grid.isColumnHidden(c))
            columns.push_back({c, static_cast<double>(grid.columnWidth(c)),
                               static_cast<size_t>(c) < bandOf.size()
                                   ? bandOf[static_cast<size_t>(c)]
                                   : QString()});
    return columns;
}

void ReportPrint::setUpPrinter(QPrinter& printer, const QString& documentName) {
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Landscape,
                                      QMarginsF(kMarginInch, kMarginInch, kMarginInch, kMarginInch),
                                      QPageLayout::Inch));
    printer.setDocName(documentName);
    printer.setCreator(QString::fromLatin1(kMainCaption));
}

ReportPrint::Metrics ReportPrint::metrics(QPrinter& printer, QPainter& painter) const {
    Metrics m;
    const QRectF area = printer.pageLayout().paintRectPixels(printer.resolution());
    m.width = area.width();
    m.height = area.height();
    m.band = kBandInch * printer.resolution();
    painter.setFont(pointFont(kTitlePoints, true));
    m.titleHeight = painter.fontMetrics().height() * 1.8;
    painter.setFont(pointFont(kCellPoints, true));
    m.captionHeight =
        painter.fontMetrics().height() * (0.6 + layout_.captionLines) * (layout_.bands ? 2 : 1);
    painter.setFont(pointFont(kCellPoints));
    m.rowHeight = painter.fontMetrics().height() * 1.5;

    double total = 0;
    for (const Column& c : columns_)
        total += std::max(c.width, 1.0);
    for (const Column& c : columns_)
        m.widths.push_back(std::max(c.width, 1.0) * m.width / std::max(total, 1.0));
    const double body = m.height - 2 * m.band - m.captionHeight;
    m.firstPageRows = std::max(1, static_cast<int>((body - m.titleHeight) / m.rowHeight));
    m.pageRows = std::max(1, static_cast<int>(body / m.rowHeight));
    return m;
}

void ReportPrint::print(QPrinter* printer) const {
    QPainter painter(printer);
    const Metrics m = metrics(*printer, painter);
    const int pages = m.pages(model_.rowCount());
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            printer->newPage();
        paintPage(painter, m, page, pages);
    }
}

double ReportPrint::paintCaptions(QPainter& painter, const Metrics& m, double y) const {
    painter.setFont(pointFont(kCellPoints, true));
    const double row = layout_.bands ? m.captionHeight / 2 : m.captionHeight;
    auto cell = [&](const QRectF& r, const QString& text, Qt::Alignment align) {
        painter.fillRect(r, kCaptionFill);
        painter.setPen(QPen(kRule, 0));
        painter.drawRect(r);
        painter.setPen(Qt::black);
        painter.drawText(r.adjusted(3, 0, -3, 0), align | Qt::AlignVCenter | Qt::TextWordWrap,
                         text);
    };
    double x = 0;
    for (size_t c = 0; c < columns_.size();) {
        const QString& band = columns_[c].band;
        size_t end = c + 1;
        double span = m.widths[c];
        const bool banded = layout_.bands && !band.isEmpty();
        if (banded)
            for (; end < columns_.size() && columns_[end].band == band; ++end)
                span += m.widths[end];
        if (banded) {
            cell(QRectF(x, y, span, row), band, Qt::AlignHCenter);
            double cx = x;
            for (size_t k = c; k < end; ++k) {
                cell(QRectF(cx, y + row, m.widths[k], row),
                     model_.headerData(columns_[k].column, Qt::Horizontal).toString(),
                     Qt::AlignLeft);
                cx += m.widths[k];
            }
        } else {
            cell(QRectF(x, y, span, m.captionHeight),
                 model_.headerData(columns_[c].column, Qt::Horizontal).toString(), Qt::AlignLeft);
        }
        x += span;
        c = end;
    }
    return y + m.captionHeight;
}

void ReportPrint::paintCell(QPainter& painter, const QRectF& cell, const QModelIndex& index) const {
    const QVariant align = index.data(Qt::TextAlignmentRole);
    Qt::Alignment alignment = Qt::AlignLeft;
    if (align.metaType() == QMetaType::fromType<Qt::Alignment>())
        alignment = align.value<Qt::Alignment>();
    else if (align.isValid())
        alignment = Qt::Alignment(align.toInt());
    alignment = (alignment & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter;
    const double pad = cell.height() * 0.2;
    painter.setPen(Qt::black);
    painter.drawText(cell.adjusted(pad, 0, -pad, 0), alignment, index.data().toString());
}

void ReportPrint::paintPage(QPainter& painter, const Metrics& m, int page, int pages) const {
    double y = m.band;
    if (page == 0) {
        painter.setFont(pointFont(kTitlePoints, true));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(0, y, m.width, m.titleHeight), Qt::AlignCenter, title_);
        y += m.titleHeight;
    }
    y = paintCaptions(painter, m, y);

    painter.setFont(pointFont(kCellPoints));
    const int first = m.firstRowOf(page);
    const int last = std::min(model_.rowCount(), first + m.rowsOn(page));
    for (int row = first; row < last; ++row, y += m.rowHeight) {
        double x = 0;
        for (size_t c = 0; c < columns_.size(); ++c) {
            const QRectF cell(x, y, m.widths[c], m.rowHeight);
            const QModelIndex index = model_.index(row, columns_[c].column);
            const QVariant background = index.data(Qt::BackgroundRole);
            if (background.isValid())
                painter.fillRect(cell, background.value<QBrush>());
            paintCell(painter, cell, index);
            painter.setPen(QPen(kRule, 0));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(cell);
            x += m.widths[c];
        }
    }

    painter.setPen(Qt::black);
    const QRectF footer(0, m.height - m.band, m.width, m.band);
    painter.drawText(footer, Qt::AlignCenter, kPageText.arg(page + 1).arg(pages));
    painter.drawText(footer, Qt::AlignRight | Qt::AlignVCenter, printedAt_);
}

} // namespace lw
