#pragma once
// "History Report": one tank's history file of one day, row by row as it was logged.

#include "ReportModel.h"
#include "ReportWindow.h"

namespace lw {

class HistReport final : public ReportWindow {
    Q_OBJECT
public:
    static constexpr QSize kMinimumSize{415, 170};

    HistReport(Dialogs& dialogs, SelectColForm& selectCol, const Clock& clock,
               QWidget* parent = nullptr);

    void Load() override;
    const ReportModel<HistRow>& HistData() const { return HistData_; }

protected:
    void applyFlags() override;
    QString printTitle() const override;
    QAbstractItemModel& model() const override { return HistData_; }

private:
    mutable ReportModel<HistRow> HistData_;
};

} // namespace lw
