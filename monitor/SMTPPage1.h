#pragma once
// "Email Setup": the mail server, logon, sender and test address ("Email Settings"), and the
// e-mail schedule "Email.txt" ("Email Schedule"). The schedule grid edits the mailer's own
// table in place, so the monitor's scheduled sending acts on it at once; "Apply" saves it to
// "Email.txt" and closes with OK (the main window then takes and saves the settings), "Cancel"
// and closing otherwise restore the file's contents. "Test Email" sends the live report through
// the mail thread with the settings as typed, applied or not; a failure is shown to the
// operator, the outcome also beside the button.

#include <QDialog>
#include <functional>

#include "Clock.h"
#include "Formats.h"
#include "Settings.h"
#include "TankTable.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableView;

namespace lw {

class Dialogs;
class MailOutbox;
class ReportMailer;
class ScheduleModel;
struct SmtpOutcome;

class SMTPPage1 : public QDialog {
    Q_OBJECT
public:
    enum Tab { SettingsTab, ScheduleTab };

    // What the window needs of the main window.
    struct Window {
        const Clock& clock;
        Dialogs& dialogs;
        const TankTable& LiveData;      // for the test mail's live report
        std::function<bool()> ownsPort; // ComActive = 1: this program sends, nobody else writes
    };

    SMTPPage1(ReportMailer& mailer, MailOutbox& outbox, Window window, const Formats& formats,
              QWidget* parent = nullptr);
    ~SMTPPage1() override;

    void setFormats(const Formats& formats);

    // Fills the settings controls from the main window's fields.
    void SMTPPage1Init(const SmtpSettings& fields);
    // The settings as typed (CAFile, which the window does not show, as given to Init).
    SmtpSettings settings() const;

    // "Add": a row before the focused one, "Everyday" at 00:00:00 for the tank IDs "1000".
    void AddClick();
    // "Delete": the focused row goes; deleting the only row leaves one empty row.
    void DeleteClick();
    // "Apply": "Email.txt" saved, then OK. A host, user name or address that breaks its rule,
    // or a file that cannot be written, is named and the window stays open.
    void ApplyClick();
    void TestEmailClick();
    // "Cancel", the close button, Escape: the schedule as the file has it.
    void reject() override;

    // The controls, for the main window's tests and screens.
    QTabWidget& tabs() const { return *tabs_; }
    QLineEdit& SMTPHost() const { return *host_; }
    QSpinBox& SMTPPort() const { return *port_; }
    QComboBox& Security() const { return *security_; }
    QLineEdit& UserName() const { return *user_; }
    QLineEdit& Password() const { return *password_; }
    QLineEdit& EmailName() const { return *emailName_; }
    QLineEdit& EmailAddress() const { return *email_; }
    QLineEdit& TestEmailAddress() const { return *testEmail_; }
    QPushButton& TestEmailButton() const { return *testButton_; }
    QPushButton& AddButton() const { return *addButton_; }
    QPushButton& DeleteButton() const { return *deleteButton_; }
    QTableView& grid() const { return *grid_; }
    ScheduleModel& scheduleModel() const { return *model_; }
    // The line beside the buttons: the test mail's outcome, a refused grid entry.
    QString note() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildSettingsTab();
    QWidget* buildScheduleTab();
    void testEmailDone(const QString& to, const SmtpOutcome& outcome);
    void reloadSchedule(const std::function<void()>& load);

    ReportMailer& mailer_;
    MailOutbox& outbox_;
    Window window_;
    Formats formats_;
    SmtpAuth auth_ = SmtpAuth::Default; // not shown: passes through unchanged
    QString caFile_;

    QTabWidget* tabs_;
    QLineEdit* host_;
    QSpinBox* port_;
    QComboBox* security_;
    QLineEdit* user_;
    QLineEdit* password_;
    QLineEdit* emailName_;
    QLineEdit* email_;
    QLineEdit* testEmail_;
    QPushButton* testButton_;
    QPushButton* addButton_;
    QPushButton* deleteButton_;
    QLabel* note_;
    QTableView* grid_;
    ScheduleModel* model_;
};

} // namespace lw
