#include "HistReport1.h"

#include <QFile>
#include <QPushButton>
#include <QTableView>

#include "Paths.h"

namespace lw {
namespace {

const QString kCaption = QStringLiteral("History Report");
constexpr int kDateTimeWidth = 160;
constexpr int kValueWidth = 85;
constexpr QSize kInitialSize{820, 460};

} // namespace

HistReport::HistReport(Dialogs& dialogs, SelectColForm& selectCol, const Clock& clock,
                       QWidget* parent)
    : ReportWindow(ReportKind::History, dialogs, selectCol, clock, parent),
      HistData_(histColumns()) {
    setWindowTitle(kCaption);
    setMinimumSize(kMinimumSize);
    resize(kInitialSize);
    auto* refresh = new QPushButton(QStringLiteral("Refresh"), this);
    connect(refresh, &QPushButton::clicked, this, &HistReport::Load);
    addButton(refresh);
    setModel(HistData_);
    for (int c = 0; c < HistData_.columnCount(); ++c)
        grid().setColumnWidth(c, c == 0 ? kDateTimeWidth : kValueWidth);
}

void HistReport::Load() {
    applyFlags();
    HistData_.setFormats(formats_);
    DayLoad day = loadHistoryDay(QFile::encodeName(programFolder()).toStdString(), date(),
                                 tankText().toStdString(), formats_);
    HistData_.setRows(std::move(day.rows));
    showError(day.error);
}

void HistReport::applyFlags() {
    for (size_t c = 0; c < flags_.size(); ++c)
        grid().setColumnHidden(static_cast<int>(c), !flags_[c]);
}

QString HistReport::printTitle() const {
    return QString::fromStdString(histReportTitle(tankText().toStdString(), date(), formats_));
}

} // namespace lw
