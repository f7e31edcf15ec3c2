// The historical and the monthly report windows, opened from the main window's menu on
// history files written by the history writer, and the headless export as a process.

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTableView>

#include "BandedHeader.h"
#include "ChildProcess.h"
#include "DateTime.h"
#include "HistReport1.h"
#include "HistoryFile.h"
#include "LiveGrid.h"
#include "MainMenus.h"
#include "MonitorFixture.h"
#include "MonthlyReport1.h"
#include "SelectCol.h"
#include "TrendPanel.h"

using namespace lw;
using namespace lw::test;

namespace {

const Ini kNoService{{"TCPIPInfo", {{"Address", "127.0.0.1"}, {"Port", "1"}}}};

double at(int month, int day, int hour = 0, int minute = 0) {
    return encodeDateTime({2026, month, day, hour, minute, 0, 0});
}

TankRecord reading(double level, double temperature, double input1) {
    TankRecord r;
    r.Status = 0;
    r.Level = level;
    r.Volume = level * 100;
    r.Temperature = temperature;
    r.Input1 = input1;
    r.Input2 = 0;
    return r;
}

// The text of a PDF's pages.
QString pdfText(const QString& pdf) {
    QProcess text;
    text.start("pdftotext", {"-layout", pdf, "-"});
    text.waitForFinished(20000);
    return QString::fromUtf8(text.readAllStandardOutput());
}

// Prints the preview's document to `pdf`.
int printTo(QDialog& d, const QString& pdf) {
    auto& preview = dynamic_cast<QPrintPreviewDialog&>(d);
    preview.printer()->setOutputFormat(QPrinter::PdfFormat);
    preview.printer()->setOutputFileName(pdf);
    preview.findChild<QPrintPreviewWidget*>()->print();
    return QDialog::Accepted;
}

std::vector<int> shownColumns(const QTableView& grid) {
    std::vector<int> shown;
    for (int c = 0; c < grid.model()->columnCount(); ++c)
        if (!grid.isColumnHidden(c))
            shown.push_back(c);
    return shown;
}

class ReportWindowTest : public MonitorTest {
protected:
    void SetUp() override {
        MonitorTest::SetUp();
        writeUser(kNoService);
        writeLiveData({"007\tNorth\t0", "12\t\t0"});
    }
    void write(uint32_t tank, double time, const TankRecord& r, bool isInterface = false) {
        ASSERT_TRUE(
            HistoryFile(fsPath(home()), Formats::enUS()).append(r, tank, isInterface, time));
    }
    // Opens the report from the menu; `inside` runs while it is shown, then it closes. The
    // dialogs it opens are answered by `inner`.
    void openReport(QAction* entry, ReportWindow& report, const std::function<void()>& inside) {
        dialogs.answer = [&](QDialog& d) -> int {
            if (&d != &report)
                return inner ? inner(d) : QDialog::Rejected;
            inside();
            return QDialog::Accepted;
        };
        entry->trigger();
        dialogs.answer = nullptr;
    }
    // Answers the column dialog with only `box` checked.
    void chooseOnly(int box) {
        inner = [box](QDialog& d) -> int {
            auto* select = dynamic_cast<SelectColForm*>(&d);
            if (!select)
                return QDialog::Rejected;
            ReportFlagStates states{};
            states[static_cast<size_t>(box)] = true;
            select->setStates(states);
            return QDialog::Accepted;
        };
    }

    std::function<int(QDialog&)> inner;
};

TEST_F(ReportWindowTest, TheHistoryReportOpensOnTheFocusedTanksDayAndKeepsItsColumnChoice) {
    write(7, at(12, 9, 8), reading(10, 5, 3));
    write(7, at(12, 9, 9), reading(12.5, 6, 7));
    LevelwatchForm& w = start();
    w.trend().setDate(at(12, 9));
    HistReport& report = w.histReport();
    openReport(w.menus().HistReport, report, [&] {
        EXPECT_EQ(report.windowTitle(), "History Report");
        EXPECT_EQ(report.TankBox().count(), 2);
        EXPECT_EQ(report.TankBox().itemText(0), "007");
        EXPECT_EQ(report.tankText(), "7"); // the focused 007 as its files name it
        EXPECT_EQ(report.DateEdit().date(), QDate(2026, 12, 9));
        ASSERT_EQ(report.HistData().rowCount(), 2);
        EXPECT_EQ(report.HistData().index(1, 1).data().toString(), "12.5");
        EXPECT_EQ(report.HistData().index(0, 0).data().toString(), "12/9/2026 8:00:00 AM");
        EXPECT_EQ(shownColumns(report.grid()), (std::vector<int>{0, 1, 2, 3}));
        EXPECT_EQ(report.HistData().headerData(5, Qt::Horizontal).toString(), "Vol Below");

        // Choosing 007 from the list looks for the file named 007: there is none.
        report.TankBox().setCurrentIndex(0);
        EXPECT_EQ(report.HistData().rowCount(), 0);
        report.TankBox().setEditText("1"); // typing: a partial ID shows nothing yet
        EXPECT_EQ(report.HistData().rowCount(), 0);
        report.TankBox().setEditText("7");
        EXPECT_EQ(report.HistData().rowCount(), 2);
        report.DateEdit().setDate(QDate(2026, 12, 10));
        EXPECT_EQ(report.HistData().rowCount(), 0);
        EXPECT_EQ(report.errorText(), "");

        chooseOnly(1); // Level
        report.ColumnsClick();
        EXPECT_EQ(w.selectCol().box(0).text(), "Date/Time");
        EXPECT_EQ(shownColumns(report.grid()), (std::vector<int>{1}));
    });
    const QString ini = userIni();
    EXPECT_TRUE(ini.contains("ShowHistLevel=1"));
    for (const char* hidden : {"ShowHistDate=0", "ShowHistVolume=0", "ShowHistTemp=0",
                               "ShowHistLevelAbove=0", "ShowHistInput2=0"})
        EXPECT_TRUE(ini.contains(hidden)) << hidden;

    // The next opening reads them again.
    window.reset();
    LevelwatchForm& again = start();
    openReport(again.menus().HistReport, again.histReport(),
               [&] { EXPECT_EQ(shownColumns(again.histReport().grid()), (std::vector<int>{1})); });
}

TEST_F(ReportWindowTest, TheMonthlyReportShowsEachDaysTrueMinimaAndMaximaUnderItsBands) {
    for (const int day : {1, 2, 15}) {
        write(7, at(12, day, 8), reading(10, -5, 3));
        write(7, at(12, day, 9), reading(12.5, -2, 7));
        write(7, at(12, day, 10), reading(11, -3, 5));
    }
    LevelwatchForm& w = start();
    w.trend().setDate(at(12, 20));
    MonthlyReport& report = w.monthlyReport();
    openReport(w.menus().MonthlyReport, report, [&] {
        const auto& m = report.MonthData();
        ASSERT_EQ(m.rowCount(), 3);
        EXPECT_EQ(m.index(2, 0).data().toString(), "12/15/2026");
        const std::vector<QString> day{"12/1/2026", "10", "12.5", "1000", "1250", "-5", "-2",
                                       "",          "",   "",     "",     "",     "",   "",
                                       "",          "3",  "7",    "0",    "0"};
        for (int c = 0; c < m.columnCount(); ++c)
            EXPECT_EQ(m.index(0, c).data().toString(), day[static_cast<size_t>(c)]) << c;
        const auto& bands = dynamic_cast<BandedHeader&>(*report.grid().horizontalHeader()).bands();
        ASSERT_EQ(bands.size(), 9u);
        EXPECT_EQ(bands[1].caption, "Vol");
        EXPECT_EQ(report.grid().columnWidth(1) + report.grid().columnWidth(2), 100);
        EXPECT_EQ(shownColumns(report.grid()), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));

        // A day the reader rejects stops the load there, and says so on the window.
        writeFile(file("2026Dec02-7.txt"), "DateTime\tLevel\r\n12/02/2026 08:00:00\tx\r\n");
        report.DateEdit().setDate(QDate(2026, 12, 21)); // the same month: the same files
        EXPECT_EQ(m.rowCount(), 1);
        EXPECT_EQ(report.errorText(),
                  "2026Dec02-7.txt line 2: 'x' is not a valid floating point value");

        chooseOnly(0);
        report.ColumnsClick();
        EXPECT_EQ(w.selectCol().box(0).text(), "Date");
        EXPECT_EQ(shownColumns(report.grid()), (std::vector<int>{0}));
    });
    EXPECT_TRUE(userIni().contains("ShowMonthlyLevel=0"));
    EXPECT_TRUE(userIni().contains("ShowMonthlyDate=1"));
}

TEST_F(ReportWindowTest, WithoutANumericFocusedTankAReportOpensWithAnEmptyTankBox) {
    writeLiveData({"A1\tBy hand\t0"});
    LevelwatchForm& w = start();
    bool opened = false;
    openReport(w.menus().MonthlyReport, w.monthlyReport(), [&] {
        opened = true;
        EXPECT_EQ(w.monthlyReport().tankText(), "");
        EXPECT_EQ(w.monthlyReport().MonthData().rowCount(), 0);
    });
    EXPECT_TRUE(opened);
    window.reset();
    QFile::remove(file("LiveData.txt"));
    LevelwatchForm& empty = start();
    openReport(empty.menus().HistReport, empty.histReport(),
               [&] { EXPECT_EQ(empty.histReport().TankBox().count(), 0); });
}

TEST_F(ReportWindowTest, AnUnreadableSettingsFileIsSaidAndTheFlagsStayAsTheyWere) {
    LevelwatchForm& w = start();
    openReport(w.menus().HistReport, w.histReport(), [] {});
    ASSERT_TRUE(dialogs.messages.isEmpty());
    chooseOnly(2);
    openReport(w.menus().HistReport, w.histReport(), [&] { w.histReport().ColumnsClick(); });
    // A line the store would misread: the flags are not read, the ones in use stay.
    writeFile(settings() + "/user.ini", userIni().toUtf8() + "# a note\n");
    openReport(w.menus().HistReport, w.histReport(),
               [&] { EXPECT_EQ(shownColumns(w.histReport().grid()), (std::vector<int>{2})); });
    EXPECT_EQ(dialogs.messages,
              QStringList{"Could not read Windows Registry. Check user permissions."});
}

TEST_F(ReportWindowTest, AReportPrintsItsTitleAndOnlyItsShownColumns) {
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is missing";
    write(12, at(12, 9, 8), reading(10, 5, 3));
    LevelwatchForm& w = start();
    w.grid().focusRow(1);
    w.trend().setDate(at(12, 9));
    const QString pdf = inDir("report.pdf");
    openReport(w.menus().HistReport, w.histReport(), [&] {
        inner = [&](QDialog& d) {
            auto& preview = dynamic_cast<QPrintPreviewDialog&>(d);
            EXPECT_EQ(preview.printer()->pageLayout().orientation(), QPageLayout::Landscape);
            EXPECT_EQ(preview.printer()->pageLayout().pageSize().id(), QPageSize::Letter);
            EXPECT_EQ(preview.printer()->creator(), "Ostrel Levelwatch");
            return printTo(d, pdf);
        };
        w.histReport().PrintClick();
    });
    const QString page = pdfText(pdf);
    for (const char* shown : {"12-Dec 09 2026", "Date Time", "Level", "Volume", "Temp",
                              "12/9/2026 8:00:00 AM", "1000", "Page 1 of 1"})
        EXPECT_TRUE(page.contains(shown)) << shown << "\n" << page.toStdString();
    for (const char* hidden : {"Below", "Above", "Input"})
        EXPECT_FALSE(page.contains(hidden)) << hidden;
}

TEST(ReportExportProcess, PrintsTheReportWithoutADisplay) {
    const TempDir dir{"lw-export-process"};
    HistoryFile(dir, Formats::enUS()).append(reading(10, 5, 3), 7, false, at(12, 9, 8));
    // An X11 platform without a display: a program that opened a window could not start.
    const std::map<std::string, std::string> env{{"OSTREL_HOME", dir.path().string()},
                                                 {"QT_QPA_PLATFORM", "xcb"},
                                                 {"DISPLAY", ""},
                                                 {"LC_ALL", "C"}};
    const RunResult ok = runToEnd({LEVELWATCH_BIN_DIR "/Levelwatch", "--export", "history",
                                   "--tank", "7", "--date", "2026-12-09"},
                                  env, ChildOutput::Piped);
    EXPECT_EQ(ok.exitCode, 0);
    EXPECT_EQ(ok.output, "DateTime,Level,Volume,Temperature,LevelBelow,VolumeBelow,LevelAbove,"
                         "VolumeAbove,Input1,Input2\r\n12/9/2026 8:00:00 AM,10,1000,5,,,,,3,0\r\n");
    const RunResult bad = runToEnd(
        {LEVELWATCH_BIN_DIR "/Levelwatch", "--export", "history", "--tank", "7", "--date", "x"},
        env, ChildOutput::PipedWithErrors);
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.output.find("'x' is no date of the form YYYY-MM-DD"), std::string::npos)
        << bad.output;
}

} // namespace
