// The operator's changes to the tank list: the New Tank dialog, deleting, editing in the grid
// with its watchdog, and printing the grid.

#include <QComboBox>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include "DateTime.h"
#include "DetailForm.h"
#include "LiveDataModel.h"
#include "LiveGrid.h"
#include "MonitorFixture.h"
#include "MonitorLink.h"
#include "NewTankForm.h"
#include "TrendPanel.h"

using namespace lw;
using namespace lw::test;

namespace {

const Ini kNoService{{"TCPIPInfo", {{"Address", "127.0.0.1"}, {"Port", "1"}}}};

class TankEditingTest : public MonitorTest {
protected:
    void SetUp() override {
        MonitorTest::SetUp();
        writeUser(kNoService);
    }
    QString liveData() const { return readText(file("LiveData.txt")); }
    QString polls() const { return readText(file("OstrelServicePoll.txt")); }
    // Answers the New Tank dialog with these entries (a null text leaves a field as it is).
    void answerNewTank(const QString& id, const QString& name, int comTypeIndex) {
        dialogs.answer = [=](QDialog& d) {
            auto& form = dynamic_cast<NewTankForm&>(d);
            if (!id.isNull())
                form.TankID().setText(id);
            if (!name.isNull())
                form.TankName().setText(name);
            if (comTypeIndex >= 0)
                form.ComType().setCurrentIndex(comTypeIndex);
            form.accept();
            return form.result();
        };
    }
    QModelIndex cell(int row, LiveColumn c) const {
        return window->model().index(row, static_cast<int>(c));
    }
    QWidget* openEditor(int row, LiveColumn c) {
        LiveGrid& grid = window->grid();
        grid.show();
        grid.setCurrentIndex(cell(row, c));
        grid.edit(cell(row, c));
        return grid.indexWidget(cell(row, c));
    }
};

TEST_F(TankEditingTest, InsertAndDeleteSaveTheTableAndRebuildThePollList) {
    writeLiveData({"3\tThree\t1"});
    LevelwatchForm& w = start();
    EXPECT_EQ(polls(), "3\r\n");

    // Inserted before the focused row; an RS232 tank 7 is polled, tank 12345 is not.
    answerNewTank("7", "Seven", 2); // "RS232": the list starts with "Unknown"
    w.InsertTankClick();
    EXPECT_EQ(dialogs.shown, QStringList{"New Tank"});
    ASSERT_EQ(w.model().rowCount(), 2);
    EXPECT_EQ(w.model().LiveData()[0].ID, "7");
    EXPECT_EQ(w.model().LiveData()[0].ComType, 1);
    EXPECT_EQ(w.model().LiveData()[0].Alarm3, false);
    EXPECT_EQ(polls(), "7\r\n3\r\n");
    EXPECT_TRUE(liveData().contains("\r\n7\tSeven\t")) << liveData().toStdString();
    EXPECT_EQ(w.trend().tankLabel(), "7 - Seven");

    answerNewTank("123456", "Big", 0);
    w.grid().focusRow(1);
    w.InsertTankClick();
    EXPECT_EQ(w.model().LiveData()[1].ID, "12345");
    EXPECT_FALSE(w.model().LiveData()[1].ComType) << "\"Unknown\" stores no code";

    // A cancelled dialog changes nothing.
    dialogs.answer = {};
    w.InsertTankClick();
    EXPECT_EQ(w.model().rowCount(), 3);

    for (int i = 0; i < 3; ++i)
        w.DeleteTankClick();
    EXPECT_EQ(w.model().rowCount(), 0);
    EXPECT_EQ(liveData().split('\n').size(), 2) << "the header line alone";
    EXPECT_EQ(polls(), "");
    w.DeleteTankClick(); // an empty table: nothing happens
    EXPECT_EQ(w.model().rowCount(), 0);
}

TEST_F(TankEditingTest, TheNewTankDialogKeepsItsEntriesAndFillsAnEmptyId) {
    LevelwatchForm& w = start();
    EXPECT_EQ(w.newTankForm().TankName().text(), "Tank 0");
    EXPECT_EQ(w.newTankForm().ComType().currentIndex(), -1) << "no communication type at first";
    answerNewTank("", "North", 1);
    w.InsertTankClick();
    EXPECT_EQ(w.model().LiveData()[0].ID, "1");

    answerNewTank(QString(), QString(), -1);
    w.InsertTankClick();
    const TankRecord& second = w.model().LiveData()[0];
    EXPECT_EQ(second.ID, "1");
    EXPECT_EQ(second.TankName, "North");
    EXPECT_EQ(second.ComType, 0);

    // The ID field takes one to six digits only.
    QLineEdit& id = w.newTankForm().TankID();
    id.clear();
    QTest::keyClicks(&id, "12a34567");
    EXPECT_EQ(id.text(), "123456");
}

TEST_F(TankEditingTest, AnEditedNameIsSavedAtOnce) {
    writeLiveData({"3\tThree\t1"});
    LevelwatchForm& w = start();
    auto* editor = qobject_cast<QLineEdit*>(openEditor(0, LiveColumn::TankName));
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(w.grid().Timer1().isActive()) << "the watchdog runs while editing";
    editor->selectAll();
    QTest::keyClicks(editor, "Tri");
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents(); // the grid posts the edit from its event loop
    EXPECT_FALSE(w.grid().editorOpen());
    EXPECT_FALSE(w.grid().Timer1().isActive());
    EXPECT_EQ(w.model().LiveData()[0].TankName, "Tri");
    EXPECT_TRUE(liveData().contains("\r\n3\tTri\t"));
    EXPECT_EQ(w.trend().tankLabel(), "3 - Tri");
}

TEST_F(TankEditingTest, TheWatchdogAbandonsAStaleNameEditButNotAnIdEdit) {
    writeLiveData({"3\tThree\t1"});
    LevelwatchForm& w = start();
    auto* name = qobject_cast<QLineEdit*>(openEditor(0, LiveColumn::TankName));
    ASSERT_NE(name, nullptr);
    QTest::keyClicks(name, "xyz");
    w.grid().Timer1Timer(); // five seconds without a key
    EXPECT_FALSE(w.grid().editorOpen());
    EXPECT_EQ(w.model().LiveData()[0].TankName, "Three");

    auto* id = qobject_cast<QLineEdit*>(openEditor(0, LiveColumn::ID));
    ASSERT_NE(id, nullptr);
    id->selectAll();
    QTest::keyClicks(id, "8");
    w.grid().Timer1Timer();
    EXPECT_TRUE(w.grid().editorOpen()) << "an ID edit stays open";
    QTest::keyClick(id, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(w.model().LiveData()[0].ID, "8");
}

TEST_F(TankEditingTest, PollingWaitsWhileAnIdOrComTypeIsEditedAndFollowsAfter) {
    writeLiveData({"3\tThree\t1", "4\tFour\t2"});
    LevelwatchForm& w = start();
    EXPECT_EQ(polls(), "3\r\n");
    EXPECT_TRUE(w.link().PollModbus().isActive());

    auto* box = qobject_cast<QComboBox*>(openEditor(1, LiveColumn::ComType));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->currentText(), "Wireless");
    box->setCurrentIndex(box->findText("RS422/485"));
    emit box->activated(box->currentIndex());
    EXPECT_FALSE(w.link().PollModbus().isActive()) << "polling stops while the editor is open";
    EXPECT_TRUE(w.IDChangeDone().isActive());
    w.IDChangeDoneTimer(); // still editing: tried again later
    EXPECT_TRUE(w.IDChangeDone().isActive());
    EXPECT_EQ(polls(), "3\r\n");

    w.grid().setCurrentIndex(cell(0, LiveColumn::Level)); // leaving the cell posts it
    EXPECT_FALSE(w.grid().editorOpen());
    EXPECT_EQ(w.model().LiveData()[1].ComType, 0);
    EXPECT_TRUE(liveData().contains("\r\n4\tFour\t"));
    w.IDChangeDoneTimer();
    EXPECT_EQ(polls(), "3\r\n4\r\n");
    EXPECT_FALSE(w.IDChangeDone().isActive());
    EXPECT_TRUE(w.link().PollModbus().isActive());
    EXPECT_EQ(w.link().PollModbus().interval(), 2500);
}

TEST_F(TankEditingTest, FramesArriveIgnoredWhileTheOperatorEdits) {
    writeLiveData({"3\tThree\t1"});
    LevelwatchForm& w = start();
    openEditor(0, LiveColumn::TankName);
    FrameBuffer rx;
    rx[1] = 3;
    w.NewTankData(rx, 24, FrameSource::Relayed);
    EXPECT_TRUE(w.detail().text().isEmpty()) << "not even a Detail line";
}

TEST_F(TankEditingTest, PrintingShowsTheVisibleColumnsOnly) {
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is missing";
    writeLiveData({"3\tNorth Diesel\t1", "4\tWater East\t2"});
    LevelwatchForm& w = start();
    w.grid().setColumnShown(LiveColumn::Volume, false);
    w.trend().setDate(encodeDateTime({2024, 1, 5}));
    const QString pdf = inDir("report.pdf");
    dialogs.answer = [&](QDialog& d) {
        auto& preview = dynamic_cast<QPrintPreviewDialog&>(d);
        EXPECT_EQ(preview.printer()->pageLayout().orientation(), QPageLayout::Landscape);
        EXPECT_EQ(preview.printer()->pageLayout().pageSize().id(), QPageSize::Letter);
        preview.printer()->setOutputFormat(QPrinter::PdfFormat);
        preview.printer()->setOutputFileName(pdf);
        preview.findChild<QPrintPreviewWidget*>()->print();
        return QDialog::Accepted;
    };
    w.PrintButtonClick();
    QProcess text;
    text.start("pdftotext", {"-layout", pdf, "-"});
    ASSERT_TRUE(text.waitForFinished(20000));
    const QString page = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(page.contains("Live Data Report -Jan 05 2024")) << page.toStdString();
    for (const char* shown :
         {"Tank Name", "Level", "Battery", "North Diesel", "Water East", "Page 1 of 1"})
        EXPECT_TRUE(page.contains(shown)) << shown;
    for (const char* hidden : {"Volume", "Realy", "Relay", "Com Type", "Level Above"})
        EXPECT_FALSE(page.contains(hidden)) << hidden;
}

} // namespace
