#include "MainMenus.h"

#include <QAction>
#include <QMainWindow>
#include <QMenuBar>

namespace lw {
namespace {

QString text(std::string_view s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

MainMenus::MainMenus(QMainWindow& window) {
    QMenuBar* bar = window.menuBar();
    QMenu* file = bar->addMenu(QStringLiteral("File"));
    Print = file->addAction(QStringLiteral("Print..."));
    PrintTrend = file->addAction(QStringLiteral("Print Trend..."));
    file->addSeparator();
    Exit = file->addAction(QStringLiteral("Exit"));

    QMenu* edit = bar->addMenu(QStringLiteral("Edit"));
    DeleteTank = edit->addAction(QStringLiteral("Delete Tank"));
    InsertTank = edit->addAction(QStringLiteral("Insert Tank"));

    QMenu* view = bar->addMenu(QStringLiteral("View"));
    HistReport = view->addAction(QStringLiteral("Historical Report..."));
    MonthlyReport = view->addAction(QStringLiteral("Monthly Report..."));
    Trend = view->addAction(QStringLiteral("Trend"));
    Trend->setCheckable(true);
    view->addSeparator();
    const auto toggles = lw::columnToggles();
    for (size_t i = 0; i < toggles.size(); ++i) {
        QAction* a = view->addAction(text(toggles[i].caption));
        a->setObjectName(text(toggles[i].item));
        a->setCheckable(true);
        a->setVisible(toggles[i].inMenu);
        columnToggles[i] = a;
    }

    QMenu* setup = bar->addMenu(QStringLiteral("Setup"));
    PortSetup = setup->addAction(QStringLiteral("Comm Setup..."));
    SMTPSetup = setup->addAction(QStringLiteral("Email Setup..."));
    DetailMenu = setup->addAction(QStringLiteral("Detail..."));

    QMenu* help = bar->addMenu(QStringLiteral("Help"));
    LaunchHelp = help->addAction(QStringLiteral("Launch PDF Help..."));
    LaunchHelp->setShortcut(Qt::Key_F1);
    LaunchHelp->setShortcutContext(Qt::WindowShortcut);
    About = help->addAction(QStringLiteral("About..."));
}

} // namespace lw
