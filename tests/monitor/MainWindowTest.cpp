// The main window on its own: start-up, flags, placement, regional settings, the small windows
// and the grid's updates from relayed blocks.

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QSignalSpy>
#include <QSplitter>
#include <QTest>

#include "DateTime.h"
#include "DetailForm.h"
#include "FrameBuilder.h"
#include "HistoryFile.h"
#include "LiveDataModel.h"
#include "LiveGrid.h"
#include "MainMenus.h"
#include "MonitorFixture.h"
#include "MonitorLink.h"
#include "TrendPanel.h"

using namespace lw;
using namespace lw::test;

namespace {

// A port nothing listens on: the link keeps failing quietly.
const Ini kNoService{{"TCPIPInfo", {{"Address", "127.0.0.1"}, {"Port", "1"}}}};

QAction& toggle(LevelwatchForm& w, std::string_view item) {
    for (QAction* a : w.menus().columnToggles)
        if (a->objectName().toStdString() == item)
            return *a;
    throw std::runtime_error("no toggle " + std::string(item));
}

// What the service relays for a reply of `unit`, accepted at `time`.
TitcRecord relayed(const sim::UnitValues& unit, double time) {
    const std::vector<uint8_t> block =
        sim::relayBlock(sim::buildReply(unit, registerCountFor(unit.dispType)), time);
    TitcRecord r;
    r.command = Tcommands::tmData;
    std::copy(block.begin(), block.end(), r.RxData.begin());
    return r;
}

sim::UnitValues r200(uint32_t id, uint32_t level) {
    sim::UnitValues u;
    u.address = static_cast<uint8_t>(id);
    u.tanks = {{.id = id, .temperature = 21, .level = level, .volume = 3 * level}};
    return u;
}

TEST_F(MonitorTest, FirstStartOnAnEmptyMachineLinksToTheLocalService) {
    LevelwatchForm& w = start();
    EXPECT_EQ(w.windowTitle(), "Ostrel Levelwatch");
    EXPECT_EQ(w.statusLine(), "Waiting for Service.");
    EXPECT_EQ(w.link().ComActive(), 0);
    EXPECT_EQ(w.link().TCPActive(), 1);
    EXPECT_EQ(w.link().TCPAddress(), "localhost");
    EXPECT_EQ(w.link().TCPPort(), 6000);
    EXPECT_NE(w.link().Client(), nullptr);
    EXPECT_EQ(w.geometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(w.size(), QSize(675, 530));
    EXPECT_EQ(w.minimumSize(), QSize(250, 150));
    EXPECT_TRUE(w.trend().isVisibleTo(&w));
    EXPECT_TRUE(w.menus().Trend->isChecked());
    // The default columns: measurements and alarms shown, the rest hidden, relays never offered.
    EXPECT_TRUE(w.grid().columnShown(LiveColumn::Level));
    EXPECT_FALSE(w.grid().columnShown(LiveColumn::LevelAbove));
    EXPECT_FALSE(w.grid().columnShown(LiveColumn::Relay1));
    EXPECT_FALSE(toggle(w, "Relay1Col").isVisible());
    EXPECT_TRUE(toggle(w, "LevelCol").isChecked());
    // An empty table gives an empty poll list, which the service reads.
    EXPECT_EQ(readText(file("OstrelServicePoll.txt")), "");
    EXPECT_EQ(w.model().rowCount(), 0);
}

TEST_F(MonitorTest, TheStoredPortIsUsedWhenItIsThereElseTheFirstPortThereIs) {
    struct Case {
        QString stored; // empty: none stored
        std::vector<int> present;
        int port;
    };
    const std::vector<Case> cases{
        {"7", {3}, 3}, {"", {50}, 50}, {"4", {2, 4}, 4}, {"9", {}, 2} /* the design default */};
    for (const Case& c : cases) {
        Ini machine;
        for (int n = 1; n <= 50; ++n)
            machine["Ports"][QStringLiteral("COM%1").arg(n)] = inDir("absent");
        for (int n : c.present) {
            const QString device = inDir(QStringLiteral("device%1").arg(n));
            writeFile(device, "");
            machine["Ports"][QStringLiteral("COM%1").arg(n)] = device;
        }
        writeMachine(machine);
        Ini user = kNoService;
        if (!c.stored.isEmpty())
            user["ComPortInfo"]["ComNumber"] = c.stored;
        writeUser(user);
        EXPECT_EQ(start().link().GetApdComPort1().portNumber(), c.port) << c.stored.toStdString();
        window.reset();
    }
}

TEST_F(MonitorTest, AColumnToggleHidesColumnAndSeriesAndIsRemembered) {
    writeUser(kNoService);
    {
        LevelwatchForm& w = start();
        toggle(w, "LevelCol").trigger();
        EXPECT_FALSE(w.grid().columnShown(LiveColumn::Level));
        EXPECT_FALSE(w.trend().seriesShown(TrendSeries::Level));
        EXPECT_TRUE(w.trend().seriesShown(TrendSeries::Volume));
        // The trend toggle alone writes nothing; the next column toggle writes it too.
        w.menus().Trend->trigger();
        EXPECT_FALSE(w.trend().isVisibleTo(&w));
        EXPECT_FALSE(userIni().contains("ShowTrend=0"));
        toggle(w, "Input1Col").trigger();
        const QString ini = userIni();
        EXPECT_TRUE(ini.contains("ShowLevel=0"));
        EXPECT_TRUE(ini.contains("ShowInput1=1"));
        EXPECT_TRUE(ini.contains("ShowTrend=0"));
        EXPECT_FALSE(ini.contains("ShowRelay")) << "the relay flags are never written";
        window.reset();
    }
    LevelwatchForm& again = start();
    EXPECT_FALSE(again.grid().columnShown(LiveColumn::Level));
    EXPECT_FALSE(toggle(again, "LevelCol").isChecked());
    EXPECT_TRUE(again.grid().columnShown(LiveColumn::Input1));
    EXPECT_FALSE(again.trend().isVisibleTo(&again));
}

TEST_F(MonitorTest, AHandSetRelayFlagShowsTheRelayInItsColours) {
    Ini user = kNoService;
    user["Properities"]["ShowRelay2"] = "1";
    writeUser(user);
    writeFile(file("LiveData.txt"), "ID\tRelay2\r\n1\tTrue\r\n2\tFalse\r\n3\t\r\n");
    LevelwatchForm& w = start();
    EXPECT_TRUE(w.grid().columnShown(LiveColumn::Relay2));
    EXPECT_FALSE(w.grid().columnShown(LiveColumn::Relay1));
    const int col = static_cast<int>(LiveColumn::Relay2);
    const auto colour = [&](int row) {
        return w.model().index(row, col).data(Qt::BackgroundRole).value<QBrush>().color();
    };
    EXPECT_EQ(colour(0), QColor(0, 128, 0));
    EXPECT_EQ(colour(1), QColor(Qt::white));
    EXPECT_EQ(colour(2), QColor(Qt::white));
    EXPECT_FALSE(
        w.model().index(0, static_cast<int>(LiveColumn::Level)).data(Qt::BackgroundRole).isValid());

    // The operator sets a relay with a click on its box; the table is saved at once.
    w.show();
    const QRect box = w.grid().visualRect(w.model().index(1, col));
    QTest::mouseClick(w.grid().viewport(), Qt::LeftButton, {}, box.center());
    EXPECT_EQ(w.model().LiveData()[1].Relay2, true);
    const QStringList lines = readText(file("LiveData.txt")).split('\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_TRUE(lines[2].startsWith("2\t") && lines[2].contains("True")) << "saved at once";
    EXPECT_EQ(colour(1), QColor(0, 128, 0));
}

TEST_F(MonitorTest, APlacementIsSavedOnResizeAndOnClose) {
    writeUser(kNoService);
    LevelwatchForm& w = start();
    w.show();
    w.resize(900, 600);
    ASSERT_TRUE(waitFor([&] { return userIni().contains("Width=900"); }));
    EXPECT_TRUE(userIni().contains("Height=600"));
    w.move(40, 30);
    w.close();
    EXPECT_TRUE(userIni().contains("Left=40"));
    EXPECT_TRUE(userIni().contains("Top=30"));
}

TEST_F(MonitorTest, AFailedSettingsWriteIsToldAndTheChoiceStaysForTheRun) {
    writeUser(kNoService);
    LevelwatchForm& w = start();
    // A folder where the settings file should be: no one, not even root, can write it.
    QFile::remove(settings() + "/user.ini");
    QDir().mkpath(settings() + "/user.ini");
    toggle(w, "VolCol").trigger();
    EXPECT_EQ(dialogs.messages,
              QStringList{"Could not update Windows Registry. Check user permissions."});
    EXPECT_FALSE(w.grid().columnShown(LiveColumn::Volume));
}

TEST_F(MonitorTest, RelayedBlocksUpdateOnlyTheCellsTheyChange) {
    writeUser(kNoService);
    writeLiveData({"7\tSeven\t1", "8\tEight\t1", "7\tShadow\t1"});
    LevelwatchForm& w = start();
    QSignalSpy resets(&w.model(), &QAbstractItemModel::modelReset);
    QSignalSpy changes(&w.model(), &QAbstractItemModel::dataChanged);
    const double blockTime = encodeDateTime({2026, 12, 9, 14, 5, 9});
    w.link().OnMyMessage(relayed(r200(7, 1234), blockTime));

    const TankRecord& seven = w.model().LiveData()[0];
    EXPECT_EQ(seven.Level, 123.4);
    EXPECT_EQ(seven.DateTime, blockTime) << "a relayed reading is timed by the service";
    EXPECT_FALSE(w.model().LiveData()[2].Level) << "only the first row with the ID";
    EXPECT_EQ(resets.count(), 0);
    std::set<int> columns;
    for (const QList<QVariant>& change : changes) {
        const auto from = change[0].value<QModelIndex>(), to = change[1].value<QModelIndex>();
        EXPECT_EQ(from, to) << "one cell at a time";
        EXPECT_EQ(from.row(), 0);
        columns.insert(from.column());
    }
    EXPECT_TRUE(columns.contains(static_cast<int>(LiveColumn::Level)));
    EXPECT_FALSE(columns.contains(static_cast<int>(LiveColumn::TankName)));
    EXPECT_TRUE(w.statusLine().endsWith(" Seven parsed new data")) << w.statusLine().toStdString();
    const QString saved = readText(file("LiveData.txt"));
    EXPECT_TRUE(saved.contains("7\tSeven\t0\t123.4\t")) << saved.toStdString();
    EXPECT_TRUE(saved.contains("12/9/2026 2:05:09 PM"));

    // The same values again: only the time and the plain values are written.
    changes.clear();
    w.link().OnMyMessage(relayed(r200(7, 1234), blockTime + 5.0 / 86400));
    for (const QList<QVariant>& change : changes)
        EXPECT_NE(change[0].value<QModelIndex>().column(), static_cast<int>(LiveColumn::Level));
}

TEST_F(MonitorTest, OnlyTheOwnerOfThePortMailsAlarmChangesAndWritesHistory) {
    writeUser(kNoService);
    writeLiveData({"7\tSeven\t1"});
    clock.fixed = encodeDateTime({2026, 12, 9, 14, 5, 9});
    LevelwatchForm& w = start();
    const HistoryFile history(home().toStdString(), w.formats());
    sim::UnitValues unit = r200(7, 1234);
    unit.alarms = 1;
    const auto frame = [](const sim::UnitValues& u) {
        return FrameBuffer::fromBytes(sim::buildReply(u, 24));
    };

    // Linked to the service: the service mails and writes history.
    w.NewTankData(frame(unit), 24, FrameSource::Relayed);
    w.EmailTimerTimer();
    EXPECT_TRUE(mail.alarms.empty());
    EXPECT_EQ(mail.passes, 0);
    EXPECT_FALSE(std::filesystem::exists(history.path(7, *clock.fixed)));

    w.link().setComActive(1);
    unit.alarms = 0;
    w.NewTankData(frame(unit), 24, FrameSource::Serial);
    ASSERT_EQ(mail.alarms.size(), 1u);
    EXPECT_EQ(mail.alarms[0].Subject, "Seven Alarm Change - 12/9/2026 2:05:09 PM");
    EXPECT_EQ(mail.alarms[0].Alarm1, "False");
    const QString rows = QString::fromStdString(readFile(history.path(7, *clock.fixed)));
    EXPECT_TRUE(rows.contains("12/09/2026 14:05:09\t0\t123.4\t")) << rows.toStdString();
    w.EmailTimerTimer();
    EXPECT_EQ(mail.passes, 1);
}

TEST_F(MonitorTest, ALearnedDisplayTypeLeavesTheServicesPollListAlone) {
    writeUser(kNoService);
    writeLiveData({"7\tSeven\t1", "8\tEight\t1"});
    LevelwatchForm& w = start();
    const QString polls = file("OstrelServicePoll.txt");
    const QDateTime old = QDateTime::currentDateTime().addDays(-1);
    const auto age = [&] { return QFileInfo(polls).lastModified(); };
    {
        QFile f(polls);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite) &&
                    f.setFileTime(old, QFileDevice::FileModificationTime));
    }
    // The first frame of a tank gives its row a display type: the list is rebuilt, but the
    // file's date, which makes the service start its sweep over, stays.
    w.link().OnMyMessage(relayed(r200(7, 1234), 46000));
    EXPECT_EQ(w.model().LiveData()[0].DispType, 0);
    EXPECT_EQ(age(), old);
    w.DeleteTankClick();
    EXPECT_NE(age(), old) << "a new list is written";
    EXPECT_EQ(readText(polls), "8\r\n");
}

TEST_F(MonitorTest, StatusBlocksAndBrokenBlocksDecodeNothing) {
    writeUser(kNoService);
    writeLiveData({"7\tSeven\t1"});
    LevelwatchForm& w = start();
    QSignalSpy service(&w.link(), &MonitorLink::serviceStatusChanged);
    TitcRecord status;
    status.command = Tcommands::tmData;
    const RelayBlock block = makeStatusBlock("polling 3 units");
    std::copy(block.begin(), block.end(), status.RxData.begin());
    w.link().OnMyMessage(status);
    EXPECT_EQ(w.link().ServiceStatus(), "polling 3 units");
    EXPECT_EQ(w.statusLine(), "polling 3 units");
    ASSERT_EQ(service.count(), 1);

    TitcRecord broken = relayed(r200(7, 1234), 46000);
    broken.RxData[20] ^= 0xFF;
    w.link().OnMyMessage(broken);
    EXPECT_EQ(w.statusLine(), "Data Received");
    EXPECT_FALSE(w.model().LiveData()[0].Level);

    TitcRecord gone;
    gone.command = Tcommands::tmError;
    gone.data = "Ostrel Service: Disconnected.";
    w.link().OnMyMessage(gone);
    EXPECT_EQ(w.statusLine(), "Ostrel Service: Disconnected.");
    EXPECT_TRUE(service.last()[0].toString().endsWith(" Service Disconnected."));
}

TEST_F(MonitorTest, TheStatusLineClearsAfterTenSeconds) {
    writeUser(kNoService);
    LevelwatchForm& w = start();
    w.UpdateStatus("hello");
    EXPECT_TRUE(w.Timer3().isActive());
    EXPECT_EQ(w.Timer3().interval(), 10000);
    w.Timer3Timer();
    EXPECT_EQ(w.statusLine(), "");
}

TEST_F(MonitorTest, TheRegionalSettingsAreReadOnceMoreAtTheirFirstChange) {
    writeUser(kNoService);
    writeFile(file("LiveData.txt"), "ID\tLevel\r\n1\t12.5\r\n");
    regionalFormats = {Formats::enUS(), Formats::commaDecimal(), Formats::enUS()};
    LevelwatchForm& w = start();
    const QModelIndex level = w.model().index(0, static_cast<int>(LiveColumn::Level));
    EXPECT_EQ(level.data().toString(), "12.5");
    QEvent change(QEvent::LocaleChange);
    QApplication::sendEvent(&w, &change);
    EXPECT_EQ(level.data().toString(), "12,5");
    EXPECT_EQ(w.formats().shortDateFormat, "M/d/yyyy");
    QApplication::sendEvent(&w, &change);
    EXPECT_EQ(level.data().toString(), "12,5") << "later changes are not followed";
}

TEST_F(MonitorTest, F1OpensTheManualAndAMissingManualIsSaid) {
    writeUser(kNoService);
    LevelwatchForm& w = start();
    w.menus().LaunchHelp->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].contains("470-471 Levelwatch Software_v2.02.1.pdf"));
    EXPECT_TRUE(dialogs.opened.isEmpty());

    const QString manual = file("470-471 Levelwatch Software_v2.02.1.pdf");
    writeFile(manual, "%PDF-1.4\n");
    EXPECT_EQ(w.menus().LaunchHelp->shortcut(), QKeySequence(Qt::Key_F1));
    w.menus().LaunchHelp->trigger();
    EXPECT_EQ(dialogs.opened, QStringList{manual});
    dialogs.openSucceeds = false;
    w.menus().LaunchHelp->trigger();
    EXPECT_EQ(dialogs.messages.size(), 2) << "no viewer is said too";
}

TEST_F(MonitorTest, TheAboutBoxAndTheDetailWindow) {
    writeUser(kNoService);
    LevelwatchForm& w = start();
    w.AboutClick();
    EXPECT_EQ(dialogs.shown, QStringList{"About Ostrel Levelwatch"});

    w.DetailMenuClick();
    DetailForm& d = w.detail();
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.windowTitle(), "Detail Data");
    d.addLine("one");
    d.addLine("two");
    d.close();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.text(), "one\ntwo") << "closing keeps the lines";
    d.Clear();
    EXPECT_EQ(d.lineCount(), 0);

    DetailForm small(nullptr, 3);
    for (const char* line : {"1", "2", "3"})
        small.addLine(line);
    EXPECT_EQ(small.lineCount(), 3);
    small.addLine("4");
    EXPECT_EQ(small.lineCount(), 0) << "past the limit the text is emptied";
}

TEST_F(MonitorTest, AnUnreadableLiveDataFileIsKeptAndSaid) {
    writeUser(kNoService);
    const QByteArray text = "ID\tTankName\tLevel\r\n1\tOne\t1.5\r\n2\tTwo\tabc\r\n3\tThree\t2\r\n";
    writeFile(file("LiveData.txt"), text);
    LevelwatchForm& w = start();
    EXPECT_EQ(w.model().rowCount(), 1) << "the rows before the fault stay";
    EXPECT_EQ(readText(file("LiveData.txt.damaged")), text);
    EXPECT_TRUE(w.detail().text().startsWith("ERROR: LiveData.LoadFromTextFile"));
    EXPECT_TRUE(w.statusLine().startsWith("ERROR: LiveData.LoadFromTextFile"));
}

} // namespace
