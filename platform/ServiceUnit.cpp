#include "ServiceUnit.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <utility>

#include "ServiceControl.h"

namespace lw {
namespace {

constexpr char kDefaultUnitFolder[] = "/etc/systemd/system";
constexpr int kSystemctlTimeoutMs = 60000;

QString envOr(const char* name, const char* fallback) {
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? QString::fromLatin1(fallback) : value;
}

} // namespace

ServiceUnit::ServiceUnit(QString name, QString unitFolder, QString systemctl)
    : name_(std::move(name)), folder_(std::move(unitFolder)), systemctl_(std::move(systemctl)) {}

ServiceUnit ServiceUnit::fromEnvironment(const QString& name) {
    return ServiceUnit(name, envOr("OSTREL_UNIT_DIR", kDefaultUnitFolder), systemctlCommand());
}

QString ServiceUnit::unitPath() const {
    return QDir(folder_).filePath(name_ + QStringLiteral(".service"));
}

std::optional<QString> ServiceUnit::executableWord(const QString& path) {
    QString word = QStringLiteral("\"");
    for (const QChar c : path) {
        const char16_t u = c.unicode();
        if (u == '"' || u == '\'' || u == '\\' || u < 0x20 || u == 0x7F)
            return std::nullopt;
        word += u == '%' ? QStringLiteral("%%") : QString(c);
    }
    return word + QLatin1Char('"');
}

bool ServiceUnit::install(const QString& unitText) {
    error_.clear();
    QSaveFile file(unitPath());
    if (!file.open(QIODevice::WriteOnly) || file.write(unitText.toUtf8()) < 0 || !file.commit()) {
        error_ = QStringLiteral("%1: %2").arg(unitPath(), file.errorString());
        return false;
    }
    return systemctl({QStringLiteral("daemon-reload")}) &&
           systemctl({QStringLiteral("enable"), name_ + QStringLiteral(".service")});
}

bool ServiceUnit::uninstall() {
    error_.clear();
    if (!QFile::exists(unitPath())) {
        error_ = QStringLiteral("%1 is not installed (%2 missing)").arg(name_, unitPath());
        return false;
    }
    if (!systemctl({QStringLiteral("disable"), name_ + QStringLiteral(".service")}))
        return false;
    QFile file(unitPath());
    if (!file.remove()) {
        error_ = QStringLiteral("%1: %2").arg(unitPath(), file.errorString());
        return false;
    }
    return systemctl({QStringLiteral("daemon-reload")});
}

bool ServiceUnit::systemctl(const QStringList& args) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(systemctl_, args);
    const bool finished = process.waitForFinished(kSystemctlTimeoutMs);
    if (finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    const QString output = QString::fromLocal8Bit(process.readAll()).trimmed();
    error_ =
        QStringLiteral("%1 %2 failed: %3")
            .arg(systemctl_, args.join(' '), output.isEmpty() ? process.errorString() : output);
    if (!finished)
        process.kill();
    return false;
}

} // namespace lw
