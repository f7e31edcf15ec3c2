#include "LevelwatchForm.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSplitter>
#include <QStatusBar>

#include "AboutBox.h"
#include "DetailForm.h"
#include "Dialogs.h"
#include "HistReport1.h"
#include "LiveDataModel.h"
#include "LiveDataReport.h"
#include "LiveGrid.h"
#include "LiveGridDelegate.h"
#include "MainMenus.h"
#include "MonitorLink.h"
#include "MonitorMail.h"
#include "MonthlyReport1.h"
#include "NewTankForm.h"
#include "Paths.h"
#include "PollList.h"
#include "PropertyPage1.h"
#include "ReportData.h"
#include "SMTPPage1.h"
#include "SelectCol.h"
#include "SerialPort.h"
#include "ServiceControl.h"
#include "ServiceUnit.h"
#include "TankEntry.h"
#include "TankTableFile.h"
#include "TrendPanel.h"
#include "WindowMail.h"

namespace lw {
namespace {

constexpr int kFirstComPort = 1;
constexpr int kLastComPort = 50;
constexpr int kDesignComPort = 2; // the port named when the machine has none
constexpr int kBasePointSize = 8;
constexpr int kPlacementDelayMs = 250;

const QString kSetupDone = QStringLiteral("COM port %1 setup done.");
const QString kLoadError = QStringLiteral("ERROR: LiveData.LoadFromTextFile");
const QString kSaveError = QStringLiteral("ERROR: LiveData.SaveToTextFile");
const QString kDamagedSuffix = QStringLiteral(".damaged");
const QString kManualMissing = QStringLiteral("The manual \"%1\" is not in the program folder %2.");
const QString kNoViewer = QStringLiteral("No program could be started to show %1.");

QString qText(std::string_view s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

std::filesystem::path liveDataPath() {
    return QFile::encodeName(programFile(qText(kLiveDataFile))).toStdString();
}

} // namespace

LevelwatchForm::LevelwatchForm(const MonitorEnvironment& environment, QWidget* parent)
    : QMainWindow(parent), env_(environment), formats_(env_.regionalFormats()),
      model_(std::make_unique<LiveDataModel>(formats_)),
      link_(std::make_unique<MonitorLink>(*env_.clock, formats_)) {
    setWindowTitle(QString::fromLatin1(kMainCaption));
    QFont base = font();
    base.setPointSize(kBasePointSize);
    setFont(base);
    setMinimumSize(kMinimumSize);

    // Layout: the trend panel, its splitter and the grid; the status line below.
    menus_ = std::make_unique<MainMenus>(*this);
    splitter_ = new QSplitter(Qt::Vertical, this);
    trend_ = new TrendPanel(splitter_);
    grid_ = new LiveGrid(*model_, splitter_);
    splitter_->addWidget(trend_);
    splitter_->addWidget(grid_);
    splitter_->setStretchFactor(1, 1);
    splitter_->setChildrenCollapsible(false);
    splitter_->setSizes({TrendPanel::kHeight, 1000});
    setCentralWidget(splitter_);
    status_ = new QLabel(this);
    statusBar()->addWidget(status_, 1);
    statusBar()->setSizeGripEnabled(true);

    // The secondary windows, created once.
    detail_ = new DetailForm(this);
    about_ = new AboutBox(this);
    newTank_ = new NewTankForm(this);
    selectCol_ = new SelectColForm(this);
    histReport_ = new HistReport(*env_.dialogs, *selectCol_, *env_.clock, this);
    monthlyReport_ = new MonthlyReport(*env_.dialogs, *selectCol_, *env_.clock, this);
    trend_->setFormats(formats_);

    Timer3_.setInterval(kStatusClearMs);
    connect(&Timer3_, &QTimer::timeout, this, &LevelwatchForm::Timer3Timer);
    IDChangeDone_.setInterval(kIdChangeRetryMs);
    connect(&IDChangeDone_, &QTimer::timeout, this, &LevelwatchForm::IDChangeDoneTimer);
    EmailTimer_.setInterval(kEmailTimerMs);
    connect(&EmailTimer_, &QTimer::timeout, this, &LevelwatchForm::EmailTimerTimer);
    placementTimer_.setSingleShot(true);
    placementTimer_.setInterval(kPlacementDelayMs);
    connect(&placementTimer_, &QTimer::timeout, this, &LevelwatchForm::writePlacement);

    link_->setLinkTimeouts(env_.linkTimeouts);
    connect(link_.get(), &MonitorLink::status, this, &LevelwatchForm::UpdateStatus);
    connect(link_.get(), &MonitorLink::detailLine, detail_, &DetailForm::addLine);
    connect(link_.get(), &MonitorLink::frameReady, this, &LevelwatchForm::NewTankData);
    connect(model_.get(), &LiveDataModel::rowEdited, this, &LevelwatchForm::rowEdited);
    connect(&grid_->delegate(), &LiveGridDelegate::pollKeyEdited, this,
            &LevelwatchForm::SetupPollModbus);
    connect(grid_, &LiveGrid::focusedRowChanged, this, &LevelwatchForm::focusedRowChanged);
    connect(grid_, &LiveGrid::resized, this, [this] { placementTimer_.start(); });
    connect(trend_, &TrendPanel::loadFailed, this, &LevelwatchForm::chartLoadFailed);

    const MainMenus& m = *menus_;
    connect(m.Print, &QAction::triggered, this, &LevelwatchForm::PrintButtonClick);
    connect(m.PrintTrend, &QAction::triggered, this, &LevelwatchForm::PrintTrendClick);
    connect(m.Exit, &QAction::triggered, this, &QWidget::close);
    connect(m.DeleteTank, &QAction::triggered, this, &LevelwatchForm::DeleteTankClick);
    connect(m.InsertTank, &QAction::triggered, this, &LevelwatchForm::InsertTankClick);
    connect(m.HistReport, &QAction::triggered, this, &LevelwatchForm::HistReportClick);
    connect(m.MonthlyReport, &QAction::triggered, this, &LevelwatchForm::MonthlyReportClick);
    connect(m.Trend, &QAction::triggered, this, &LevelwatchForm::TrendClick);
    for (int i = 0; i < kColumnToggleCount; ++i)
        connect(m.columnToggles[static_cast<size_t>(i)], &QAction::triggered, this,
                [this, i](bool shown) { columnToggleClick(i, shown); });
    connect(m.PortSetup, &QAction::triggered, this, &LevelwatchForm::PortSetupClick);
    connect(m.SMTPSetup, &QAction::triggered, this, &LevelwatchForm::SMTPSetupClick);
    connect(m.DetailMenu, &QAction::triggered, this, &LevelwatchForm::DetailMenuClick);
    connect(m.LaunchHelp, &QAction::triggered, this, &LevelwatchForm::dxBarButton3Click);
    connect(m.About, &QAction::triggered, this, &LevelwatchForm::AboutClick);

    // Start-up, in its order: settings, data source, mail settings, live table, flags, polling.
    readUserSettings();
    link_->start();
    {
        const Profile machine(SettingsScope::Machine);
        SMTP_ = readSmtpSettings(machine);
    }
    const auto ownsPort = [this] { return link_->ComActive() == 1; };
    ownMail_ = std::make_unique<WindowMail>(
        *env_.clock, formats_, model_->LiveData(),
        WindowMail::Window{
            .ownsPort = ownsPort,
            .settings = [this] { return SMTP_; },
            .status = [this](const QString& text) { UpdateStatus(text); },
            .detail = [this](const QString& text) { detail_->addLine(text); },
            .tellOperator =
                [this](const QString& text) { env_.dialogs->message(this, windowTitle(), text); },
        });
    mail_ = env_.mail ? env_.mail : ownMail_.get();
    propertyPage_ = new PropertyPage1(
        *link_, *env_.dialogs, *env_.clock, formats_,
        std::make_unique<SystemctlServiceControl>(QString::fromLatin1(kServiceName)), this);
    connect(link_.get(), &MonitorLink::serviceStatusChanged, propertyPage_,
            &PropertyPage1::addServiceEvent);
    smtpPage_ =
        new SMTPPage1(ownMail_->mailer(), ownMail_->outbox(),
                      {*env_.clock, *env_.dialogs, model_->LiveData(), ownsPort}, formats_, this);
    loadLiveData();
    applyDisplayFlags();
    trend_->LoadChart();
    SetupPollModbus();
    Timer3_.start();
    EmailTimer_.start();
}

LevelwatchForm::~LevelwatchForm() {
    // The link, the port and the mail go before the windows they report to.
    link_.reset();
    ownMail_.reset();
}

void LevelwatchForm::readUserSettings() {
    const Profile user(SettingsScope::User);
    SerialPort& port = link_->GetApdComPort1();
    port.setPortMap(readComPortMap(Profile(SettingsScope::Machine)));
    port.setPortNumber(kDesignComPort);
    SerialPort::LineSettings line = port.lineSettings();
    QString parityText;
    int first = 0;
    for (int n = kFirstComPort; n <= kLastComPort && !first; ++n)
        if (port.isAvailable(n))
            first = n;
    if (!first) {
        UpdateStatus(QString::fromLatin1(kCouldNotOpenComPort).arg(port.portNumber()));
    } else {
        const int stored = readInteger(user, Setting::ComNumber, first);
        port.setPortNumber(port.isAvailable(stored) ? stored : first);
        line.baud = readInteger(user, Setting::Baud);
        parityText = readString(user, Setting::Parity);
        UpdateStatus(kSetupDone.arg(port.portNumber()));
    }
    line.parity = parityFromText(parityText);
    line.dataBits = readInteger(user, Setting::DataBits);
    line.stopBits = readInteger(user, Setting::StopBits);
    if (!port.setLineSettings(line))
        UpdateStatus(QString::fromLatin1(kCouldNotOpenComPort).arg(port.portNumber()));
    link_->setComActive(readInteger(user, Setting::ComActive));
    link_->setTcp(readString(user, Setting::TcpAddress), readInteger(user, Setting::TcpPort));

    move(readInteger(user, Setting::Left), readInteger(user, Setting::Top));
    resize(readInteger(user, Setting::Width), readInteger(user, Setting::Height));
    flags_ = DisplayFlags::read(user);
}

void LevelwatchForm::loadLiveData() {
    const std::filesystem::path file = liveDataPath();
    if (QFileInfo::exists(programFile(qText(kLiveDataFile)))) {
        try {
            model_->load(file);
        } catch (const std::exception& e) {
            // The rows before the fault stay and the next save keeps only them: the file as it
            // was is kept beside it for the operator.
            const QString path = programFile(qText(kLiveDataFile));
            QFile::remove(path + kDamagedSuffix);
            QFile::copy(path, path + kDamagedSuffix);
            const QString text =
                kLoadError + QStringLiteral(": ") + QString::fromLocal8Bit(e.what());
            detail_->addLine(text);
            UpdateStatus(text);
        }
    }
    if (model_->rowCount() > 0)
        grid_->focusRow(0);
    focusedRowChanged(grid_->focusedRow());
}

void LevelwatchForm::applyDisplayFlags() {
    menus_->Trend->setChecked(flags_.ShowTrend);
    trend_->setVisible(flags_.ShowTrend);
    for (int i = 0; i < kColumnToggleCount; ++i)
        setColumnShown(i, flags_.shown[static_cast<size_t>(i)]);
}

void LevelwatchForm::setColumnShown(int toggle, bool shown) {
    const ColumnToggle& t = columnToggles()[static_cast<size_t>(toggle)];
    flags_.shown[static_cast<size_t>(toggle)] = shown;
    menus_->columnToggles[static_cast<size_t>(toggle)]->setChecked(shown);
    grid_->setColumnShown(t.column, shown);
    if (t.series)
        trend_->setSeriesShown(*t.series, shown);
}

void LevelwatchForm::columnToggleClick(int toggle, bool shown) {
    setColumnShown(toggle, shown);
    try {
        Profile user(SettingsScope::User);
        flags_.WriteShow(user);
    } catch (const ProfileError&) {
        env_.dialogs->message(this, windowTitle(), qText(kUserSettingsWriteError));
    }
}

void LevelwatchForm::TrendClick(bool shown) {
    // Written with the column flags at the next toggle, not here.
    flags_.ShowTrend = shown;
    menus_->Trend->setChecked(shown);
    trend_->setVisible(shown);
    if (shown)
        trend_->LoadChart();
}

void LevelwatchForm::UpdateStatus(const QString& text) {
    status_->setText(text);
    Timer3_.start();
}

QString LevelwatchForm::statusLine() const {
    return status_->text();
}

void LevelwatchForm::Timer3Timer() {
    status_->clear();
}

void LevelwatchForm::SetupPollModbus() {
    link_->stopPolling();
    if (grid_->editorOpen()) {
        // The list follows the values finally posted: try again once the editor is closed.
        IDChangeDone_.start();
        return;
    }
    IDChangeDone_.stop();
    link_->SetupPollModbus(model_->LiveData().rows(), programFile(qText(kPollListFileName)));
}

void LevelwatchForm::EmailTimerTimer() {
    if (link_->ComActive() == 1)
        mail_->EmailTimerTimer();
}

void LevelwatchForm::applyCommSetup(bool linkSettingsChanged) {
    link_->switchMode(linkSettingsChanged);
}

void LevelwatchForm::InsertTankClick() {
    if (env_.dialogs->exec(*newTank_) != QDialog::Accepted)
        return;
    const int position = model_->rowCount() == 0 ? 0 : std::max(grid_->focusedRow(), 0);
    model_->insertTank(position, newTankRecord(newTank_->TankID().text().toStdString(),
                                               newTank_->TankName().text().toStdString(),
                                               newTank_->comTypeCode()));
    grid_->focusRow(position);
    postLiveData(Durability::Flushed);
    SetupPollModbus();
}

void LevelwatchForm::DeleteTankClick() {
    if (model_->rowCount() == 0)
        return;
    model_->removeTank(grid_->focusedRow());
    postLiveData(Durability::Flushed);
    focusedRowChanged(grid_->focusedRow());
    SetupPollModbus();
}

void LevelwatchForm::PrintButtonClick() {
    std::vector<LiveColumn> columns;
    for (const LiveColumnInfo& c : liveColumns())
        if (grid_->columnShown(c.column))
            columns.push_back(c.column);
    const LiveDataReport report(
        *model_, std::move(columns),
        QString::fromStdString(liveDataReportTitle(trend_->date(), formats_)), env_.clock->now(),
        formats_);
    QPrinter printer(QPrinter::HighResolution);
    LiveDataReport::setUpPrinter(printer);
    QPrintPreviewDialog preview(&printer, this);
    preview.setWindowTitle(report.title());
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [&report](QPrinter* p) { report.print(p); });
    env_.dialogs->exec(preview);
}

void LevelwatchForm::dxBarButton3Click() {
    const QString manual = QString::fromLatin1(kManualFile);
    const QString path = programFile(manual);
    if (!QFileInfo::exists(path)) {
        env_.dialogs->message(this, windowTitle(), kManualMissing.arg(manual, programFolder()));
        return;
    }
    if (!env_.dialogs->openFile(path))
        env_.dialogs->message(this, windowTitle(), kNoViewer.arg(path));
}

void LevelwatchForm::AboutClick() {
    env_.dialogs->exec(*about_);
}

void LevelwatchForm::DetailMenuClick() {
    detail_->show();
    detail_->raise();
}

void LevelwatchForm::HistReportClick() {
    openReport(*histReport_);
}

void LevelwatchForm::MonthlyReportClick() {
    openReport(*monthlyReport_);
}

void LevelwatchForm::openReport(ReportWindow& report) {
    // The trend's date, the grid's tanks, and the focused tank as its history files name it;
    // no tank is preselected when the grid is empty or the focused ID is no whole number.
    QStringList tanks;
    for (const TankRecord& row : model_->LiveData().rows())
        tanks << QString::fromStdString(row.ID.value_or(""));
    QString tank;
    const int focused = grid_->focusedRow();
    if (focused >= 0 && focused < model_->rowCount())
        if (const auto text = historyTankText(model_->LiveData()[focused].ID.value_or("")))
            tank = QString::fromStdString(*text);
    report.setFormats(formats_);
    report.open(trend_->date(), tanks, tank);
}

void LevelwatchForm::PrintTrendClick() {
    trend_->PrintTrend(*env_.dialogs, this);
}

void LevelwatchForm::chartLoadFailed(const QString& error, bool again) {
    // Tried every second until it loads: the status line each time, the Detail window once.
    UpdateStatus(error);
    if (!again)
        detail_->addLine(error);
}

void LevelwatchForm::PortSetupClick() {
    propertyPage_->move(pos() + kSetupWindowOffset);
    if (env_.dialogs->exec(*propertyPage_) == QDialog::Accepted)
        applyCommSetup(propertyPage_->TCPChange());
}

void LevelwatchForm::SMTPSetupClick() {
    smtpPage_->move(pos() + kSetupWindowOffset);
    smtpPage_->SMTPPage1Init(SMTP_);
    if (env_.dialogs->exec(*smtpPage_) != QDialog::Accepted) {
        UpdateStatus(QString::fromLatin1(kEmailNotChanged));
        return;
    }
    SMTP_ = smtpPage_->settings();
    SaveSMTP();
    UpdateStatus(QString::fromLatin1(kEmailUpdated));
}

void LevelwatchForm::SaveSMTP() {
    try {
        Profile machine(SettingsScope::Machine);
        writeSmtpSettings(machine, SMTP_);
    } catch (const ProfileError&) {
        // The settings stay in force for this run.
        env_.dialogs->message(this, windowTitle(), qText(kMachineSettingsWriteError));
    }
}

void LevelwatchForm::NewTankData(const FrameBuffer& rx, int registerCount, FrameSource source) {
    if (!liveUpdate_)
        liveUpdate_.emplace(model_->LiveData(), static_cast<LiveUpdateHooks&>(*this), formats_);
    if (!history_)
        history_.emplace(QFile::encodeName(programFolder()).toStdString(), formats_);
    frameTime_ = env_.clock->now();
    framePosted_ = false;
    frameTypeChanged_ = false;
    liveUpdate_->NewTankData(rx, registerCount, source, frameTime_);
    // The file and the poll list after a frame are the same whether they are written after each
    // of the frame's tanks or once after the last; once keeps a busy line from rewriting them
    // four times a frame.
    if (frameTypeChanged_)
        SetupPollModbus();
    if (framePosted_)
        postLiveData(Durability::Atomic);
}

void LevelwatchForm::postLiveData(Durability durability) {
    try {
        model_->save(liveDataPath(), durability);
    } catch (const std::exception&) {
        detail_->addLine(kSaveError);
    }
}

void LevelwatchForm::rowEdited(int row, TankField field) {
    postLiveData(Durability::Flushed);
    if (row == grid_->focusedRow() && (field == TankField::ID || field == TankField::TankName))
        focusedRowChanged(row);
}

void LevelwatchForm::focusedRowChanged(int row) {
    trend_->setTank(row >= 0 && row < model_->rowCount() ? &model_->LiveData()[row] : nullptr);
}

void LevelwatchForm::writePlacement() {
    try {
        Profile user(SettingsScope::User);
        writeInteger(user, Setting::Top, y());
        writeInteger(user, Setting::Left, x());
        writeInteger(user, Setting::Height, height());
        writeInteger(user, Setting::Width, width());
    } catch (const ProfileError&) {
        env_.dialogs->message(this, windowTitle(), qText(kUserSettingsWriteError));
    }
}

void LevelwatchForm::closeEvent(QCloseEvent* event) {
    placementTimer_.stop();
    writePlacement();
    event->accept();
}

void LevelwatchForm::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LocaleChange)
        regionalSettingsChanged();
    QMainWindow::changeEvent(event);
}

void LevelwatchForm::regionalSettingsChanged() {
    // The regional settings are read once more, at the first change; dates stay M/d/yyyy.
    if (regionalFormatsFixed_)
        return;
    regionalFormatsFixed_ = true;
    formats_ = env_.regionalFormats();
    model_->setFormats(formats_);
    link_->setFormats(formats_);
    trend_->setFormats(formats_);
    propertyPage_->setFormats(formats_);
    smtpPage_->setFormats(formats_);
    liveUpdate_.reset();
    history_.reset();
}

// LiveUpdateHooks

bool LevelwatchForm::editorOpen() const {
    return grid_->editorOpen();
}

void LevelwatchForm::detailLine(const std::string& line) {
    detail_->addLine(QString::fromStdString(line));
}

void LevelwatchForm::fieldWritten(int, int row, TankField field, const FieldValue&) {
    model_->fieldWritten(row, field);
}

void LevelwatchForm::dispTypeChanged() {
    frameTypeChanged_ = true;
}

void LevelwatchForm::historyRow(const TankRecord& row, uint32_t tankId, bool change,
                                bool isInterface) {
    history_->writeIfDue(row, tankId, change, isInterface, frameTime_);
}

void LevelwatchForm::sendAlarmEmail(const AlarmEmailArgs& args) {
    if (link_->ComActive() == 1)
        mail_->SendAlarmEmail(args);
}

void LevelwatchForm::statusText(const std::string& text) {
    UpdateStatus(QString::fromStdString(text));
}

void LevelwatchForm::rowPosted(int) {
    framePosted_ = true;
}

} // namespace lw
