#include "SettingsReport.h"

#include <set>

#include "Settings.h"

namespace lw {
namespace {

const QString kGeneral = QStringLiteral("General"); // how the store shows the product key
const QString kPorts = QStringLiteral("Ports");
const QString kMask = QStringLiteral("********");

QString toQString(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString sectionName(const SettingInfo& info) {
    return info.section.empty() ? kGeneral : toQString(info.section);
}

QString quoted(const QString& text) {
    return '"' + text + '"';
}

// The value the collector uses and where it comes from.
std::pair<QString, QString> valueAndSource(const Profile& machine, const SettingInfo& info) {
    const QString section = sectionPath(info);
    const QString name = toQString(info.name);
    if (!machine.ValueExists(section, name))
        return {defaultText(machine, info), QStringLiteral("default")};
    const QString stored = machine.ReadString(section, name, {});
    if (info.kind == SettingKind::Integer) {
        const int def = defaultText(machine, info).toInt();
        const int value = readInteger(machine, info.setting, def);
        if (value == def && stored.trimmed() != QString::number(value))
            return {QString::number(value),
                    QStringLiteral("default: the file's %1 is not a number").arg(quoted(stored))};
        return {QString::number(value), QStringLiteral("file")};
    }
    QString value = stored;
    if (info.blankIsDefault && value.isEmpty())
        return {defaultText(machine, info), QStringLiteral("default: the file's value is empty")};
    if (info.setting == Setting::ServiceParity)
        value = parityText(parityFromText(stored));
    else if (info.setting == Setting::SmtpAuth)
        value = smtpAuthText(smtpAuthFromText(stored));
    if (value != stored)
        return {value, QStringLiteral("file: %1 is none of the names (they are case-sensitive)")
                           .arg(quoted(stored))};
    if (info.setting == Setting::SmtpSecurity &&
        smtpSecurityFromText(stored) == SmtpSecurity::Unknown)
        return {value, QStringLiteral("file: not None, STARTTLS or TLS, so no mail is sent")};
    if ((info.setting == Setting::SmtpPassword || info.setting == Setting::MqttPassword) &&
        !value.isEmpty())
        value = kMask;
    return {value, QStringLiteral("file")};
}

} // namespace

QStringList machineSettingsReport(const Profile& machine) {
    QStringList lines;
    const auto fault = machine.check();
    if (fault)
        lines << QStringLiteral("ERROR: ") + fault->toString()
              << QStringLiteral("The service does not start with this file. It would read:");
    lines << QStringLiteral("Settings file: ") + machine.fileName();

    std::set<std::pair<QString, QString>> known; // [section, name] as the store shows them
    for (const SettingInfo& info : allSettings()) {
        if (info.scope != SettingsScope::Machine)
            continue;
        const auto [value, source] = valueAndSource(machine, info);
        lines << QStringLiteral("[%1] %2 = %3 (%4)")
                     .arg(sectionName(info), toQString(info.name),
                          value.isEmpty() ? QStringLiteral("\"\"") : value, source);
        known.insert({sectionName(info), toQString(info.name)});
    }

    const ComPortMap ports = readComPortMap(machine);
    const int comNumber = readInteger(machine, Setting::ServiceComNumber);
    for (const auto& [n, device] : ports.mapped())
        lines << QStringLiteral("[Ports] COM%1 = %2 (file)").arg(n).arg(device);
    if (!ports.mapped().contains(comNumber))
        lines << QStringLiteral("[Ports] COM%1 = %2 (default)")
                     .arg(comNumber)
                     .arg(ports.devicePath(comNumber));

    const MqttSettings mqtt = readMqttSettings(machine);
    if (!mqtt.fault.isEmpty())
        lines << QStringLiteral("ERROR: MQTT publishing stays off: ") + mqtt.fault;

    std::set<QString> knownSections{kPorts};
    for (const auto& [section, name] : known)
        knownSections.insert(section);
    for (auto [section, name] : machine.allValues()) {
        if (section.isEmpty())
            section = kGeneral;
        if (known.contains({section, name}) || (section == kPorts && ComPortMap::comNumberOf(name)))
            continue;
        if (!knownSections.contains(section)) {
            lines << QStringLiteral("Unknown section [%1]: %2").arg(section, name);
            continue;
        }
        QString hint;
        for (const auto& [s, n] : known)
            if (s == section && n.compare(name, Qt::CaseInsensitive) == 0)
                hint = QStringLiteral(" (names are case-sensitive: %1?)").arg(n);
        lines << QStringLiteral("Unknown key [%1] %2%3").arg(section, name, hint);
    }
    return lines;
}

} // namespace lw
