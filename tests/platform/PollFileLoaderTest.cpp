// The service's poll list file: loaded when present, loaded again when its date changes.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include "FileDate.h"
#include "PollFileLoader.h"

using namespace lw;

namespace {

void writeFile(const QString& path, const QByteArray& bytes, const QDateTime& modified) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    ASSERT_TRUE(f.flush()); // before the time is set, or the write would set it again
    ASSERT_TRUE(f.setFileTime(modified, QFileDevice::FileModificationTime));
}

std::vector<int> addresses(const PollList& list) {
    std::vector<int> out;
    for (int i = 1; i <= list.count(); ++i)
        out.push_back(list.entry(i).ID);
    return out;
}

} // namespace

TEST(PollFileLoader, ReloadsOnlyWhenTheDateChanges) {
    QTemporaryDir dir;
    const QString path = dir.filePath(kPollListFileName);
    PollList list;
    list.load("4\r\n");
    PollFileLoader loader(list, path);

    // No file: nothing is loaded and the list stays.
    EXPECT_FALSE(loader.SetupPollModbus());
    EXPECT_FALSE(loader.reloadIfChanged());
    EXPECT_EQ(addresses(list), (std::vector<int>{4}));
    EXPECT_FALSE(FileDate(path));

    const QDateTime t0(QDate(2026, 12, 9), QTime(14, 5, 9, 250));
    writeFile(path, "3\r\n12\r\n255\r\n", t0);
    EXPECT_TRUE(loader.reloadIfChanged());
    EXPECT_EQ(addresses(list), (std::vector<int>{3, 12, 255}));
    ASSERT_TRUE(loader.PollFileDate());
    EXPECT_DOUBLE_EQ(*loader.PollFileDate(), *FileDate(path));
    EXPECT_FALSE(loader.reloadIfChanged());

    // A rewrite within the same two seconds is still a change: the date keeps milliseconds.
    writeFile(path, "7\r\n", t0.addMSecs(500));
    EXPECT_TRUE(loader.reloadIfChanged());
    EXPECT_EQ(addresses(list), (std::vector<int>{7}));

    // The file removed: the service keeps polling what it has.
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_FALSE(loader.reloadIfChanged());
    EXPECT_EQ(addresses(list), (std::vector<int>{7}));
}
