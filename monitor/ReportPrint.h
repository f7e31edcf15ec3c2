#pragma once
// A grid on paper: the grid's shown columns in their order, widths scaled to the page, the band
// captions above the column captions when the grid has bands, the title on the first page, and
// in every page's footer "Page n of m" in the middle and the time of printing on the right.
// Letter paper, landscape, half-inch margins. Cells show the model's text and background; a
// grid with other cells (check boxes, bars) paints them itself.

#include <QString>
#include <vector>

class QAbstractItemModel;
class QModelIndex;
class QPainter;
class QPrinter;
class QRectF;
class QTableView;

namespace lw {

class ReportPrint {
public:
    struct Column {
        int column;   // of the model
        double width; // the grid's, in pixels: only the proportions count
        QString band; // the caption of the band above it; empty for none
    };

    struct Layout {
        bool bands = false;      // a row of band captions above the column captions
        double captionLines = 1; // lines of caption text the column captions have room for
    };

    ReportPrint(const QAbstractItemModel& model, std::vector<Column> columns, QString title,
                QString printedAt, Layout layout);
    virtual ~ReportPrint() = default;

    // The grid's shown columns, with the band captions `bandOf` gives (none when empty).
    static std::vector<Column> shownColumns(const QTableView& grid,
                                            const std::vector<QString>& bandOf = {});
    // Letter, landscape, half-inch margins; the document's creator is the program.
    static void setUpPrinter(QPrinter& printer, const QString& documentName);

    const QString& title() const { return title_; }
    // Paints every page (the print preview's paint request).
    void print(QPrinter* printer) const;

protected:
    // Paints what a cell shows on its background: the model's text, aligned as the model says.
    virtual void paintCell(QPainter& painter, const QRectF& cell, const QModelIndex& index) const;

private:
    struct Metrics;
    Metrics metrics(QPrinter& printer, QPainter& painter) const;
    void paintPage(QPainter& painter, const Metrics& m, int page, int pages) const;
    double paintCaptions(QPainter& painter, const Metrics& m, double y) const;

    const QAbstractItemModel& model_;
    std::vector<Column> columns_;
    QString title_;
    QString printedAt_;
    Layout layout_;
};

} // namespace lw
