#pragma once
// Settings store: sections and named values, every value stored as a string.
//
// Two stores exist: the machine-wide one (service, mail, [Ports]) and the per-user one (the
// operator's program). Section paths that begin with a backslash are absolute below the product
// key "\Software\Ostrel\Levelwatch" ("\Software\Ostrel\Levelwatch\ComPortInfo" is the group
// [ComPortInfo]; the product key itself holds top-level values such as "ServiceChange"); other
// section paths are relative to the product key ("ComPortInfo").

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <stdexcept>
#include <utility>

namespace lw {

enum class SettingsScope { Machine, User };

// The product key as an absolute section path; its subsections follow after a backslash.
inline constexpr char kProductKeyPath[] = "\\Software\\Ostrel\\Levelwatch";

class ProfileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A store file that cannot be read as its author meant (see IniCheck.h), or not at all.
struct SettingsFault {
    QString file;
    int line = 0; // from 1; 0 when no single line is to blame
    QString reason;
    QString text; // the line as it stands

    // "<file> line <n>: <reason>: <text>", or "<file>: <reason>" without a line.
    QString toString() const;
};

class Profile {
public:
    // Opens the store file of the scope (see platform/Paths).
    explicit Profile(SettingsScope scope);
    // Opens a given INI file (tests, tools).
    explicit Profile(const QString& iniFile);
    ~Profile();
    Profile(const Profile&) = delete;
    Profile& operator=(const Profile&) = delete;

    // The store's file.
    QString fileName() const;
    // Empty when the file is missing or every line of it reads as meant; else the first
    // faulty line, or the reason the file cannot be read at all.
    std::optional<SettingsFault> check() const;

    // Every value of a section, in the store's order of names.
    QList<std::pair<QString, QString>> ReadSectionValues(const QString& section) const;
    bool ValueExists(const QString& section, const QString& ident) const;
    // Every value of the store as [section, ident]; section empty for the product key itself.
    QList<std::pair<QString, QString>> allValues() const;

    // The stored text, or `def` when the value is missing.
    QString ReadString(const QString& section, const QString& ident, const QString& def) const;
    // The stored text as a decimal integer; `def` when missing, empty or not a number.
    int ReadInteger(const QString& section, const QString& ident, int def) const;
    // Write at once; throw ProfileError when the store cannot be written.
    void WriteString(const QString& section, const QString& ident, const QString& value);
    void WriteInteger(const QString& section, const QString& ident, int value);
    void EraseSection(const QString& section);

private:
    struct Impl;
    Impl* d;
};

} // namespace lw
