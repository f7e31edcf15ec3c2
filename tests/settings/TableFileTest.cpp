#include <gtest/gtest.h>

#include <limits>
#include <sys/stat.h>

#include "ChildProcess.h"
#include "DateTime.h"
#include "Files.h"
#include "HistRow.h"
#include "ScheduleRow.h"
#include "TableFile.h"
#include "TankTableFile.h"

using namespace lw;
using namespace lw::test;
namespace fs = std::filesystem;

namespace {

const std::string kTankHeader =
    "ID\tTankName\tStatus\tLevel\tVolume\tTemperature\tLevelBelow\tVolumeBelow\tLevelAbove\t"
    "VolumeAbove\tInput1\tInput2\tAlarm1\tAlarm2\tAlarm3\tAlarm4\tRelay1\tRelay2\tRelay3\tRelay4\t"
    "BatDisplay\tBatSender\tDateTime\tComType\tDispType\r\n";

TankRecord fullTank() {
    TankRecord r;
    r.ID = "12";
    r.TankName = "Tank 1";
    r.Status = 0;
    r.Level = 1234.5;
    r.Volume = 20000;
    r.Temperature = -3;
    r.LevelBelow = 0.0001;
    r.VolumeBelow = 1e-5;
    r.LevelAbove = 2.5e20;
    r.VolumeAbove = 123456789012345;
    r.Input1 = 4;
    r.Input2 = 0;
    r.Alarm1 = true;
    r.Alarm2 = false;
    r.Alarm3 = false;
    r.Alarm4 = true;
    r.Relay1 = false;
    r.Relay2 = true;
    r.Relay3 = false;
    r.Relay4 = false;
    r.BatDisplay = 100;
    r.BatSender = 50;
    r.DateTime = encodeDateTime({2026, 12, 9, 14, 5, 9, 0});
    r.ComType = 2;
    r.DispType = 19;
    return r;
}

class TableFileTest : public ::testing::Test {
protected:
    // Loads `text` as a tank table file; the rows the load left, and its error text if any.
    std::pair<std::vector<TankRecord>, std::string> loadTanks(std::string_view text,
                                                              const Formats& f = Formats::enUS()) {
        writeFile(dir / "in.txt", text);
        TankTable table;
        std::string error;
        try {
            loadTankTable(table, dir / "in.txt", f);
        } catch (const TableFileError& e) {
            error = e.what();
        }
        return {table.rows(), error};
    }

    const TempDir dir{"lw-tables"};
};

} // namespace

TEST_F(TableFileTest, TankTableRoundTripsInBothLocales) {
    TankRecord named;
    named.ID = "12";
    named.TankName = "Tank 1";
    TankRecord midnight;
    midnight.ID = "7";
    midnight.DateTime = encodeDateTime({2026, 12, 9});
    const TankTable table({fullTank(), named, TankRecord{}, midnight});

    for (const Formats& f : {Formats::enUS(), Formats::commaDecimal()}) {
        saveTankTable(table, dir / "LiveData.txt", f);
        TankTable loaded;
        loadTankTable(loaded, dir / "LiveData.txt", f);
        EXPECT_EQ(loaded.rows(), table.rows());
    }

    saveTankTable(table, dir / "LiveData.txt", Formats::enUS());
    EXPECT_EQ(readFile(dir / "LiveData.txt"),
              kTankHeader +
                  "12\tTank 1\t0\t1234.5\t20000\t-3\t0.0001\t1E-5\t2.5E20\t123456789012345\t4\t0\t"
                  "True\tFalse\tFalse\tTrue\tFalse\tTrue\tFalse\tFalse\t100\t50\t"
                  "12/9/2026 2:05:09 PM\t2\t19\r\n"
                  "12\tTank 1" +
                  std::string(23, '\t') + "\r\n" + std::string(24, '\t') +
                  "\r\n"
                  "7" +
                  std::string(22, '\t') + "12/9/2026\t\t\r\n");
    saveTankTable(table, dir / "LiveData.txt", Formats::commaDecimal());
    EXPECT_NE(readFile(dir / "LiveData.txt").find("\t1234,5\t"), std::string::npos);

    saveTankTable(TankTable{}, dir / "Empty.txt", Formats::enUS());
    EXPECT_EQ(readFile(dir / "Empty.txt"), kTankHeader);
}

TEST_F(TableFileTest, HeaderNamesAreMatchedByName) {
    // Columns in another order, one unknown, the rest missing; short lines leave the remaining
    // columns empty; line ends of every kind, and a byte-order mark.
    const auto [rows, error] = loadTanks("\xEF\xBB\xBFTankName\tColour\tID\tLevel\r\n"
                                         "North\tred\t12\t1,5\n"
                                         "South\tblue\t13\r"
                                         "\r\n"
                                         "West",
                                         Formats::commaDecimal());
    EXPECT_EQ(error, "");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].TankName, "North");
    EXPECT_EQ(rows[0].ID, "12");
    EXPECT_EQ(rows[0].Level, 1.5);
    EXPECT_EQ(rows[0].Relay1, std::nullopt);
    EXPECT_EQ(rows[1].ID, "13");
    EXPECT_EQ(rows[1].Level, std::nullopt);
    EXPECT_EQ(rows[2], TankRecord{}); // an empty line is a row of empty values
    EXPECT_EQ(rows[3].TankName, "West");
}

TEST_F(TableFileTest, TextsAreCutToTheColumnWidth) {
    const auto [rows, error] =
        loadTanks("ID\tTankName\n123456\tA tank name of thirty chars\n1\tÄÖÜ tank with umlauts…\n");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].ID, "12345");
    EXPECT_EQ(rows[0].TankName, "A tank name of thirt");
    EXPECT_EQ(rows[1].TankName, "ÄÖÜ tank with umlaut"); // characters, not bytes

    // The collector's own table keeps the whole ID the units report.
    TankTable whole;
    loadTankTable(whole, dir / "in.txt", Formats::enUS(), TankIds::Whole);
    EXPECT_EQ(whole[0].ID, "123456");
}

TEST_F(TableFileTest, HeaderThatNamesNoColumnIsNoTableOfOurs) {
    TankTable table({fullTank()});
    writeFile(dir / "in.txt", "7\t\t0\t1.5\r\n8\t\t0\t2.5\r\n");
    try {
        loadTankTable(table, dir / "in.txt", Formats::enUS());
        ADD_FAILURE() << "loaded";
    } catch (const TableFileError& e) {
        EXPECT_EQ(e.line(), 1);
        EXPECT_EQ(e.reason(), kNoKnownColumn);
    }
    EXPECT_EQ(table.size(), 0);
}

// The monitor and the service may run in different locales: each reads what the other wrote.
TEST_F(TableFileTest, DateTimesReadInTwelveAndTwentyFourHourFormsWhateverTheLocale) {
    Formats dotted = Formats::commaDecimal();
    dotted.longTimeFormat = "HH:mm:ss";
    dotted.timeSeparator = '.';
    Formats german = Formats::commaDecimal();
    german.amText = "vorm.";
    german.pmText = "nachm.";
    const double afternoon = encodeDateTime({2026, 12, 9, 14, 5, 9});
    const double afterMidnight = encodeDateTime({2026, 12, 9, 0, 5, 9});
    const struct {
        const char* reader;
        const Formats& f;
        const char* text;
        double value;
    } cases[] = {
        {"en-US", Formats::enUS(), "12/9/2026 2:05:09 PM", afternoon},
        {"en-US", Formats::enUS(), "12/9/2026 14:05:09", afternoon},
        {"en-US", Formats::enUS(), "12/9/2026 00:05:09", afterMidnight},
        {"24-hour", german, "12/9/2026 14:05:09", afternoon},
        {"24-hour", german, "12/9/2026 2:05:09 PM", afternoon},
        {"24-hour", german, "12/9/2026 12:05:09 AM", afterMidnight},
        {"24-hour", german, "12/9/2026 2:05:09 nachm.", afternoon},
        {"dotted", dotted, "12/9/2026 14.05.09", afternoon},
        {"dotted", dotted, "12/9/2026 2:05:09 pm", afternoon},
    };
    for (const auto& c : cases) {
        const auto [rows, error] = loadTanks(std::string("ID\tDateTime\n1\t") + c.text + "\n", c.f);
        ASSERT_EQ(error, "") << c.reader << ": " << c.text;
        EXPECT_EQ(rows.at(0).DateTime, c.value) << c.reader << ": " << c.text;
    }
    const auto [rows, error] = loadTanks("ID\tDateTime\n1\t12/9/2026 14:05:09 PM\n");
    EXPECT_EQ(error, "line 2: '12/9/2026 14:05:09 PM' is not a valid date and time");

    // The schedule's time of day too.
    writeFile(dir / "Email.txt", "Email\tDataType\tTime\r\na@b.c\t1\t2:05:09 PM\r\n");
    Table<ScheduleRow> schedule;
    loadSchedule(schedule, dir / "Email.txt", german);
    ASSERT_EQ(schedule->size(), 1u);
    EXPECT_NEAR(*schedule->at(0).Time, 14.0 / 24 + 5.0 / 1440 + 9.0 / 86400, 1e-9);
}

TEST_F(TableFileTest, NoValueCanBreakTheFile) {
    // Tabs and line breaks in a text would split the row; a date-time no text can show (as a
    // garbled relay block may carry) would not read back.
    TankRecord r;
    r.ID = "1";
    r.TankName = "A\tB\r\nC";
    r.DateTime = 1e300;
    TankRecord nan;
    nan.ID = "2";
    nan.DateTime = std::numeric_limits<double>::quiet_NaN();
    saveTankTable(TankTable({r, nan}), dir / "t.txt", Formats::enUS());
    TankTable loaded;
    loadTankTable(loaded, dir / "t.txt", Formats::enUS());
    ASSERT_EQ(loaded.size(), 2);
    EXPECT_EQ(loaded[0].TankName, "A B  C");
    EXPECT_EQ(loaded[0].DateTime, std::nullopt);
    EXPECT_EQ(loaded[1].DateTime, std::nullopt);
}

TEST_F(TableFileTest, LineWithTooManyValuesFailsAfterTheOthersAreIn) {
    const std::string header = "ID\tTankName\tStatus\n";
    const auto [rows, error] = loadTanks(header + "1\tA\t0\n2\tB\t0\textra\n3\tC\t0\n");
    EXPECT_EQ(error, "line 3: Invalid stream format");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].ID, "1");
    EXPECT_EQ(rows[1].ID, "3");

    // A full tank line with a 26th value under the 25 names.
    saveTankTable(TankTable({fullTank()}), dir / "full.txt", Formats::enUS());
    std::string text = readFile(dir / "full.txt");
    text.insert(text.size() - 2, "\tX");
    const auto [rows26, error26] = loadTanks(text + "13\r\n");
    EXPECT_EQ(error26, "line 2: Invalid stream format");
    ASSERT_EQ(rows26.size(), 1u);
    EXPECT_EQ(rows26[0].ID, "13");
}

TEST_F(TableFileTest, ConversionErrorStopsTheLoadKeepingEarlierRows) {
    struct Case {
        const char* value;
        const char* column;
        const char* error; // empty: converts
    } cases[] = {
        {"12", "Status", ""},
        {"1x", "Status", "line 3: '1x' is not a valid integer value"},
        {"1.5", "Level", ""},
        {"1,5", "Level", "line 3: '1,5' is not a valid floating point value"},
        {"f", "Alarm1", ""},
        {"FaLs", "Alarm1", ""},
        {"TRUE", "Alarm1", ""},
        {"t", "Alarm1", ""},
        {"falsey", "Alarm1", "line 3: 'falsey' is not a valid boolean value"},
        {"yes", "Alarm1", "line 3: 'yes' is not a valid boolean value"},
        {"12/9/2026", "DateTime", ""},
        {"12/9/2026 2:05:09 PM", "DateTime", ""},
        {"9.12.2026", "DateTime", "line 3: '9.12.2026' is not a valid date and time"},
    };
    for (const Case& c : cases) {
        const auto [rows, error] =
            loadTanks(std::string("ID\t") + c.column + "\n1\t\n2\t" + c.value + "\n3\t\n");
        EXPECT_EQ(error, c.error) << c.value;
        EXPECT_EQ(rows.size(), *c.error ? 1u : 3u) << c.value;
    }
    const auto [rows, error] = loadTanks("ID\tAlarm1\tAlarm2\n1\tf\tTr\n");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].Alarm1, false);
    EXPECT_EQ(rows[0].Alarm2, true);
}

TEST_F(TableFileTest, FileWithoutLinesChangesNothing) {
    writeFile(dir / "empty.txt", "");
    TankTable table({fullTank()});
    loadTankTable(table, dir / "empty.txt", Formats::enUS());
    EXPECT_EQ(table.size(), 1);

    Table<ScheduleRow> closed;
    loadSchedule(closed, dir / "empty.txt", Formats::enUS());
    ASSERT_TRUE(closed);
    EXPECT_TRUE(closed->empty());

    // A header alone empties the table.
    writeFile(dir / "header.txt", kTankHeader);
    loadTankTable(table, dir / "header.txt", Formats::enUS());
    EXPECT_EQ(table.size(), 0);
}

TEST_F(TableFileTest, ScheduleRoundTripsAndAClosedOneSavesNothing) {
    ScheduleRow daily;
    daily.Email = std::string(120, 'a');
    daily.DataType = 1;
    daily.Time = encodeDateTime({1899, 12, 30, 7, 30, 0, 0});
    daily.TankIDs = "12,13";
    daily.LastSent = encodeDateTime({2026, 12, 9, 7, 30, 5, 0});
    Table<ScheduleRow> table = std::vector<ScheduleRow>{daily, ScheduleRow{}};
    saveSchedule(table, dir / "Email.txt", Formats::enUS());
    EXPECT_EQ(readFile(dir / "Email.txt"),
              "Email\tDataType\tTime\tTankIDs\tLastSent\r\n" + std::string(120, 'a') +
                  "\t1\t7:30:00 AM\t12,13\t12/9/2026 7:30:05 AM\r\n\t\t\t\t\r\n");

    Table<ScheduleRow> loaded;
    loadSchedule(loaded, dir / "Email.txt", Formats::enUS());
    daily.Email = std::string(100, 'a');
    EXPECT_EQ(loaded, (std::vector<ScheduleRow>{daily, ScheduleRow{}}));

    const Table<ScheduleRow> closed;
    saveSchedule(closed, dir / "Closed.txt", Formats::enUS());
    EXPECT_FALSE(fs::exists(dir / "Closed.txt"));
}

TEST_F(TableFileTest, HistoryFilesLoadIntoTheReportTable) {
    // An ordinary tank's 7-field rows and an interface tank's 11-field row under the 11 names;
    // the time column is 24-hour whatever the locale's long time format.
    writeFile(dir / "h.txt", "DateTime\tStatus\tLevel\tVolume\tTemperature\tInput1\tInput2\t"
                             "LevelBelow\tVolumeBelow\tLevelAbove\tVolumeAbove\r\n"
                             "12/09/2026 14:05:09\t0\t1234.5\t20000\t-3\t4\t0\r\n"
                             "12/09/2026 23:59:59\t0\t1\t2\t3\t4\t5\t6\t7\t8\t9\r\n");
    std::vector<HistRow> rows;
    loadHistoryFile(rows, dir / "h.txt", Formats::enUS());
    ASSERT_EQ(rows.size(), 2u);
    HistRow first;
    first.DateTime = encodeDateTime({2026, 12, 9, 14, 5, 9, 0});
    first.Level = 1234.5;
    first.Volume = 20000;
    first.Temperature = -3;
    first.Input1 = 4;
    first.Input2 = 0;
    EXPECT_EQ(rows[0], first);
    EXPECT_EQ(rows[1].DateTime, encodeDateTime({2026, 12, 9, 23, 59, 59, 0}));
    EXPECT_EQ(rows[1].VolumeAbove, 9);
}

TEST_F(TableFileTest, UnicodeFilesWithAByteOrderMarkAreRead) {
    // "ID<tab>TankName<CR><LF>7<tab>Tänk 𝄞" in UTF-16 little-endian.
    const std::u16string text = u"ID\tTankName\r\n7\tT\u00e4nk \U0001D11E";
    std::string bytes = "\xFF\xFE";
    for (const char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    const auto [rows, error] = loadTanks(bytes);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].TankName, "T\u00e4nk \U0001D11E");
}

TEST_F(TableFileTest, FailedSaveLeavesTheOldFile) {
    const fs::path file = dir / "LastData.txt";
    saveTankTable(TankTable({fullTank()}), file, Formats::enUS());
    ::chmod(file.c_str(), 0640);
    const std::string before = readFile(file);

    // The save replaces the file and keeps its permissions.
    saveTankTable(TankTable({fullTank(), fullTank()}), file, Formats::enUS());
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // A folder in the file's place cannot be replaced: the save fails and leaves no litter.
    fs::create_directory(dir / "Busy.txt");
    writeFile(dir / "Busy.txt" / "keep", "x");
    EXPECT_THROW(saveTankTable(TankTable({fullTank()}), dir / "Busy.txt", Formats::enUS()),
                 fs::filesystem_error);
    EXPECT_THROW(saveTankTable(TankTable{}, dir / "missing" / "x.txt", Formats::enUS()),
                 fs::filesystem_error);
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir))
        ++entries;
    EXPECT_EQ(entries, 2); // LastData.txt and Busy.txt
    TankTable table;
    EXPECT_THROW(loadTankTable(table, dir / "missing.txt", Formats::enUS()), fs::filesystem_error);
}

TEST_F(TableFileTest, ConcurrentReaderNeverSeesATornFile) {
    const fs::path file = dir / "LastData.txt";
    const fs::path stop = dir / "stop";
    constexpr int kRows = 200;
    auto tableOf = [](int generation) {
        std::vector<TankRecord> rows(kRows, fullTank());
        for (TankRecord& r : rows)
            r.Level = generation;
        return TankTable(std::move(rows));
    };
    saveTankTable(tableOf(0), file, Formats::enUS());

    ChildProcess probe({LEVELWATCH_BIN_DIR "/tablefile_probe", file.string(), std::to_string(kRows),
                        stop.string()},
                       {.output = ChildOutput::Piped});

    // Both kinds of save: flushed (operator's tables) and atomic only (the collector's per-frame
    // table) must look whole to a reader.
    for (int generation = 1; generation <= 3000; ++generation)
        saveTankTable(tableOf(generation), file, Formats::enUS(),
                      generation % 2 ? Durability::Atomic : Durability::Flushed);
    writeFile(stop, "");

    const std::string report = probe.readToEnd();
    EXPECT_EQ(probe.waitExit(kWaitMs), 0) << report;
    EXPECT_NE(report.find("torn=0"), std::string::npos) << report;
}
