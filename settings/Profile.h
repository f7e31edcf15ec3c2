#pragma once
// Settings store: sections and named values, every value stored as a string.
//
// Two stores exist: the machine-wide one (service, mail, [Ports]) and the per-user one (the
// operator's program). Section paths that begin with a backslash are absolute below the product
// key "\Software\Ostrel\Levelwatch" ("\Software\Ostrel\Levelwatch\ComPortInfo" is the group
// [ComPortInfo]; the product key itself holds top-level values such as "ServiceChange"); other
// section paths are relative to the product key ("ComPortInfo").

#include <QString>
#include <stdexcept>

namespace lw {

enum class SettingsScope { Machine, User };

// The product key as an absolute section path; its subsections follow after a backslash.
inline constexpr char kProductKeyPath[] = "\\Software\\Ostrel\\Levelwatch";

class ProfileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
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
