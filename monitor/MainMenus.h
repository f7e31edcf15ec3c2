#pragma once
// The main window's menu bar: its items in their menus and order, the "Trend" toggle and the
// column toggles of the View menu. The window connects what the items do.

#include <array>

#include "DisplayFlags.h"

class QAction;
class QMainWindow;

namespace lw {

struct MainMenus {
    explicit MainMenus(QMainWindow& window);

    // File
    QAction* Print;
    QAction* PrintTrend;
    QAction* Exit;
    // Edit
    QAction* DeleteTank;
    QAction* InsertTank;
    // View
    QAction* HistReport;
    QAction* MonthlyReport;
    QAction* Trend;
    std::array<QAction*, kColumnToggleCount> columnToggles{}; // in menu order
    // Setup
    QAction* PortSetup;
    QAction* SMTPSetup;
    QAction* DetailMenu;
    // Help
    QAction* LaunchHelp; // F1
    QAction* About;
};

} // namespace lw
