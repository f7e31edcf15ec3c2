#pragma once
// A program's systemd unit: written and enabled, or disabled and removed, through systemctl.
// The unit folder and the systemctl command are given, so tests use a folder of their own and
// a stand-in command; fromEnvironment() takes them from OSTREL_UNIT_DIR and OSTREL_SYSTEMCTL
// when set, else /etc/systemd/system and "systemctl".

#include <QString>
#include <QStringList>
#include <optional>

namespace lw {

// The collector's unit, by which both programs know it.
inline constexpr char kServiceName[] = "OstrelService1";

class ServiceUnit {
public:
    ServiceUnit(QString name, QString unitFolder, QString systemctl);
    static ServiceUnit fromEnvironment(const QString& name);

    // "<folder>/<name>.service".
    QString unitPath() const;
    // An executable's path as the first word of an ExecStart= line: double-quoted, since blanks
    // would split it, with '%' doubled, since it would start a specifier. Empty when systemd
    // cannot start a program of that path at all (quotes, backslashes, control characters).
    static std::optional<QString> executableWord(const QString& path);
    // Writes the unit file (replacing one that exists), reloads systemd and enables the unit.
    bool install(const QString& unitText);
    // Disables the unit, removes its file and reloads systemd. False when it was not installed.
    bool uninstall();
    // What failed in the last install() or uninstall().
    QString errorString() const { return error_; }

private:
    bool systemctl(const QStringList& args);

    QString name_;
    QString folder_;
    QString systemctl_;
    QString error_;
};

} // namespace lw
