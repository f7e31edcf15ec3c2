#pragma once
// "New Tank": the ID, name and communication type of a tank to insert. Created once and
// reused, so it shows what was entered the time before.

#include <QDialog>
#include <optional>

class QComboBox;
class QLineEdit;

namespace lw {

class NewTankForm : public QDialog {
    Q_OBJECT
public:
    explicit NewTankForm(QWidget* parent = nullptr);

    QLineEdit& TankID() const { return *tankId_; }
    QLineEdit& TankName() const { return *tankName_; }
    QComboBox& ComType() const { return *comType_; }
    // The chosen communication code; empty when none (or "Unknown") was chosen.
    std::optional<int32_t> comTypeCode() const;

    void accept() override;

private:
    // An empty ID becomes "1" when the field is left and when OK is pressed.
    void TankIDPropertiesValidate();

    QLineEdit* tankId_;
    QLineEdit* tankName_;
    QComboBox* comType_;
};

} // namespace lw
