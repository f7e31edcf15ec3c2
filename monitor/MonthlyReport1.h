#pragma once
// "Monthly Report": one row per day of a tank's month with the day's minimum and maximum of
// each quantity, under a band per quantity.

#include "ReportModel.h"
#include "ReportWindow.h"

namespace lw {

class MonthlyReport final : public ReportWindow {
    Q_OBJECT
public:
    static constexpr QSize kClientSize{1013, 433};
    static constexpr QSize kMinimumSize{415, 190};
    static constexpr int kBandWidth = 100;

    MonthlyReport(Dialogs& dialogs, SelectColForm& selectCol, const Clock& clock,
                  QWidget* parent = nullptr);

    void Load() override;
    const ReportModel<MonthRow>& MonthData() const { return MonthData_; }

protected:
    void applyFlags() override;
    QString printTitle() const override;
    std::vector<QString> printedBands() const override;
    QAbstractItemModel& model() const override { return MonthData_; }

private:
    mutable ReportModel<MonthRow> MonthData_;
};

} // namespace lw
