#pragma once
// "Comm Setup": how this monitor gets its data ("Client": the service over TCP, or its own
// serial port) and the collector's own settings with its state ("Service": its port and line,
// its relay port, its log level, and start or stop). Apply saves what changed, tells a running
// service to reload when its settings changed, and closes with OK; the main window then
// switches or restarts its data source. Cancel saves nothing.
//
// The "Client" tab is filled from the main window each time the window is shown and each time
// the operator comes back to it from another program; the "Service" tab from the machine-wide
// settings each time it is shown. Every entry is checked before anything is saved: a text that
// is not a number where one is needed, or an address that is not one, is named in a message and
// the window stays open.

#include <QDialog>
#include <QTimer>
#include <memory>

#include "Clock.h"
#include "Formats.h"
#include "ServiceControl.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;

namespace lw {

class Dialogs;
class MonitorLink;

class PropertyPage1 : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTimer1Ms = 1000;
    enum Tab { ClientTab, ServiceTab };

    PropertyPage1(MonitorLink& link, Dialogs& dialogs, const Clock& clock, const Formats& formats,
                  std::unique_ptr<ServiceControl> service, QWidget* parent = nullptr);
    ~PropertyPage1() override;

    void setFormats(const Formats& formats) { formats_ = formats; }

    // What the last Apply found changed.
    bool TCPChange() const { return TCPChange_; }
    bool SerialChange() const { return SerialChange_; }
    bool ServiceChange() const { return ServiceChange_; }

    // Fills the "Client" tab from the main window's port, link and mode; clears the change flags
    // and asks for the service's state.
    void FormActivate();
    // Loads the "Service" tab from the machine-wide settings (defaults from the "Client" tab).
    void cxTabSheet2Show();
    void CommActiveClick();
    void ServiceActiveClick();
    // Checks every entry, then saves and closes with OK (see the file comment).
    void ButtonApplyClick();
    void ButtonCancelClick() { reject(); }
    // Asks for the service's state; the status text and the button follow the answer.
    void RefreshServiceStatus();
    void Timer1Timer();
    // Starts or stops the service, by the button's caption.
    void ServiceButtonClick();
    // A line for the service events: the service's own status texts, its disconnection.
    void addServiceEvent(const QString& text);

    // The controls, for the main window's tests and screens.
    QTabWidget& tabs() const { return *tabs_; }
    QRadioButton& ServiceActive() const { return *ServiceActive_; }
    QRadioButton& CommActive() const { return *CommActive_; }
    QLineEdit& IPAddress() const { return *IPAddress_; }
    QSpinBox& TCPPort() const { return *TCPPort_; }
    QComboBox& ComboBoxPort() const { return *ComboBoxPort_; }
    QComboBox& ComboBoxBaud() const { return *ComboBoxBaud_; }
    QComboBox& ComboBoxParity() const { return *ComboBoxParity_; }
    QComboBox& ComboBoxDataBits() const { return *ComboBoxDataBits_; }
    QComboBox& ComboBoxStopBits() const { return *ComboBoxStopBits_; }
    QSpinBox& ServiceTCPPortSpinEdit() const { return *ServiceTCPPortSpinEdit_; }
    QComboBox& ServiceSerialPortComboBox() const { return *ServiceSerialPortComboBox_; }
    QComboBox& ServiceBaudComboBox() const { return *ServiceBaudComboBox_; }
    QComboBox& ServiceParityComboBox() const { return *ServiceParityComboBox_; }
    QComboBox& ServiceDataBitsComboBox() const { return *ServiceDataBitsComboBox_; }
    QComboBox& ServiceStopBitsComboBox() const { return *ServiceStopBitsComboBox_; }
    QSpinBox& ServiceDebugSpinEdit() const { return *ServiceDebugSpinEdit_; }
    QLineEdit& ServiceStatus() const { return *ServiceStatus_; }
    QPlainTextEdit& ServiceStatusText() const { return *ServiceStatusText_; }
    QPushButton& ServiceButton() const { return *ServiceButton_; }
    const QTimer& Timer1() const { return Timer1_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct ClientEntry;
    struct ServiceEntry;

    QWidget* buildClientTab();
    QWidget* buildServiceTab();
    void showClientControls(bool serial);
    void fillPortList(QComboBox& box, int selected) const;
    ClientEntry readClientTab() const;
    ServiceEntry readServiceTab() const;
    // True when the service settings were written.
    bool saveServiceSettings();
    void stateReported(ServiceState state);
    void commandFinished(const QString& error);
    QString nowText() const;

    MonitorLink& link_;
    Dialogs& dialogs_;
    const Clock& clock_;
    Formats formats_;
    std::unique_ptr<ServiceControl> service_;

    int ServiceTCPPort = 0;
    int ServiceComPort = 0;
    int ServiceBaud = 0;
    int ServiceDataBits = 0;
    int ServiceStopBits = 0;
    int ServiceDebug = 0;
    QString ServiceParity;
    bool TCPChange_ = false;
    bool SerialChange_ = false;
    bool ServiceChange_ = false;

    QTabWidget* tabs_;
    QRadioButton* ServiceActive_;
    QRadioButton* CommActive_;
    QLineEdit* IPAddress_;
    QSpinBox* TCPPort_;
    QComboBox* ComboBoxPort_;
    QComboBox* ComboBoxBaud_;
    QComboBox* ComboBoxParity_;
    QComboBox* ComboBoxDataBits_;
    QComboBox* ComboBoxStopBits_;
    std::vector<QWidget*> serviceModeControls_; // shown in service mode, with their labels
    std::vector<QWidget*> serialModeControls_;  // shown in serial mode, with their labels
    QSpinBox* ServiceTCPPortSpinEdit_;
    QComboBox* ServiceSerialPortComboBox_;
    QComboBox* ServiceBaudComboBox_;
    QComboBox* ServiceParityComboBox_;
    QComboBox* ServiceDataBitsComboBox_;
    QComboBox* ServiceStopBitsComboBox_;
    QSpinBox* ServiceDebugSpinEdit_;
    QLineEdit* ServiceStatus_;
    QPlainTextEdit* ServiceStatusText_;
    QPushButton* ServiceButton_;
    QTimer Timer1_;
};

} // namespace lw
