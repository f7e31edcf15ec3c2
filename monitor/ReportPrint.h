#pragma once
// A report's grid on paper: the grid's shown columns in their order, widths scaled to the page,
// the band captions above the column captions when the report has bands, the title on the
// first page, and in every page's footer "Page n of m" in the middle and the time of printing
// on the right. Letter paper, landscape, half-inch margins.

#include <QString>
#include <vector>

class QAbstractItemModel;
class QPainter;
class QPrinter;
class QTableView;

namespace lw {

class ReportPrint {
public:
    struct Column {
        int column;   // of the model
        double width; // the grid's, in pixels: only the proportions count
        QString band; // the caption of the band above it; empty for none
    };

    ReportPrint(const QAbstractItemModel& model, std::vector<Column> columns, QString title,
                QString printedAt, bool bands);

    // The grid's shown columns, with the band captions `bandOf` gives (none when empty).
    static std::vector<Column> shownColumns(const QTableView& grid,
                                            const std::vector<QString>& bandOf = {});
    // Letter, landscape, half-inch margins; the document's creator is the program.
    static void setUpPrinter(QPrinter& printer, const QString& documentName);

    const QString& title() const { return title_; }
    // Paints every page (the print preview's paint request).
    void print(QPrinter* printer) const;

private:
    struct Metrics;
    Metrics metrics(QPrinter& printer, QPainter& painter) const;
    void paintPage(QPainter& painter, const Metrics& m, int page, int pages) const;
    double paintCaptions(QPainter& painter, const Metrics& m, double y) const;

    const QAbstractItemModel& model_;
    std::vector<Column> columns_;
    QString title_;
    QString printedAt_;
    bool bands_;
};

} // namespace lw
