#include "ServiceControl.h"

#include <QProcess>
#include <QTimer>
#include <memory>

namespace lw {
namespace {

constexpr char kDefaultSystemctl[] = "systemctl";
constexpr int kKillWaitMs = 200;

// The value of `key` in "Key=Value" lines; empty when there is none.
std::string_view showValue(std::string_view output, std::string_view key) {
    size_t pos = 0;
    while (pos < output.size()) {
        size_t end = output.find('\n', pos);
        if (end == std::string_view::npos)
            end = output.size();
        std::string_view line = output.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.size() > key.size() && line.substr(0, key.size()) == key &&
            line[key.size()] == '=')
            return line.substr(key.size() + 1);
        pos = end + 1;
    }
    return {};
}

} // namespace

ServiceState serviceStateFromShow(std::string_view output) {
    if (showValue(output, "LoadState") == "not-found")
        return ServiceState::Unknown;
    const std::string_view active = showValue(output, "ActiveState");
    if (active.empty())
        return ServiceState::Unknown;
    if (active == "active" || active == "reloading")
        return ServiceState::Running;
    if (active == "inactive" || active == "failed")
        return ServiceState::Stopped;
    if (active == "activating")
        return ServiceState::StartPending;
    if (active == "deactivating")
        return ServiceState::StopPending;
    return ServiceState::Other;
}

QString systemctlCommand() {
    const QString command = qEnvironmentVariable("OSTREL_SYSTEMCTL");
    return command.isEmpty() ? QString::fromLatin1(kDefaultSystemctl) : command;
}

SystemctlServiceControl::SystemctlServiceControl(QString unit, Timeouts timeouts, QObject* parent)
    : ServiceControl(parent), unit_(std::move(unit)), program_(systemctlCommand()),
      timeouts_(timeouts) {}

SystemctlServiceControl::~SystemctlServiceControl() {
    // Nothing is reported once the window that asked is going.
    for (QProcess* p : {query_.data(), command_.data()}) {
        if (!p)
            continue;
        disconnect(p, nullptr, this, nullptr);
        p->kill();
        p->waitForFinished(kKillWaitMs);
        delete p;
    }
}

void SystemctlServiceControl::queryState() {
    if (query_)
        return;
    query_ = run({QStringLiteral("show"), QStringLiteral("-p"),
                  QStringLiteral("LoadState,ActiveState,SubState"), unit_},
                 timeouts_.queryMs, [this](QProcess& p, bool timedOut) {
                     query_.clear();
                     const bool ok =
                         !timedOut && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
                     const QByteArray out = p.readAllStandardOutput();
                     emit stateReported(ok ? serviceStateFromShow(std::string_view(
                                                 out.constData(), static_cast<size_t>(out.size())))
                                           : ServiceState::Unknown);
                 });
}

bool SystemctlServiceControl::startService() {
    return runCommand(QStringLiteral("start"));
}

bool SystemctlServiceControl::stopService() {
    return runCommand(QStringLiteral("stop"));
}

bool SystemctlServiceControl::runCommand(const QString& verb) {
    if (command_)
        return false;
    command_ = run({verb, unit_}, timeouts_.commandMs, [this, verb](QProcess& p, bool timedOut) {
        command_.clear();
        const QString what = QStringLiteral("%1 %2 %3").arg(program_, verb, unit_);
        QString error;
        if (timedOut) {
            error = QStringLiteral("%1 did not finish within %2 s")
                        .arg(what)
                        .arg(timeouts_.commandMs / 1000);
        } else if (p.error() == QProcess::FailedToStart) {
            error = QStringLiteral("%1 could not be started: %2").arg(program_, p.errorString());
        } else if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            error = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
            if (error.isEmpty())
                error = QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
            if (error.isEmpty())
                error = QStringLiteral("%1 failed with exit code %2").arg(what).arg(p.exitCode());
        }
        emit commandFinished(error);
    });
    return true;
}

QProcess* SystemctlServiceControl::run(const QStringList& args, int timeoutMs,
                                       std::function<void(QProcess&, bool)> done) {
    auto* process = new QProcess(this);
    struct Progress {
        bool timedOut = false;
        bool ended = false;
    };
    auto progress = std::make_shared<Progress>();
    // A process that could not be started reports an error and never finishes.
    const auto end = [process, done = std::move(done), progress] {
        if (progress->ended)
            return;
        progress->ended = true;
        done(*process, progress->timedOut);
        process->deleteLater();
    };
    connect(process, &QProcess::finished, this, end);
    connect(process, &QProcess::errorOccurred, this, [end](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            end();
    });
    QTimer::singleShot(timeoutMs, process, [process, progress] {
        progress->timedOut = true;
        process->kill();
    });
    process->start(program_, args);
    return process;
}

} // namespace lw
