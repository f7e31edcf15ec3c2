#include <gtest/gtest.h>

#include <QDateTime>
#include <QLocale>

#include "AtomicFile.h"
#include "SystemClock.h"
#include "DateTime.h"
#include "LocaleFormats.h"
#include "Paths.h"

using namespace lw;

TEST(Paths, EnvironmentChoosesFolders) {
    qputenv("OSTREL_HOME", "/tmp/lw-home/");
    qputenv("OSTREL_SETTINGS_DIR", "/tmp/lw-settings");
    EXPECT_EQ(programFolder(), "/tmp/lw-home");
    EXPECT_EQ(programFile("LiveData.txt"), "/tmp/lw-home/LiveData.txt");
    EXPECT_EQ(machineSettingsFile(), "/tmp/lw-settings/machine.ini");
    EXPECT_EQ(userSettingsFile(), "/tmp/lw-settings/user.ini");
    qunsetenv("OSTREL_SETTINGS_DIR");
    EXPECT_EQ(machineSettingsFile(), "/etc/ostrel/levelwatch.ini");
    qunsetenv("OSTREL_HOME");
}

TEST(Clock, ConvertsLocalDateTimes) {
    const QDateTime t(QDate(2026, 12, 9), QTime(14, 5, 9, 250));
    const double d = toDateTime(t);
    EXPECT_EQ(decodeDateTime(d), (CivilTime{2026, 12, 9, 14, 5, 9, 250}));
    EXPECT_EQ(fromDateTime(d), t);
    EXPECT_NEAR(SystemClock().now(), toDateTime(QDateTime::currentDateTime()), 1.0 / 86400);
}

TEST(LocaleFormats, EnglishAndGerman) {
    const Formats us = formatsFromLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(us.decimalSeparator, '.');
    EXPECT_EQ(us.shortDateFormat, "M/d/yyyy");
    EXPECT_EQ(us.shortMonthNames[11], "Dec");
    const double t = encodeDateTime({2026, 12, 9, 14, 5, 9, 0});
    EXPECT_EQ(formatTime(t, us), "2:05:09 PM");

    const Formats de = formatsFromLocale(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(de.decimalSeparator, ',');
    EXPECT_EQ(formatTime(t, de), "14:05:09");
}

// Start-up removes what these names match, so nothing but the temporary pattern may match.
TEST(AtomicFile, TemporaryNamesAreRecognisedAndNothingElse) {
    EXPECT_EQ(atomicTempName("/x/LastData-12.bin", 4711, 3, 0),
              std::filesystem::path("/x/.LastData-12.bin.tmp4711-3-0"));
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {".LastData-12.bin.tmp4711-3-0", "LastData-12.bin"},
        {".LastData.txt.tmp1-0-99", "LastData.txt"},
        {".a.tmp.b.tmp1-2-3", "a.tmp.b"},
        {"LastData.txt", std::nullopt},
        {"LastData.txt.tmp1-2-3", std::nullopt}, // not hidden
        {".LastData.txt.tmp1-2", std::nullopt},
        {".LastData.txt.tmp1-2-3-4", std::nullopt},
        {".LastData.txt.tmp1-x-3", std::nullopt},
        {".LastData.txt.tmp-2-3", std::nullopt},
        {".tmp1-2-3", std::nullopt},
        {".LastData.txt.swp", std::nullopt},
    };
    for (const auto& [name, target] : cases)
        EXPECT_EQ(atomicTempTarget(name), target) << name;
}
