#include "Profile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSettings>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <optional>
#include <unistd.h>

#include "Formats.h"
#include "IniCheck.h"
#include "Paths.h"

namespace lw {
namespace {

// For a field engineer, off by default: QT_LOGGING_RULES="levelwatch.settings=true".
Q_LOGGING_CATEGORY(lcSettings, "levelwatch.settings", QtWarningMsg)

const QString kProductKey = QString::fromLatin1(kProductKeyPath);

// The QSettings group of a section path; empty for the product key itself, nullopt for an
// absolute path outside the product key (no such section can exist in our stores).
std::optional<QString> groupOf(const QString& section) {
    QString rest = section;
    if (section.startsWith('\\')) {
        if (!section.startsWith(kProductKey, Qt::CaseInsensitive))
            return std::nullopt;
        rest = section.mid(kProductKey.size());
        if (!rest.isEmpty() && !rest.startsWith('\\'))
            return std::nullopt; // "\Software\Ostrel\LevelwatchX"
    }
    rest.replace('\\', '/');
    while (rest.startsWith('/'))
        rest.remove(0, 1);
    while (rest.endsWith('/'))
        rest.chop(1);
    return rest;
}

QString keyOf(const QString& group, const QString& ident) {
    return group.isEmpty() ? ident : group + '/' + ident;
}

// A hand-edited value with unquoted commas comes back from QSettings as a list.
QString textOf(const QVariant& v) {
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(',');
    return v.toString();
}

QString statusText(QSettings::Status status) {
    return status == QSettings::FormatError
               ? QStringLiteral("the file is not a valid settings file")
               : QStringLiteral("the file cannot be written");
}

} // namespace

struct Profile::Impl {
    QString file;
    bool privateFile = false; // created readable by its owner only

    // A fresh QSettings per operation: it sees what another process wrote since, and its
    // status() tells about this operation alone.
    std::unique_ptr<QSettings> open() const {
        return std::make_unique<QSettings>(file, QSettings::IniFormat);
    }

    // Creates the folder and, for the private store, the file itself with mode 0600 before
    // QSettings does: QSettings keeps the mode of an existing file but creates new ones 0644.
    void prepareForWrite() const {
        const QFileInfo info(file);
        if (!QDir().mkpath(info.absolutePath()))
            throw ProfileError(QStringLiteral("Cannot create the settings folder %1")
                                   .arg(info.absolutePath())
                                   .toStdString());
        if (!privateFile)
            return;
        const QByteArray path = QFile::encodeName(file);
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            throw ProfileError(QStringLiteral("Cannot create the settings file %1: %2")
                                   .arg(file, QString::fromLocal8Bit(std::strerror(errno)))
                                   .toStdString());
        ::close(fd);
    }

    // Applies a change to `keys` and makes it permanent. On failure the change is taken back
    // in memory too (QSettings would otherwise keep offering the unsaved values to this
    // process) and ProfileError is raised.
    void change(const QStringList& keys, const std::function<void(QSettings&)>& apply) const {
        prepareForWrite();
        const auto settings = open();
        QList<std::pair<QString, std::optional<QVariant>>> before;
        for (const QString& k : keys)
            before.append(
                {k, settings->contains(k) ? std::optional(settings->value(k)) : std::nullopt});
        apply(*settings);
        settings->sync();
        const QSettings::Status status = settings->status();
        qCDebug(lcSettings) << file << "written:" << keys << "status" << status;
        if (status == QSettings::NoError)
            return;
        for (const auto& [k, v] : before) {
            if (v)
                settings->setValue(k, *v);
            else
                settings->remove(k);
        }
        settings->sync();
        throw ProfileError(QStringLiteral("Cannot save settings to %1: %2")
                               .arg(file, statusText(status))
                               .toStdString());
    }
};

Profile::Profile(SettingsScope scope)
    : d(new Impl{scope == SettingsScope::Machine ? machineSettingsFile() : userSettingsFile(),
                 scope == SettingsScope::Machine}) {}

Profile::Profile(const QString& iniFile) : d(new Impl{iniFile, false}) {}

Profile::~Profile() {
    delete d;
}

QString SettingsFault::toString() const {
    if (line <= 0)
        return QStringLiteral("%1: %2").arg(file, reason);
    return QStringLiteral("%1 line %2: %3: %4").arg(file).arg(line).arg(reason, text);
}

QString Profile::fileName() const {
    return d->file;
}

std::optional<SettingsFault> Profile::check() const {
    QFile file(d->file);
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly))
        return SettingsFault{d->file, 0, QStringLiteral("cannot be read: ") + file.errorString(),
                             {}};
    const QByteArray bytes = file.readAll();
    if (const auto fault = findIniFault(std::string_view(bytes.constData(), bytes.size()))) {
        qCDebug(lcSettings) << d->file << "line" << fault->line << fault->reason.c_str();
        return SettingsFault{d->file, fault->line, QString::fromStdString(fault->reason),
                             QString::fromLocal8Bit(fault->text)};
    }
    if (d->open()->status() == QSettings::FormatError)
        return SettingsFault{d->file, 0, statusText(QSettings::FormatError), {}};
    return std::nullopt;
}

QList<std::pair<QString, QString>> Profile::ReadSectionValues(const QString& section) const {
    QList<std::pair<QString, QString>> values;
    const auto group = groupOf(section);
    if (!group)
        return values;
    const auto settings = d->open();
    settings->beginGroup(*group);
    for (const QString& ident : settings->childKeys())
        values.append({ident, textOf(settings->value(ident))});
    return values;
}

bool Profile::ValueExists(const QString& section, const QString& ident) const {
    const auto group = groupOf(section);
    return group && d->open()->contains(keyOf(*group, ident));
}

QList<std::pair<QString, QString>> Profile::allValues() const {
    QList<std::pair<QString, QString>> values;
    for (const QString& key : d->open()->allKeys()) {
        const qsizetype slash = key.lastIndexOf('/');
        values.append({slash < 0 ? QString() : key.left(slash), key.mid(slash + 1)});
    }
    return values;
}

QString Profile::ReadString(const QString& section, const QString& ident,
                            const QString& def) const {
    const auto group = groupOf(section);
    if (!group)
        return def;
    const QVariant v = d->open()->value(keyOf(*group, ident));
    if (!v.isValid())
        return def;
    return textOf(v);
}

int Profile::ReadInteger(const QString& section, const QString& ident, int def) const {
    const auto value = parseInteger(ReadString(section, ident, QString()).toStdString());
    return value ? *value : def;
}

void Profile::WriteString(const QString& section, const QString& ident, const QString& value) {
    const auto group = groupOf(section);
    if (!group)
        throw ProfileError(
            QStringLiteral("Invalid settings section %1").arg(section).toStdString());
    const QString key = keyOf(*group, ident);
    d->change({key}, [&](QSettings& s) { s.setValue(key, value); });
}

void Profile::WriteInteger(const QString& section, const QString& ident, int value) {
    WriteString(section, ident, QString::number(value));
}

void Profile::EraseSection(const QString& section) {
    const auto group = groupOf(section);
    if (!group)
        return;
    QStringList keys;
    {
        const auto settings = d->open();
        settings->beginGroup(*group);
        for (const QString& k : settings->allKeys())
            keys.append(keyOf(*group, k));
    }
    if (keys.isEmpty())
        return;
    d->change(keys, [&](QSettings& s) {
        for (const QString& k : keys)
            s.remove(k);
    });
}

} // namespace lw
