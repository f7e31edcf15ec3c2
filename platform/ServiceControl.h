#pragma once
// The collector's service on this machine, as the operator's program sees it: its state, and
// start and stop. Every operation is asynchronous and bounded in time, so a window that asks
// never waits on the service manager; the answer comes back as a signal.
//
// SystemctlServiceControl runs systemctl: "show -p LoadState,ActiveState,SubState <unit>" for
// the state, "start <unit>" and "stop <unit>", which return once the unit has started or
// stopped.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <string_view>

class QProcess;

namespace lw {

// The states the setup window tells apart. Unknown: the state could not be had (no such unit,
// no systemd, systemctl missing or failing). Other: a state of none of the kinds below.
enum class ServiceState { Other = -1, Unknown = 0, Stopped, StartPending, StopPending, Running };

// The state in the output of "systemctl show -p LoadState,ActiveState,SubState": a unit that is
// not found is Unknown; "active" and "reloading" are Running; "inactive" and "failed" Stopped
// (it can be started); "activating" StartPending; "deactivating" StopPending; an output without
// an ActiveState is Unknown.
ServiceState serviceStateFromShow(std::string_view output);

// The systemctl command: OSTREL_SYSTEMCTL when set, else "systemctl" from PATH.
QString systemctlCommand();

class ServiceControl : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Asks for the state; stateReported follows. A query still under way is not doubled.
    virtual void queryState() = 0;
    // Starts or stops the service; commandFinished follows once it has started or stopped, or
    // failed, or the wait ran out. One command at a time: false (and nothing done) while one is
    // under way.
    virtual bool startService() = 0;
    virtual bool stopService() = 0;
    virtual bool commandRunning() const = 0;

signals:
    void stateReported(lw::ServiceState state);
    // `error` is empty on success, else what the service manager said.
    void commandFinished(const QString& error);
};

class SystemctlServiceControl final : public ServiceControl {
    Q_OBJECT
public:
    struct Timeouts {
        int queryMs = 5000;
        // systemd waits up to 90 s for a unit to start by default.
        int commandMs = 120000;
    };

    explicit SystemctlServiceControl(QString unit, Timeouts timeouts, QObject* parent = nullptr);
    explicit SystemctlServiceControl(QString unit, QObject* parent = nullptr)
        : SystemctlServiceControl(std::move(unit), Timeouts{}, parent) {}
    ~SystemctlServiceControl() override;

    void queryState() override;
    bool startService() override;
    bool stopService() override;
    bool commandRunning() const override { return !command_.isNull(); }

private:
    bool runCommand(const QString& verb);
    // Starts systemctl with `args`; `done` gets the process once it has ended or was killed
    // after `timeoutMs` (timedOut), and the process is deleted after.
    QProcess* run(const QStringList& args, int timeoutMs,
                  std::function<void(QProcess&, bool timedOut)> done);

    QString unit_;
    QString program_;
    Timeouts timeouts_;
    QPointer<QProcess> query_;
    QPointer<QProcess> command_;
};

} // namespace lw
