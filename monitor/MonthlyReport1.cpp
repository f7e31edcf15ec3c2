#include "MonthlyReport1.h"

#include <QFile>
#include <QTableView>

#include "BandedHeader.h"
#include "Paths.h"

namespace lw {
namespace {

const QString kCaption = QStringLiteral("Monthly Report");

} // namespace

MonthlyReport::MonthlyReport(Dialogs& dialogs, SelectColForm& selectCol, const Clock& clock,
                             QWidget* parent)
    : ReportWindow(ReportKind::Monthly, dialogs, selectCol, clock, parent),
      MonthData_(monthColumns()) {
    setWindowTitle(kCaption);
    setMinimumSize(kMinimumSize);
    resize(kClientSize);
    setModel(MonthData_);
    std::vector<HeaderBand> bands;
    const auto columns = monthColumns();
    for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
        grid().setColumnWidth(c, c == 0 ? kBandWidth : kBandWidth / 2);
        if (c % 2 == 1)
            bands.push_back({c, 2, qtText(columns[static_cast<size_t>(c)].band)});
    }
    header().setBands(std::move(bands));
}

void MonthlyReport::Load() {
    applyFlags();
    MonthData_.setFormats(formats_);
    MonthLoad month = loadMonth(QFile::encodeName(programFolder()).toStdString(), date(),
                                tankText().toStdString(), formats_);
    MonthData_.setRows(std::move(month.rows));
    showError(month.error);
}

void MonthlyReport::applyFlags() {
    for (int c = 0; c < MonthData_.columnCount(); ++c)
        grid().setColumnHidden(c, !flags_[static_cast<size_t>(monthBandOf(c))]);
}

QString MonthlyReport::printTitle() const {
    return QString::fromStdString(monthReportTitle(tankText().toStdString(), date(), formats_));
}

std::vector<QString> MonthlyReport::printedBands() const {
    std::vector<QString> bands;
    for (const auto& column : monthColumns())
        bands.push_back(qtText(column.band));
    return bands;
}

} // namespace lw
