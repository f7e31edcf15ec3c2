#include "SMTPPage1.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include "Dialogs.h"
#include "LiveReport.h"
#include "MailEntry.h"
#include "MailOutbox.h"
#include "ReportMailer.h"
#include "ScheduleDelegate.h"
#include "ScheduleModel.h"
#include "ScheduleRules.h"

namespace lw {
namespace {

const QString kCaption = QStringLiteral("Email Setup");
constexpr QSize kClientSize(763, 300);
constexpr int kFirstPort = 1;
constexpr int kLastPort = 49151;
constexpr int kDefaultPort = 25;
constexpr char kNewRowTankIds[] = "1000";
constexpr int kColumnWidths[ScheduleModel::ColumnCount] = {280, 160, 110, 170};

const QString kSending = QStringLiteral("Sending the test email to %1...");
const QString kTestSent = QStringLiteral("Test email sent to %1.");
const QString kTestFailed = QStringLiteral("Test email to %1 failed.");
const QString kTestError = QStringLiteral("The test email to %1 could not be sent: %2");
const QString kSaveError = QStringLiteral("Email.txt could not be saved: %1");
const QString kNotAHost = QStringLiteral("SMTP Host: \"%1\" is not a host name or address.");
const QString kNotAUserName =
    QStringLiteral("User Name: \"%1\" holds characters that a user name cannot have.");
const QString kNotAnAddress = QStringLiteral("Email Address: \"%1\" is not an e-mail address.");

QString text(std::string_view s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

QLineEdit* lineEdit(std::string_view pattern, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    if (!pattern.empty())
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(text(pattern)), edit));
    return edit;
}

QGroupBox* group(const QString& caption, std::initializer_list<std::pair<QString, QWidget*>> rows,
                 QWidget* parent) {
    auto* box = new QGroupBox(caption, parent);
    auto* form = new QFormLayout(box);
    // Captions above their fields: three groups side by side leave little room beside them.
    form->setRowWrapPolicy(QFormLayout::WrapAllRows);
    for (const auto& [label, field] : rows)
        form->addRow(label, field);
    return box;
}

} // namespace

SMTPPage1::SMTPPage1(ReportMailer& mailer, MailOutbox& outbox, Window window,
                     const Formats& formats, QWidget* parent)
    : QDialog(parent), mailer_(mailer), outbox_(outbox), window_(std::move(window)),
      formats_(formats) {
    setWindowTitle(kCaption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    note_ = new QLabel(this);
    note_->setWordWrap(true);
    tabs_ = new QTabWidget(this);
    tabs_->addTab(buildSettingsTab(), QStringLiteral("Email Settings"));
    tabs_->addTab(buildScheduleTab(), QStringLiteral("Email Schedule"));

    addButton_ = new QPushButton(QStringLiteral("Add"), this);
    deleteButton_ = new QPushButton(QStringLiteral("Delete"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    auto* apply = new QPushButton(QStringLiteral("Apply"), this);
    connect(addButton_, &QPushButton::clicked, this, &SMTPPage1::AddClick);
    connect(deleteButton_, &QPushButton::clicked, this, &SMTPPage1::DeleteClick);
    connect(cancel, &QPushButton::clicked, this, &SMTPPage1::reject);
    connect(apply, &QPushButton::clicked, this, &SMTPPage1::ApplyClick);
    const auto scheduleShown = [this](int tab) {
        addButton_->setVisible(tab == ScheduleTab);
        deleteButton_->setVisible(tab == ScheduleTab);
    };
    connect(tabs_, &QTabWidget::currentChanged, this, scheduleShown);
    scheduleShown(tabs_->currentIndex());

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(addButton_);
    buttons->addWidget(deleteButton_);
    buttons->addWidget(note_, 1);
    buttons->addWidget(cancel);
    buttons->addWidget(apply);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_, 1);
    layout->addLayout(buttons);
    resize(kClientSize);

    // A mail that went records its sending time on its row while the window may be open.
    connect(&mailer_, &ReportMailer::scheduleSaved, model_, &ScheduleModel::rowsChangedInTable);
}

SMTPPage1::~SMTPPage1() = default;

QWidget* SMTPPage1::buildSettingsTab() {
    auto* tab = new QWidget(this);
    host_ = lineEdit(kSmtpHostPattern, tab);
    port_ = new QSpinBox(tab);
    port_->setRange(kFirstPort, kLastPort);
    port_->setValue(kDefaultPort);
    security_ = new QComboBox(tab);
    for (const SmtpSecurity s : {SmtpSecurity::None, SmtpSecurity::StartTls, SmtpSecurity::Tls})
        security_->addItem(smtpSecurityText(s), static_cast<int>(s));
    security_->setToolTip(QStringLiteral("None: plain SMTP. STARTTLS: the connection is made "
                                         "secure before logon. TLS: secure from the start "
                                         "(port 465)."));
    user_ = lineEdit(kSmtpUserPattern, tab);
    password_ = lineEdit({}, tab);
    password_->setEchoMode(QLineEdit::Password);
    emailName_ = lineEdit({}, tab);
    email_ = lineEdit(kEmailAddressPattern, tab);
    testEmail_ = lineEdit({}, tab);
    testButton_ = new QPushButton(QStringLiteral("Test Email"), tab);
    connect(testButton_, &QPushButton::clicked, this, &SMTPPage1::TestEmailClick);

    auto* groups = new QHBoxLayout;
    groups->addWidget(group(QStringLiteral("Outgoing Mail Server:"),
                            {{QStringLiteral("SMTP Host"), host_},
                             {QStringLiteral("SMTP Port"), port_},
                             {QStringLiteral("Security"), security_}},
                            tab),
                      1);
    groups->addWidget(
        group(QStringLiteral("Logon Information:"),
              {{QStringLiteral("User Name"), user_}, {QStringLiteral("Password"), password_}}, tab),
        1);
    groups->addWidget(group(QStringLiteral("From:"),
                            {{QStringLiteral("Email Name"), emailName_},
                             {QStringLiteral("Email Address"), email_}},
                            tab),
                      1);
    auto* test = new QHBoxLayout;
    test->addWidget(new QLabel(QStringLiteral("Test Email Address"), tab));
    test->addWidget(testEmail_, 1);
    test->addWidget(testButton_);
    auto* layout = new QVBoxLayout(tab);
    layout->addLayout(groups);
    layout->addSpacing(12);
    layout->addLayout(test);
    layout->addStretch(1);
    return tab;
}

QWidget* SMTPPage1::buildScheduleTab() {
    auto* tab = new QWidget(this);
    model_ = new ScheduleModel(mailer_.ScheduleData(), formats_, this);
    grid_ = new QTableView(tab);
    grid_->setModel(model_);
    auto* delegate = new ScheduleDelegate(grid_);
    grid_->setItemDelegate(delegate);
    connect(delegate, &ScheduleDelegate::entryRefused, note_, &QLabel::setText);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->verticalHeader()->hide();
    grid_->horizontalHeader()->setStretchLastSection(true);
    for (int c = 0; c < ScheduleModel::ColumnCount; ++c)
        grid_->setColumnWidth(c, kColumnWidths[c]);
    auto* layout = new QVBoxLayout(tab);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(grid_);
    return tab;
}

void SMTPPage1::setFormats(const Formats& formats) {
    formats_ = formats;
    model_->setFormats(formats);
}

void SMTPPage1::SMTPPage1Init(const SmtpSettings& fields) {
    host_->setText(fields.host);
    user_->setText(fields.username);
    password_->setText(fields.password);
    port_->setValue(fields.port);
    auth_ = fields.auth;
    email_->setText(fields.email);
    emailName_->setText(fields.emailName);
    testEmail_->setText(fields.testEmail);
    // A security text that names none of the choices shows none and is kept as it is.
    security_->setCurrentIndex(security_->findData(static_cast<int>(fields.security)));
    caFile_ = fields.caFile;
    note_->clear();
}

SmtpSettings SMTPPage1::settings() const {
    const QVariant security = security_->currentData();
    return {host_->text().trimmed(),
            user_->text(),
            password_->text(),
            port_->value(),
            auth_,
            email_->text().trimmed(),
            emailName_->text(),
            testEmail_->text().trimmed(),
            security.isValid() ? static_cast<SmtpSecurity>(security.toInt())
                               : SmtpSecurity::Unknown,
            caFile_};
}

void SMTPPage1::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Linked to the service, which sends and records its sending times in the file.
    if (!window_.ownsPort())
        reloadSchedule([this] { mailer_.reloadScheduleIfChanged(); });
}

void SMTPPage1::reloadSchedule(const std::function<void()>& load) {
    model_->reload(load);
    if (model_->rowCount() > 0)
        grid_->setCurrentIndex(model_->index(0, ScheduleModel::Email));
}

void SMTPPage1::AddClick() {
    const int at = std::max(grid_->currentIndex().row(), 0);
    model_->insertScheduleRow(
        at, ScheduleRow{std::nullopt, kScheduleEveryday, 0.0, kNewRowTankIds, std::nullopt});
    grid_->setCurrentIndex(model_->index(at, ScheduleModel::Email));
}

void SMTPPage1::DeleteClick() {
    const int row = grid_->currentIndex().row();
    if (row < 0)
        return;
    model_->removeScheduleRow(row);
    // As the table the grid edits: the only row gone, the grid starts a new, empty one.
    if (model_->rowCount() == 0)
        model_->insertScheduleRow(0, ScheduleRow{});
    grid_->setCurrentIndex(
        model_->index(std::min(row, model_->rowCount() - 1), ScheduleModel::Email));
}

void SMTPPage1::ApplyClick() {
    // The rules keep wrong characters out as they are typed; a text left unfinished is caught here.
    const std::pair<QLineEdit*, const QString*> checked[] = {
        {host_, &kNotAHost}, {user_, &kNotAUserName}, {email_, &kNotAnAddress}};
    for (const auto& [edit, message] : checked)
        if (!edit->text().isEmpty() && !edit->hasAcceptableInput()) {
            window_.dialogs.message(this, windowTitle(), message->arg(edit->text()));
            return;
        }
    try {
        mailer_.writeSchedule();
    } catch (const std::exception& e) {
        window_.dialogs.message(this, windowTitle(),
                                kSaveError.arg(QString::fromLocal8Bit(e.what())));
        return;
    }
    accept();
}

void SMTPPage1::reject() {
    reloadSchedule([this] { mailer_.loadSchedule(); });
    QDialog::reject();
}

void SMTPPage1::TestEmailClick() {
    const QString to = testEmail_->text().trimmed();
    const double now = window_.clock.now();
    MailOutbox::Job job{settings(),
                        {to.toStdString(), liveReportTitle(now, formats_), {}, {}, {}},
                        EmptyHost::Fail};
    try {
        job.mail.BodyText = GetText(window_.LiveData, now, formats_);
        job.mail.BodyHTML = GetHTML(window_.LiveData, now, formats_);
    } catch (const std::exception& e) {
        testEmailDone(to, {SmtpOutcome::Result::Failed, e.what(), false});
        return;
    }
    testButton_->setEnabled(false);
    note_->setText(kSending.arg(to));
    const QPointer<SMTPPage1> self(this);
    outbox_.submit(std::move(job), [self, to](const SmtpOutcome& outcome) {
        if (self)
            self->testEmailDone(to, outcome);
    });
}

void SMTPPage1::testEmailDone(const QString& to, const SmtpOutcome& outcome) {
    testButton_->setEnabled(true);
    if (outcome.result == SmtpOutcome::Result::Sent) {
        note_->setText(kTestSent.arg(to));
        return;
    }
    note_->setText(kTestFailed.arg(to));
    window_.dialogs.message(this, windowTitle(),
                            kTestError.arg(to, QString::fromStdString(outcome.error)));
}

QString SMTPPage1::note() const {
    return note_->text();
}

} // namespace lw
