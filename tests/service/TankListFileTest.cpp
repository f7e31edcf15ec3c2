// The monitor's tank list as the collector reads it: loaded again only when its date changes,
// and a version that cannot be read is reported once, with its line.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <stdexcept>

#include "QtFiles.h"
#include "TankListFile.h"

using namespace lw;

namespace {

class RecordingLog final : public LogSink {
public:
    void Log(std::string_view text, int level) override {
        if (level == 0)
            errors.emplace_back(text);
    }
    std::vector<std::string> errors;
};

void writeList(const QString& path, const QByteArray& rows, const QDateTime& modified) {
    lw::test::writeFile(path, "ID\tTankName\tStatus\r\n" + rows, modified);
}

} // namespace

TEST(TankListFile, ReloadsWhenItsDateChangesAndReportsAnUnreadableVersionOnce) {
    QTemporaryDir dir;
    const QString path = dir.filePath("LiveData.txt");
    RecordingLog log;
    TankListFile file(path, Formats::enUS(), log);
    EXPECT_THROW(file.tankList(), std::runtime_error);

    const QDateTime t0(QDate(2026, 12, 9), QTime(14, 5, 9));
    writeList(path, "1\tNorth\t0\r\n", t0);
    EXPECT_EQ(file.tankList()[0].TankName, "North");

    // Other contents under the same date are not looked at; a new date is.
    writeList(path, "1\tSouth\t0\r\n", t0);
    EXPECT_EQ(file.tankList()[0].TankName, "North");
    writeList(path, "1\tSouth\t0\r\n", t0.addSecs(1));
    EXPECT_EQ(file.tankList()[0].TankName, "South");

    writeList(path, "1\tWest\t0\r\n2\tEast\tx\r\n", t0.addSecs(2));
    EXPECT_THROW(file.tankList(), std::runtime_error);
    EXPECT_THROW(file.tankList(), std::runtime_error);
    EXPECT_EQ(log.errors, std::vector<std::string>{
                              "ERROR: LiveData.txt line 3: 'x' is not a valid integer value"});

    writeList(path, "1\tWest\t0\r\n", t0.addSecs(3));
    EXPECT_EQ(file.tankList()[0].TankName, "West");
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_THROW(file.tankList(), std::runtime_error);
}
