#include "PropertyPage1.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "DateTime.h"
#include "Dialogs.h"
#include "LinkSettings.h"
#include "MonitorLink.h"
#include "Settings.h"

namespace lw {
namespace {

const QString kCaption = QStringLiteral("Comm Setup");
const QString kClientTab = QStringLiteral("Client");
const QString kServiceTabCaption = QStringLiteral("Service");
constexpr QSize kWindowSize(324, 418);
constexpr int kFirstComPort = 1;
constexpr int kLastComPort = 50;
constexpr int kFirstTcpPort = 1024;
constexpr int kLastTcpPort = 49151;
constexpr int kDefaultTcpPort = 6000;
constexpr int kMaxDebug = 10;
constexpr int kMaxServiceEvents = 500;

const QString kComPrefix = QStringLiteral("COM");
const QStringList kBaudRates{"150",  "300",   "600",   "1200",  "2400",  "4800",
                             "9600", "19200", "38400", "57600", "115200"};
const QStringList kParities{"Even", "Mark", "None", "Odd", "Space"};
const QStringList kDataBits{"7", "8"};
const QStringList kStopBits{"1", "2"};

// An IPv4 address, "localhost" or a host name.
const QString kAddressPattern =
    QStringLiteral("[012]?\\d?\\d\\.[012]?\\d?\\d\\.[012]?\\d?\\d\\.[012]?\\d?\\d|localhost|"
                   "[a-zA-Z\\-][a-zA-Z\\-0-9\\.]+[a-zA-Z]{2,}");

const QString kStatusInitial = QStringLiteral("Unknown");
const QString kStopService = QStringLiteral("Stop Service");
const QString kStartService = QStringLiteral("Start Service");
const QString kServiceHint = QStringLiteral("Administrator Access Required");
const QString kServiceStopping = QStringLiteral("  Service Stopping.");
const QString kServiceStarting = QStringLiteral("  Service Starting.");

struct StateText {
    ServiceState state;
    const char* text;
    const QString* button; // shown with this caption; none: hidden
};
const StateText kStateTexts[] = {
    {ServiceState::Unknown, "Service Status Unknown", nullptr},
    {ServiceState::Stopped, "Service Stopped", &kStartService},
    {ServiceState::StartPending, "Service Start Pending", nullptr},
    {ServiceState::StopPending, "Service Stop Pending", nullptr},
    {ServiceState::Running, "Service Running", &kStopService},
};

const QString kNotANumber = QStringLiteral("%1 on the \"%2\" tab: \"%3\" is not a whole number.");
const QString kOutOfRange = QStringLiteral("%1 on the \"%2\" tab: %3 is not from %4 to %5.");
const QString kNotAPort =
    QStringLiteral("Port on the \"Client\" tab: \"%1\" is not COM and a port number.");
const QString kNotAnAddress =
    QStringLiteral("IP Address on the \"Client\" tab: \"%1\" is neither an IP address nor a host "
                   "name.");

// An entry the operator must mend before anything is saved.
struct EntryError {
    QString text;
};

struct Range {
    const char* caption;
    int low, high;
};
constexpr Range kBaudRange{"Baud Rate", 1, 4'000'000};
constexpr Range kDataBitsRange{"Data Bits", 5, 8};
constexpr Range kStopBitsRange{"Stop Bits", 1, 2};

int numberIn(const QComboBox& box, const Range& range, const QString& tab) {
    const QString text = box.currentText().trimmed();
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok)
        throw EntryError{kNotANumber.arg(QLatin1String(range.caption), tab, text)};
    if (n < range.low || n > range.high)
        throw EntryError{kOutOfRange.arg(QLatin1String(range.caption), tab)
                             .arg(n)
                             .arg(range.low)
                             .arg(range.high)};
    return n;
}

// The number of a port text, "COM7" or "7"; empty for any other text.
std::optional<int> portNumberOf(QString text) {
    text = text.trimmed();
    if (text.startsWith(kComPrefix, Qt::CaseInsensitive))
        text = text.mid(kComPrefix.size());
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok && n >= kFirstComPort ? std::optional(n) : std::nullopt;
}

QString portText(int n) {
    return kComPrefix + QString::number(n);
}

QComboBox* listBox(const QStringList& items, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(items);
    return box;
}

QSpinBox* spinBox(int low, int high, int value, QWidget* parent) {
    auto* spin = new QSpinBox(parent);
    spin->setRange(low, high);
    spin->setValue(value);
    return spin;
}

// Shows `value`: its entry when the list has it, else as typed text.
void showText(QComboBox& box, const QString& value) {
    const int at = box.findText(value);
    box.setCurrentIndex(at);
    if (at < 0)
        box.setEditText(value);
}

void saveUserSetting(Dialogs& dialogs, QWidget* parent, const QString& title,
                     const std::function<void(Profile&)>& save) {
    try {
        Profile user(SettingsScope::User);
        save(user);
    } catch (const ProfileError&) {
        dialogs.message(
            parent, title,
            QString::fromLatin1(kUserSettingsWriteError.data(),
                                static_cast<qsizetype>(kUserSettingsWriteError.size())));
    }
}

} // namespace

struct PropertyPage1::ClientEntry {
    int comNumber = 1;
    SerialPort::LineSettings line;
    QString address;
    int tcpPort = 0;
};

struct PropertyPage1::ServiceEntry {
    int tcpPort, comNumber, baud, dataBits, stopBits, debug;
    QString parity;
    bool operator==(const ServiceEntry&) const = default;
};

PropertyPage1::PropertyPage1(MonitorLink& link, Dialogs& dialogs, const Clock& clock,
                             const Formats& formats, std::unique_ptr<ServiceControl> service,
                             QWidget* parent)
    : QDialog(parent), link_(link), dialogs_(dialogs), clock_(clock), formats_(formats),
      service_(std::move(service)) {
    setWindowTitle(kCaption);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    tabs_ = new QTabWidget(this);
    tabs_->addTab(buildClientTab(), kClientTab);
    tabs_->addTab(buildServiceTab(), kServiceTabCaption);
    tabs_->setCurrentIndex(ServiceTab);
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int tab) {
        if (tab != ServiceTab)
            return;
        cxTabSheet2Show();
        RefreshServiceStatus();
    });

    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    auto* apply = new QPushButton(QStringLiteral("Apply"), this);
    apply->setDefault(true);
    connect(cancel, &QPushButton::clicked, this, &PropertyPage1::ButtonCancelClick);
    connect(apply, &QPushButton::clicked, this, &PropertyPage1::ButtonApplyClick);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    buttons->addWidget(apply);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_, 1);
    layout->addLayout(buttons);
    resize(kWindowSize);

    connect(service_.get(), &ServiceControl::stateReported, this, &PropertyPage1::stateReported);
    connect(service_.get(), &ServiceControl::commandFinished, this,
            &PropertyPage1::commandFinished);
    Timer1_.setInterval(kTimer1Ms);
    connect(&Timer1_, &QTimer::timeout, this, &PropertyPage1::Timer1Timer);
    Timer1_.start();
    // Back from another program, the tab shows the settings as they are now.
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive && isVisible())
                    FormActivate();
            });
}

PropertyPage1::~PropertyPage1() = default;

QWidget* PropertyPage1::buildClientTab() {
    auto* tab = new QWidget(this);
    ServiceActive_ = new QRadioButton(QStringLiteral("Use Windows Service"), tab);
    CommActive_ = new QRadioButton(QStringLiteral("Use Serial Port from the Application"), tab);
    IPAddress_ = new QLineEdit(tab);
    IPAddress_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(kAddressPattern), IPAddress_));
    TCPPort_ = spinBox(kFirstTcpPort, kLastTcpPort, kDefaultTcpPort, tab);
    ComboBoxPort_ = listBox({}, tab);
    ComboBoxBaud_ = listBox(kBaudRates, tab);
    ComboBoxParity_ = listBox(kParities, tab);
    ComboBoxDataBits_ = listBox(kDataBits, tab);
    ComboBoxStopBits_ = listBox(kStopBits, tab);
    connect(ServiceActive_, &QRadioButton::clicked, this, &PropertyPage1::ServiceActiveClick);
    connect(CommActive_, &QRadioButton::clicked, this, &PropertyPage1::CommActiveClick);

    const auto row = [tab](QFormLayout* form, const QString& caption, QWidget* field,
                           std::vector<QWidget*>& group) {
        auto* label = new QLabel(caption, tab);
        form->addRow(label, field);
        group.insert(group.end(), {label, field});
    };
    // The fields of each mode sit under its button.
    constexpr int kIndent = 24;
    auto* service = new QFormLayout;
    service->setContentsMargins(kIndent, 0, 0, 0);
    row(service, QStringLiteral("IP Address"), IPAddress_, serviceModeControls_);
    row(service, QStringLiteral("TCP/IP Port"), TCPPort_, serviceModeControls_);
    auto* serial = new QFormLayout;
    serial->setContentsMargins(kIndent, 0, 0, 0);
    row(serial, QStringLiteral("Port"), ComboBoxPort_, serialModeControls_);
    row(serial, QStringLiteral("Baud Rate"), ComboBoxBaud_, serialModeControls_);
    row(serial, QStringLiteral("Parity"), ComboBoxParity_, serialModeControls_);
    row(serial, QStringLiteral("Data Bits"), ComboBoxDataBits_, serialModeControls_);
    row(serial, QStringLiteral("Stop Bits"), ComboBoxStopBits_, serialModeControls_);

    auto* layout = new QVBoxLayout(tab);
    layout->addWidget(ServiceActive_);
    layout->addLayout(service);
    layout->addSpacing(8);
    layout->addWidget(CommActive_);
    auto* note = new QLabel(QStringLiteral("(Windows Service not used)"), tab);
    note->setContentsMargins(kIndent, 0, 0, 0);
    layout->addWidget(note);
    layout->addLayout(serial);
    layout->addStretch(1);
    return tab;
}

QWidget* PropertyPage1::buildServiceTab() {
    auto* tab = new QWidget(this);
    ServiceTCPPortSpinEdit_ = spinBox(kFirstTcpPort, kLastTcpPort, kDefaultTcpPort, tab);
    ServiceSerialPortComboBox_ = listBox({}, tab);
    ServiceBaudComboBox_ = listBox(kBaudRates, tab);
    ServiceParityComboBox_ = listBox(kParities, tab);
    ServiceDataBitsComboBox_ = listBox(kDataBits, tab);
    ServiceStopBitsComboBox_ = listBox(kStopBits, tab);
    ServiceDebugSpinEdit_ = spinBox(0, kMaxDebug, 0, tab);
    ServiceStatus_ = new QLineEdit(kStatusInitial, tab);
    ServiceStatus_->setReadOnly(true);
    ServiceStatusText_ = new QPlainTextEdit(tab);
    ServiceStatusText_->setReadOnly(true);
    ServiceStatusText_->setMaximumBlockCount(kMaxServiceEvents);
    ServiceStatusText_->setPlaceholderText(QStringLiteral("Service events"));
    ServiceButton_ = new QPushButton(kStartService, tab);
    ServiceButton_->setToolTip(kServiceHint);
    ServiceButton_->hide();
    connect(ServiceButton_, &QPushButton::clicked, this, &PropertyPage1::ServiceButtonClick);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("TCP/IP Port"), ServiceTCPPortSpinEdit_);
    form->addRow(QStringLiteral("Serial Port"), ServiceSerialPortComboBox_);
    form->addRow(QStringLiteral("Baud Rate"), ServiceBaudComboBox_);
    form->addRow(QStringLiteral("Parity"), ServiceParityComboBox_);
    form->addRow(QStringLiteral("Data Bits"), ServiceDataBitsComboBox_);
    form->addRow(QStringLiteral("Stop Bits"), ServiceStopBitsComboBox_);
    form->addRow(QStringLiteral("Debug"), ServiceDebugSpinEdit_);
    form->addRow(QStringLiteral("Status"), ServiceStatus_);
    auto* button = new QHBoxLayout;
    button->addStretch(1);
    button->addWidget(ServiceButton_);
    auto* layout = new QVBoxLayout(tab);
    layout->addLayout(form);
    layout->addWidget(ServiceStatusText_, 1);
    layout->addLayout(button);
    return tab;
}

void PropertyPage1::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormActivate();
    if (tabs_->currentIndex() == ServiceTab)
        cxTabSheet2Show();
}

void PropertyPage1::fillPortList(QComboBox& box, int selected) const {
    box.clear();
    for (int n = kFirstComPort; n <= kLastComPort; ++n)
        if (link_.GetApdComPort1().isAvailable(n))
            box.addItem(portText(n));
    // A port that is not there now is still named, so that Apply keeps it.
    showText(box, portText(selected));
}

void PropertyPage1::FormActivate() {
    const SerialPort& port = link_.GetApdComPort1();
    fillPortList(*ComboBoxPort_, port.portNumber());
    const SerialPort::LineSettings& line = port.lineSettings();
    showText(*ComboBoxBaud_, QString::number(line.baud));
    showText(*ComboBoxParity_, parityText(line.parity));
    showText(*ComboBoxDataBits_, QString::number(line.dataBits));
    showText(*ComboBoxStopBits_, QString::number(line.stopBits));
    TCPPort_->setValue(link_.TCPPort());
    IPAddress_->setText(link_.TCPAddress());
    const bool serial = link_.ComActive() == 1;
    (serial ? CommActive_ : ServiceActive_)->setChecked(true);
    showClientControls(serial);
    TCPChange_ = SerialChange_ = ServiceChange_ = false;
    RefreshServiceStatus();
}

void PropertyPage1::cxTabSheet2Show() {
    const Profile machine(SettingsScope::Machine);
    const SerialPort& port = link_.GetApdComPort1();
    ServiceTCPPort = readInteger(machine, Setting::ServicePortNumber, TCPPort_->value());
    ServiceDebug = readInteger(machine, Setting::Debug);
    const int ownPort = port.isAvailable(port.portNumber()) ? port.portNumber() : kFirstComPort;
    ServiceComPort = readInteger(machine, Setting::ServiceComNumber, ownPort);
    fillPortList(*ServiceSerialPortComboBox_, ServiceComPort);
    ServiceBaud = readInteger(machine, Setting::ServiceBaud, port.lineSettings().baud);
    ServiceParity = readString(machine, Setting::ServiceParity, ComboBoxParity_->currentText());
    ServiceDataBits = readInteger(machine, Setting::ServiceDataBits, port.lineSettings().dataBits);
    ServiceStopBits = readInteger(machine, Setting::ServiceStopBits, port.lineSettings().stopBits);

    // A stored number outside a spin box's range shows as the nearest one it can hold; that is
    // what Apply compares with, so opening and applying changes nothing the operator did not.
    ServiceTCPPortSpinEdit_->setValue(ServiceTCPPort);
    ServiceTCPPort = ServiceTCPPortSpinEdit_->value();
    ServiceDebugSpinEdit_->setValue(ServiceDebug);
    ServiceDebug = ServiceDebugSpinEdit_->value();
    showText(*ServiceBaudComboBox_, QString::number(ServiceBaud));
    showText(*ServiceParityComboBox_, ServiceParity);
    showText(*ServiceDataBitsComboBox_, QString::number(ServiceDataBits));
    showText(*ServiceStopBitsComboBox_, QString::number(ServiceStopBits));
}

void PropertyPage1::CommActiveClick() {
    showClientControls(true);
}

void PropertyPage1::ServiceActiveClick() {
    showClientControls(false);
}

void PropertyPage1::showClientControls(bool serial) {
    for (QWidget* w : serviceModeControls_)
        w->setVisible(!serial);
    for (QWidget* w : serialModeControls_)
        w->setVisible(serial);
}

PropertyPage1::ClientEntry PropertyPage1::readClientTab() const {
    ClientEntry e;
    e.tcpPort = TCPPort_->value();
    e.address = IPAddress_->text().trimmed();
    if (ServiceActive_->isChecked()) {
        // Unused in serial mode, and not to be mended where it cannot be seen.
        static const QRegularExpression address(
            QRegularExpression::anchoredPattern(kAddressPattern));
        if (!address.match(e.address).hasMatch())
            throw EntryError{kNotAnAddress.arg(e.address)};
        return e;
    }
    const QString port = ComboBoxPort_->currentText().trimmed();
    if (!port.isEmpty()) {
        const auto n = portNumberOf(port);
        if (!n)
            throw EntryError{kNotAPort.arg(port)};
        e.comNumber = *n;
    }
    e.line.baud = numberIn(*ComboBoxBaud_, kBaudRange, kClientTab);
    e.line.parity = parityFromText(ComboBoxParity_->currentText().trimmed());
    e.line.dataBits = numberIn(*ComboBoxDataBits_, kDataBitsRange, kClientTab);
    e.line.stopBits = numberIn(*ComboBoxStopBits_, kStopBitsRange, kClientTab);
    return e;
}

PropertyPage1::ServiceEntry PropertyPage1::readServiceTab() const {
    // A port text that is no port number keeps the stored port.
    const auto port = portNumberOf(ServiceSerialPortComboBox_->currentText());
    return {ServiceTCPPortSpinEdit_->value(),
            port.value_or(ServiceComPort),
            numberIn(*ServiceBaudComboBox_, kBaudRange, kServiceTabCaption),
            numberIn(*ServiceDataBitsComboBox_, kDataBitsRange, kServiceTabCaption),
            numberIn(*ServiceStopBitsComboBox_, kStopBitsRange, kServiceTabCaption),
            ServiceDebugSpinEdit_->value(),
            ServiceParityComboBox_->currentText().trimmed()};
}

void PropertyPage1::ButtonApplyClick() {
    ClientEntry client;
    ServiceEntry service;
    try {
        client = readClientTab();
        service = readServiceTab();
    } catch (const EntryError& e) {
        dialogs_.message(this, windowTitle(), e.text);
        return;
    }

    SerialPort& port = link_.GetApdComPort1();
    if (CommActive_->isChecked()) {
        SerialChange_ = client.comNumber != port.portNumber() || client.line != port.lineSettings();
        if (SerialChange_) {
            port.close();
            port.setPortNumber(client.comNumber);
            port.setLineSettings(client.line);
        }
        link_.setComActive(1);
    } else {
        link_.setComActive(0);
    }
    saveUserSetting(dialogs_, this, windowTitle(), [&](Profile& p) { SaveApdComPort1(link_, p); });
    TCPChange_ = client.tcpPort != link_.TCPPort() || client.address != link_.TCPAddress();
    link_.setTcp(client.address, client.tcpPort);
    saveUserSetting(dialogs_, this, windowTitle(), [&](Profile& p) { SaveTCP(link_, p); });

    const ServiceEntry loaded{ServiceTCPPort,  ServiceComPort, ServiceBaud,  ServiceDataBits,
                              ServiceStopBits, ServiceDebug,   ServiceParity};
    ServiceChange_ = service != loaded;
    if (ServiceChange_) {
        ServiceTCPPort = service.tcpPort;
        ServiceComPort = service.comNumber;
        ServiceBaud = service.baud;
        ServiceDataBits = service.dataBits;
        ServiceStopBits = service.stopBits;
        ServiceDebug = service.debug;
        ServiceParity = service.parity;
    }
    accept();
    if (ServiceChange_ && !saveServiceSettings())
        dialogs_.message(
            parentWidget(), windowTitle(),
            QString::fromLatin1(kMachineSettingsWriteError.data(),
                                static_cast<qsizetype>(kMachineSettingsWriteError.size())));
}

bool PropertyPage1::saveServiceSettings() {
    try {
        Profile machine(SettingsScope::Machine);
        writeInteger(machine, Setting::ServicePortNumber, ServiceTCPPort);
        writeInteger(machine, Setting::Debug, ServiceDebug);
        writeInteger(machine, Setting::ServiceComNumber, ServiceComPort);
        writeInteger(machine, Setting::ServiceBaud, ServiceBaud);
        writeString(machine, Setting::ServiceParity, ServiceParity);
        writeInteger(machine, Setting::ServiceDataBits, ServiceDataBits);
        writeInteger(machine, Setting::ServiceStopBits, ServiceStopBits);
        // Last: the running service reloads at its next poll tick.
        writeInteger(machine, Setting::ServiceChange, 1);
    } catch (const ProfileError&) {
        return false;
    }
    return true;
}

void PropertyPage1::Timer1Timer() {
    // Nothing to show while the window is hidden; showing it asks again at once.
    if (isVisible() && tabs_->currentIndex() == ServiceTab)
        RefreshServiceStatus();
}

void PropertyPage1::RefreshServiceStatus() {
    service_->queryState();
}

void PropertyPage1::stateReported(ServiceState state) {
    const QString* button = nullptr;
    for (const StateText& s : kStateTexts)
        if (s.state == state) {
            ServiceStatus_->setText(QString::fromLatin1(s.text));
            button = s.button;
        }
    // While a start or stop is under way, one at a time.
    ServiceButton_->setVisible(button && !service_->commandRunning());
    if (button)
        ServiceButton_->setText(*button);
}

void PropertyPage1::ServiceButtonClick() {
    const bool stop = ServiceButton_->text() == kStopService;
    if (!(stop ? service_->stopService() : service_->startService()))
        return;
    ServiceStatusText_->setPlainText(nowText() + (stop ? kServiceStopping : kServiceStarting));
    ServiceButton_->hide();
}

void PropertyPage1::commandFinished(const QString& error) {
    if (!error.isEmpty())
        addServiceEvent(nowText() + QStringLiteral("  ") + error);
    RefreshServiceStatus();
}

void PropertyPage1::addServiceEvent(const QString& text) {
    ServiceStatusText_->appendPlainText(text);
}

QString PropertyPage1::nowText() const {
    return QString::fromStdString(formatDateTime(clock_.now(), formats_));
}

} // namespace lw
