// A file that another program rewrites: loaded when present, loaded again when its date
// changes, and not again after a failed load until it is rewritten.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <stdexcept>

#include "FileDate.h"
#include "FileWatch.h"
#include "QtFiles.h"

using namespace lw;
using lw::test::writeFile;

TEST(FileWatch, LoadsWhenTheDateChangesAndRetriesAFailureOnlyAfterARewrite) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Watched.txt");
    FileWatch watch(path);
    int loads = 0;
    const auto load = [&] { ++loads; };

    // No file: nothing to load.
    EXPECT_FALSE(watch.reloadIfChanged(load));
    EXPECT_FALSE(watch.loadedDate());

    const QDateTime t0(QDate(2026, 12, 9), QTime(14, 5, 9, 250));
    writeFile(path, "a", t0);
    EXPECT_TRUE(watch.reloadIfChanged(load));
    ASSERT_TRUE(watch.loadedDate());
    EXPECT_DOUBLE_EQ(*watch.loadedDate(), *FileDate(path));
    EXPECT_FALSE(watch.reloadIfChanged(load));
    EXPECT_EQ(loads, 1);

    // A rewrite within the same two seconds is still a change: the date keeps milliseconds.
    writeFile(path, "b", t0.addMSecs(500));
    EXPECT_TRUE(watch.reloadIfChanged(load));
    EXPECT_EQ(loads, 2);

    // A load that fails is not repeated for the same file.
    writeFile(path, "bad", t0.addSecs(10));
    EXPECT_THROW(watch.reloadIfChanged([] { throw std::runtime_error("unreadable"); }),
                 std::runtime_error);
    EXPECT_FALSE(watch.reloadIfChanged(load));
    writeFile(path, "good", t0.addSecs(20));
    EXPECT_TRUE(watch.reloadIfChanged(load));

    // Forgotten: loaded again, date or not. Removed: what was loaded stays.
    watch.forget();
    EXPECT_TRUE(watch.reloadIfChanged(load));
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_FALSE(watch.reloadIfChanged(load));
    EXPECT_EQ(loads, 4);
}
