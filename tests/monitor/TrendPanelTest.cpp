// The trend chart in the main window: which tank-day it shows and when it reloads, its series
// following the grid's toggles, zoom and scroll on a busy day, and its printout.

#include <QAction>
#include <QApplication>
#include <QDateTimeAxis>
#include <QElapsedTimer>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMenu>
#include <QMouseEvent>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QValueAxis>

#include "DateTime.h"
#include "DetailForm.h"
#include "HistoryFile.h"
#include "LiveGrid.h"
#include "MainMenus.h"
#include "MonitorFixture.h"
#include "TrendChart.h"
#include "TrendPanel.h"

using namespace lw;
using namespace lw::test;

namespace {

const Ini kNoService{{"TCPIPInfo", {{"Address", "127.0.0.1"}, {"Port", "1"}}}};
constexpr double kSecond = 1.0 / 86400;
const double kDay = encodeDateTime({2026, 12, 9});

TankRecord reading(double level) {
    TankRecord r;
    r.Status = 0;
    r.Level = level;
    r.Volume = level * 100;
    r.Temperature = 15;
    r.Input1 = 1;
    r.Input2 = 0;
    return r;
}

QAction& toggle(LevelwatchForm& w, std::string_view item) {
    for (QAction* a : w.menus().columnToggles)
        if (a->objectName().toStdString() == item)
            return *a;
    throw std::runtime_error("no toggle " + std::string(item));
}

qint64 spanMs(const TrendChart& chart) {
    return chart.axisX().min().msecsTo(chart.axisX().max());
}

void mouse(TrendChart& chart, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held,
           QPoint at) {
    QMouseEvent event(type, at, chart.viewport()->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(chart.viewport(), &event);
}

class TrendPanelTest : public MonitorTest {
protected:
    void SetUp() override {
        MonitorTest::SetUp();
        writeUser(kNoService);
        writeLiveData({"12\tNorth\t0", "13\t\t0"});
    }
    // Rows every `stepSeconds` from `fromHour` to `toHour` on the test day.
    void writeDay(uint32_t tank, int fromHour, int toHour, int stepSeconds) {
        const HistoryFile history(fsPath(home()), Formats::enUS());
        for (int s = fromHour * 3600; s <= toHour * 3600; s += stepSeconds)
            ASSERT_TRUE(history.append(reading(100 + s % 7), tank, false, kDay + s * kSecond));
    }
    QString dayFile(uint32_t tank) const {
        return file(
            QString::fromStdString(historyFileName(kDay, std::to_string(tank), Formats::enUS())));
    }
    LevelwatchForm& startOnTheDay() {
        LevelwatchForm& w = start();
        w.resize(1100, 600);
        w.show(); // the chart's width decides how many points it draws
        w.trend().setDate(kDay);
        return w;
    }
};

TEST_F(TrendPanelTest, TheFocusedTanksDayLoadsAndADayWithoutAFileFillsWithinASecond) {
    writeDay(12, 8, 9, 600);
    LevelwatchForm& w = startOnTheDay();
    TrendPanel& trend = w.trend();
    EXPECT_EQ(trend.tankLabel(), "12 - North");
    EXPECT_FALSE(trend.ChartUpdate());
    EXPECT_EQ(trend.chart().dayPoints(TrendSeries::Level).size(), 7u);
    EXPECT_EQ(trend.chart().series(TrendSeries::Level).count(), 7);
    EXPECT_EQ(trend.CheckChartUpdateTimer().interval(), 1000);

    // Tank 13 has no file yet: an empty chart, and the reload stays pending until there is one.
    w.grid().focusRow(1);
    EXPECT_EQ(trend.tankLabel(), "13");
    EXPECT_TRUE(trend.ChartUpdate());
    ASSERT_TRUE(waitFor([&] { return trend.chart().series(TrendSeries::Level).count() == 0; }));
    EXPECT_TRUE(trend.ChartUpdate());
    writeDay(13, 10, 10, 60);
    QElapsedTimer since;
    since.start();
    ASSERT_TRUE(waitFor([&] { return trend.chart().series(TrendSeries::Level).count() == 1; }));
    EXPECT_LT(since.elapsed(), 1500);
    EXPECT_FALSE(trend.ChartUpdate());
    // Loaded once: a later row shows at the next change of the tank or the date.
    writeDay(13, 11, 11, 60);
    w.grid().focusRow(0);
    w.grid().focusRow(1);
    EXPECT_TRUE(waitFor([&] { return trend.chart().series(TrendSeries::Level).count() == 2; }));
}

TEST_F(TrendPanelTest, AFailedLoadIsTriedOnceMoreAndASecondFailureIsSaidAndStaysPending) {
    writeDay(12, 8, 8, 60);
    const QString day = dayFile(12);
    QFile::rename(day, day + ".real");
    QDir().mkdir(day); // the file cannot be read at first
    LevelwatchForm& w = start();
    int waits = 0;
    w.trend().setRetryWait([&] {
        ++waits;
        QDir().rmdir(day);
        QFile::rename(day + ".real", day);
    });
    w.trend().setDate(kDay);
    EXPECT_EQ(waits, 1);
    EXPECT_FALSE(w.trend().ChartUpdate());
    EXPECT_EQ(w.trend().chart().series(TrendSeries::Level).count(), 1);

    // Both attempts fail: the error on the status line and once in the Detail window.
    w.trend().setRetryWait([] {});
    writeFile(day, "DateTime\tLevel\r\n12/09/2026 08:00:00\tx\r\n");
    w.grid().focusRow(1);
    w.grid().focusRow(0);
    w.trend().LoadChart();
    EXPECT_TRUE(w.trend().ChartUpdate());
    EXPECT_TRUE(w.statusLine().contains("line 2: 'x' is not a valid floating point value"))
        << w.statusLine().toStdString();
    EXPECT_EQ(w.detail().text().count("'x' is not a valid"), 1);
}

TEST_F(TrendPanelTest, TheSeriesFollowTheGridsColumnToggles) {
    writeDay(12, 8, 9, 600);
    LevelwatchForm& w = startOnTheDay();
    TrendChart& chart = w.trend().chart();
    // The defaults: level, volume and temperature shown.
    EXPECT_TRUE(chart.series(TrendSeries::Level).isVisible());
    EXPECT_TRUE(chart.series(TrendSeries::Temperature).isVisible());
    EXPECT_FALSE(chart.series(TrendSeries::Input1).isVisible());
    toggle(w, "VolCol").trigger();
    toggle(w, "Input1Col").trigger();
    EXPECT_FALSE(chart.series(TrendSeries::Volume).isVisible());
    EXPECT_FALSE(
        chart.chart()->legend()->markers(&chart.series(TrendSeries::Volume))[0]->isVisible());
    EXPECT_TRUE(chart.series(TrendSeries::Input1).isVisible());
    EXPECT_EQ(chart.series(TrendSeries::Input1).count(), 7);
    EXPECT_EQ(chart.series(TrendSeries::Input1).name(), "Input1");
    EXPECT_EQ(chart.series(TrendSeries::Input1).color(), QColor(0xB3, 0x08, 0x0E));
    EXPECT_EQ(chart.axisRight().titleText(), "Temperature / Inputs");
}

TEST_F(TrendPanelTest, ABusyDayZoomsScrollsAndShowsWholeAgain) {
    writeDay(12, 0, 23, 5); // 16,561 rows, a row every 5 seconds
    LevelwatchForm& w = startOnTheDay();
    TrendChart& chart = w.trend().chart();
    ASSERT_EQ(chart.dayPoints(TrendSeries::Level).size(), 16561u);
    const qint64 day = spanMs(chart);
    EXPECT_EQ(day, 24 * 3600 * 1000LL); // the rows' 23 hours in whole ticks of 3 hours
    EXPECT_EQ(chart.axisX().tickCount(), 9);
    // Drawn with about two points per pixel, not all of them.
    EXPECT_LE(chart.series(TrendSeries::Level).count(), 2 * chart.chart()->plotArea().width() + 2);

    // Zoomed in to a few minutes, every point there is drawn.
    chart.axisX().setRange(
        QDateTime::fromMSecsSinceEpoch(chart.axisX().min().toMSecsSinceEpoch() + 3600000),
        QDateTime::fromMSecsSinceEpoch(chart.axisX().min().toMSecsSinceEpoch() + 3600000 + 600000));
    EXPECT_EQ(chart.series(TrendSeries::Level).count(), 121 + 2);

    // The right button drags the chart along with the hand cursor and does not zoom out.
    const QPoint middle = chart.viewport()->rect().center();
    const QDateTime before = chart.axisX().min();
    mouse(chart, QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, middle);
    EXPECT_EQ(chart.ChartCursor(), Qt::ClosedHandCursor);
    mouse(chart, QEvent::MouseMove, Qt::NoButton, Qt::RightButton, middle + QPoint(-100, 0));
    mouse(chart, QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton,
          middle + QPoint(-100, 0));
    EXPECT_EQ(chart.ChartCursor(), Qt::ArrowCursor);
    EXPECT_GT(chart.axisX().min(), before);
    EXPECT_EQ(spanMs(chart), 600000);

    // "Zoom Extents", and a change of the date, show the whole day again.
    ASSERT_EQ(chart.popup().actions().size(), 1);
    EXPECT_EQ(chart.popup().actions()[0]->text(), "Zoom Extents");
    chart.popup().actions()[0]->trigger();
    EXPECT_EQ(spanMs(chart), day);
    chart.chart()->zoomIn(QRectF(chart.chart()->plotArea().center(), QSizeF(50, 50)));
    EXPECT_LT(spanMs(chart), day);
    w.trend().setDate(kDay + 1);
    w.trend().setDate(kDay);
    EXPECT_EQ(spanMs(chart), day);
}

TEST_F(TrendPanelTest, ThePrintedTrendIsTitledWithTheTankAndTheDate) {
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is missing";
    writeDay(12, 8, 9, 600);
    LevelwatchForm& w = startOnTheDay();
    const QString pdf = inDir("trend.pdf");
    dialogs.answer = [&](QDialog& d) {
        auto& preview = dynamic_cast<QPrintPreviewDialog&>(d);
        preview.printer()->setOutputFormat(QPrinter::PdfFormat);
        preview.printer()->setOutputFileName(pdf);
        preview.findChild<QPrintPreviewWidget*>()->print();
        return QDialog::Accepted;
    };
    w.menus().PrintTrend->trigger();
    QProcess text;
    text.start("pdftotext", {"-layout", pdf, "-"});
    ASSERT_TRUE(text.waitForFinished(20000));
    const QString page = QString::fromUtf8(text.readAllStandardOutput());
    for (const char* shown : {"12 - North", "12/9/2026", "Volume / Level", "Level", "8:00 AM"})
        EXPECT_TRUE(page.contains(shown)) << shown << "\n" << page.toStdString();
    EXPECT_TRUE(w.trend().chart().chart()->title().isEmpty());
}

} // namespace
