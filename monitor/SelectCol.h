#pragma once
// "Select Columns": ten check boxes for the columns of a report, "Cancel" and "Apply". It only
// shows and returns the boxes' states; the report that opens it reads and writes its flags.

#include <QDialog>
#include <array>

class QCheckBox;

namespace lw {

inline constexpr int kReportFlagCount = 10;
using ReportFlagStates = std::array<bool, kReportFlagCount>;

class SelectColForm : public QDialog {
    Q_OBJECT
public:
    explicit SelectColForm(QWidget* parent = nullptr);

    // The first box names the date column the way the calling report does.
    void setFirstCaption(const QString& caption);
    void setStates(const ReportFlagStates& states);
    ReportFlagStates states() const;
    QCheckBox& box(int i) const { return *boxes_[static_cast<size_t>(i)]; }

private:
    std::array<QCheckBox*, kReportFlagCount> boxes_{};
};

} // namespace lw
