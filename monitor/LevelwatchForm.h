#pragma once
// The operator's main window: the trend panel above the live grid, the status line, the menus,
// and the start-up sequence that reads the settings, opens the data source, loads the live table
// and builds the poll list. It wires the parts together; decoding, formats and files are the
// core's, the data source is MonitorLink's.

#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

#include "AtomicFile.h"
#include "Clock.h"
#include "DisplayFlags.h"
#include "Formats.h"
#include "HistoryFile.h"
#include "IndyRx.h"
#include "LiveUpdate.h"
#include "Settings.h"

class QLabel;
class QPrinter;
class QSplitter;

namespace lw {

class AboutBox;
class DetailForm;
class Dialogs;
class HistReport;
class LiveDataModel;
class LiveGrid;
class MonitorLink;
class MonitorMail;
class MonthlyReport;
class NewTankForm;
class ReportWindow;
class SelectColForm;
class PropertyPage1;
class SMTPPage1;
class TrendPanel;
class WindowMail;
struct MainMenus;

// What the window is given rather than takes from the process, so tests can replace it.
struct MonitorEnvironment {
    const Clock* clock = nullptr;
    Dialogs* dialogs = nullptr;
    // Where alarm reports and schedule passes go; none: the window's own mail, which keeps the
    // schedule that the e-mail setup edits either way.
    MonitorMail* mail = nullptr;
    // The regional formats: read at start and once more at the first change of the regional
    // settings while the program runs.
    std::function<Formats()> regionalFormats;
    IndyRxTimeouts linkTimeouts;
};

inline constexpr char kMainCaption[] = "Ostrel Levelwatch";
inline constexpr char kManualFile[] = "470-471 Levelwatch Software_v2.02.1.pdf";
inline constexpr char kEmailNotChanged[] = "Email settings not changed.";
inline constexpr char kEmailUpdated[] = "Updated Email settings.";

class LevelwatchForm : public QMainWindow, private LiveUpdateHooks {
    Q_OBJECT
public:
    static constexpr int kStatusClearMs = 10000;
    static constexpr int kIdChangeRetryMs = 5000;
    static constexpr int kEmailTimerMs = 60000;
    static constexpr QSize kMinimumSize{250, 150};
    // Where the setup windows open, from the main window's top-left corner.
    static constexpr QPoint kSetupWindowOffset{214, 110};

    // Runs the start-up sequence.
    explicit LevelwatchForm(const MonitorEnvironment& environment, QWidget* parent = nullptr);
    ~LevelwatchForm() override;

    LiveDataModel& model() const { return *model_; }
    LiveGrid& grid() const { return *grid_; }
    TrendPanel& trend() const { return *trend_; }
    DetailForm& detail() const { return *detail_; }
    MonitorLink& link() const { return *link_; }
    NewTankForm& newTankForm() const { return *newTank_; }
    HistReport& histReport() const { return *histReport_; }
    MonthlyReport& monthlyReport() const { return *monthlyReport_; }
    SelectColForm& selectCol() const { return *selectCol_; }
    PropertyPage1& propertyPage() const { return *propertyPage_; }
    SMTPPage1& smtpPage() const { return *smtpPage_; }
    const MainMenus& menus() const { return *menus_; }
    const DisplayFlags& displayFlags() const { return flags_; }
    const Formats& formats() const { return formats_; }
    // The mail settings as read at start-up; the e-mail setup window keeps them.
    SmtpSettings& SMTP() { return SMTP_; }
    MonitorMail& mail() const { return *mail_; }
    // The window's own mail, with the schedule the setup window edits.
    WindowMail& windowMail() const { return *ownMail_; }

    // The status line: a text stays for 10 seconds unless a newer one replaces it.
    void UpdateStatus(const QString& text);
    QString statusLine() const;
    const QTimer& Timer3() const { return Timer3_; }
    void Timer3Timer();

    // Rebuilds the poll list from the grid, or, while an editor is open, retries every 5 seconds.
    void SetupPollModbus();
    const QTimer& IDChangeDone() const { return IDChangeDone_; }
    void IDChangeDoneTimer() { SetupPollModbus(); }
    // The once-a-minute mail pass (serial mode only).
    void EmailTimerTimer();

    // After the communications window closed with OK (it has set the mode, the link and the
    // port on link()): the data source follows.
    void applyCommSetup(bool linkSettingsChanged);

    // Menu handlers.
    void InsertTankClick();
    void DeleteTankClick();
    void PrintButtonClick();
    void dxBarButton3Click(); // F1: the manual
    void AboutClick();
    void DetailMenuClick();
    void TrendClick(bool shown);
    // A column toggle of the View menu (by its position in menu order) was pressed.
    void columnToggleClick(int toggle, bool shown);
    void HistReportClick();
    void MonthlyReportClick();
    void PrintTrendClick();
    // The setup windows: "Comm Setup" (then applyCommSetup after OK) and "Email Setup".
    void PortSetupClick();
    void SMTPSetupClick();
    // The mail settings to the machine-wide store; a refusal is told to the operator.
    void SaveSMTP();

    // One accepted frame into the live table (NewTankData of the core).
    void NewTankData(const FrameBuffer& rx, int registerCount, FrameSource source);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void readUserSettings();
    void loadLiveData();
    void applyDisplayFlags();
    void setColumnShown(int toggle, bool shown);
    void postLiveData(Durability durability);
    void rowEdited(int row, TankField field);
    void focusedRowChanged(int row);
    void writePlacement();
    void regionalSettingsChanged();
    void openReport(ReportWindow& report);
    void chartLoadFailed(const QString& error, bool again);

    // LiveUpdateHooks
    bool editorOpen() const override;
    void detailLine(const std::string& line) override;
    void fieldWritten(int slot, int row, TankField field, const FieldValue& value) override;
    void dispTypeChanged() override;
    void historyRow(const TankRecord& row, uint32_t tankId, bool change, bool isInterface) override;
    void sendAlarmEmail(const AlarmEmailArgs& args) override;
    void statusText(const std::string& text) override;
    void rowPosted(int row) override;

    MonitorEnvironment env_;
    Formats formats_;
    bool regionalFormatsFixed_ = false;
    DisplayFlags flags_;
    SmtpSettings SMTP_;

    std::unique_ptr<LiveDataModel> model_;
    std::unique_ptr<WindowMail> ownMail_;
    MonitorMail* mail_ = nullptr;
    std::unique_ptr<MonitorLink> link_;
    std::unique_ptr<MainMenus> menus_;
    QSplitter* splitter_;
    TrendPanel* trend_;
    LiveGrid* grid_;
    QLabel* status_;
    DetailForm* detail_;
    AboutBox* about_;
    NewTankForm* newTank_;
    SelectColForm* selectCol_;
    HistReport* histReport_;
    MonthlyReport* monthlyReport_;
    PropertyPage1* propertyPage_;
    SMTPPage1* smtpPage_;

    std::optional<LiveUpdate> liveUpdate_;
    std::optional<HistoryFile> history_;
    double frameTime_ = 0;          // "now" of the frame being decoded
    bool framePosted_ = false;      // a row of that frame was posted
    bool frameTypeChanged_ = false; // a row of that frame changed its display type

    QTimer Timer3_;
    QTimer IDChangeDone_;
    QTimer EmailTimer_;
    QTimer placementTimer_; // one write of the placement per burst of resizes
};

} // namespace lw
