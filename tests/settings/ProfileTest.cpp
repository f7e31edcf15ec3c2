#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>

#include "Profile.h"
#include "QtFiles.h"

using namespace lw;
using lw::test::readText;
using lw::test::writeFile;

namespace {

const QString kServiceKey = QStringLiteral("\\Software\\Ostrel\\Levelwatch");
const QString kComPortInfo = QStringLiteral("\\Software\\Ostrel\\Levelwatch\\ComPortInfo");

class ProfileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString ini() const { return dir.filePath("store.ini"); }
};

} // namespace

TEST_F(ProfileTest, SectionPathsMapToGroups) {
    {
        Profile p(ini());
        p.WriteInteger(kServiceKey, "ServiceChange", 1);
        p.WriteInteger(kComPortInfo, "Baud", 9600);
        p.WriteString("TCPIPInfo", "Address", "host-a");
        // An absolute path and a relative one name the same section.
        EXPECT_EQ(p.ReadInteger("ComPortInfo", "Baud", 0), 9600);
        EXPECT_EQ(p.ReadString(kServiceKey + "\\TCPIPInfo", "Address", ""), "host-a");
        EXPECT_EQ(p.ReadInteger("", "ServiceChange", 0), 1);
    }
    const QString text = readText(ini());
    EXPECT_TRUE(text.contains("[General]\nServiceChange=1")) << text.toStdString();
    EXPECT_TRUE(text.contains("[ComPortInfo]\nBaud=9600")) << text.toStdString();
    EXPECT_TRUE(text.contains("[TCPIPInfo]\nAddress=host-a")) << text.toStdString();
}

TEST_F(ProfileTest, IntegersReadAsDefaultUnlessDecimal) {
    Profile p(ini());
    struct Case {
        const char* stored;
        int expected;
    } cases[] = {{"42", 42}, {"-3", -3},  {"", 7},   {"abc", 7},
                 {"12x", 7}, {"0x10", 7}, {" 5", 7}, {"99999999999", 7}};
    for (const Case& c : cases) {
        p.WriteString("Debug", "Debug", c.stored);
        EXPECT_EQ(p.ReadInteger("Debug", "Debug", 7), c.expected) << c.stored;
    }
    EXPECT_EQ(p.ReadInteger("Debug", "Missing", 7), 7);
    // A string reads as its default only when missing; an empty text is a value.
    p.WriteString("STMP", "Host", "");
    EXPECT_EQ(p.ReadString("STMP", "Host", "dflt"), "");
    EXPECT_EQ(p.ReadString("STMP", "User", "dflt"), "dflt");
    // Texts that INI files treat specially survive the round trip.
    for (const QString v : {"a=b;c", "@odd", "x, y", "  padded  ", "Ünïcode \"quoted\""}) {
        p.WriteString("STMP", "Password", v);
        EXPECT_EQ(Profile(ini()).ReadString("STMP", "Password", ""), v);
    }
}

TEST_F(ProfileTest, HandEditedFileReadsAsText) {
    writeFile(ini(), "[STMP]\nHost=mail,backup\nPort=587\n");
    const Profile p(ini());
    EXPECT_EQ(p.ReadString("STMP", "Host", ""), "mail,backup");
    EXPECT_EQ(p.ReadInteger("\\Software\\Ostrel\\Levelwatch\\STMP", "Port", 25), 587);
}

TEST_F(ProfileTest, EraseSectionRemovesOnlyThatSection) {
    Profile p(ini());
    p.WriteInteger("ComPortInfo", "Baud", 4800);
    p.WriteInteger("ComPortInfo", "DataBits", 7);
    p.WriteInteger("Debug", "Debug", 3);
    p.EraseSection(kComPortInfo);
    EXPECT_EQ(p.ReadInteger("ComPortInfo", "Baud", 9600), 9600);
    EXPECT_EQ(p.ReadInteger("ComPortInfo", "DataBits", 8), 8);
    EXPECT_EQ(p.ReadInteger("Debug", "Debug", 0), 3);
    p.EraseSection("NoSuchSection"); // nothing to do, no error
}

TEST_F(ProfileTest, SeesWhatAnotherProfileWrote) {
    Profile reader(ini());
    EXPECT_EQ(reader.ReadInteger(kServiceKey, "ServiceChange", 0), 0);
    Profile(ini()).WriteInteger(kServiceKey, "ServiceChange", 1);
    EXPECT_EQ(reader.ReadInteger(kServiceKey, "ServiceChange", 0), 1);
}

TEST_F(ProfileTest, MachineStoreIsPrivateAndItsFolderIsCreated) {
    qputenv("OSTREL_SETTINGS_DIR", QFile::encodeName(dir.filePath("nested/settings")));
    {
        Profile machine(SettingsScope::Machine);
        EXPECT_EQ(machine.ReadString("STMP", "Password", "none"), "none");
        EXPECT_FALSE(QFileInfo::exists(dir.filePath("nested/settings/machine.ini")))
            << "reading creates nothing";
        machine.WriteString("STMP", "Password", "secret");
        machine.WriteString("STMP", "Host", "mail");
        Profile(SettingsScope::User).WriteInteger("TCPIPInfo", "Port", 6001);
    }
    qunsetenv("OSTREL_SETTINGS_DIR");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(dir.filePath("nested/settings/machine.ini")), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_TRUE(readText(dir.filePath("nested/settings/user.ini")).contains("Port=6001"));
}

TEST_F(ProfileTest, WriteThatCannotBeStoredRaises) {
    // A path below a regular file or inside /proc cannot be created, not even by root.
    writeFile(dir.filePath("blocker"), "");
    for (const QString& path :
         {dir.filePath("blocker/store.ini"), QStringLiteral("/proc/levelwatch-test/store.ini"),
          QStringLiteral("/proc/version")}) {
        Profile p(path);
        EXPECT_THROW(p.WriteString("STMP", "Host", "mail"), ProfileError) << path.toStdString();
        EXPECT_THROW(p.WriteInteger(kServiceKey, "ServiceChange", 1), ProfileError);
        // The failed value is not offered to later reads either.
        EXPECT_EQ(p.ReadString("STMP", "Host", "dflt"), "dflt") << path.toStdString();
    }
    qputenv("OSTREL_SETTINGS_DIR", QFile::encodeName(dir.filePath("blocker")));
    EXPECT_THROW(Profile(SettingsScope::Machine).WriteString("STMP", "Host", "x"), ProfileError);
    qunsetenv("OSTREL_SETTINGS_DIR");
}

TEST_F(ProfileTest, FailedWriteKeepsTheStoredValue) {
    // The longest file name there can be: its lock file cannot be made, so every write fails
    // while the file itself reads fine.
    const QString path = dir.filePath(QString(251, 'x') + ".ini");
    writeFile(path, "[STMP]\nHost=old\n");
    Profile p(path);
    EXPECT_THROW(p.WriteString("STMP", "Host", "new"), ProfileError);
    EXPECT_THROW(p.WriteString("STMP", "Port", "26"), ProfileError);
    EXPECT_EQ(p.ReadString("STMP", "Host", ""), "old");
    EXPECT_EQ(p.ReadInteger("STMP", "Port", 25), 25);
}
