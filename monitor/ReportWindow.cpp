#include "ReportWindow.h"

#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include "BandedHeader.h"
#include "DateTime.h"
#include "Dialogs.h"
#include "ReportPrint.h"
#include "SystemClock.h"

namespace lw {
namespace {

const QString kDateFormat = QStringLiteral("M/d/yyyy");

QString qText(std::string_view s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

ReportWindow::ReportWindow(ReportKind kind, Dialogs& dialogs, SelectColForm& selectCol,
                           const Clock& clock, QWidget* parent)
    : QDialog(parent), kind_(kind), dialogs_(dialogs), selectCol_(selectCol), clock_(clock),
      date_(new QDateEdit(this)), tank_(new QComboBox(this)), buttons_(new QHBoxLayout),
      error_(new QLabel(this)), grid_(new QTableView(this)), header_(new BandedHeader(grid_)) {
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setSizeGripEnabled(true);
    date_->setDisplayFormat(kDateFormat);
    date_->setCalendarPopup(true);
    tank_->setEditable(true);
    tank_->setInsertPolicy(QComboBox::NoInsert);
    tank_->setMinimumContentsLength(8);
    connect(date_, &QDateEdit::dateChanged, this, [this] { Load(); });
    connect(tank_, &QComboBox::editTextChanged, this, [this] { Load(); });

    auto* print = new QPushButton(QStringLiteral("Print"), this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    auto* columns = new QPushButton(QStringLiteral("Columns"), this);
    connect(print, &QPushButton::clicked, this, &ReportWindow::PrintClick);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(columns, &QPushButton::clicked, this, &ReportWindow::ColumnsClick);
    for (QPushButton* b : {print, close})
        buttons_->addWidget(b);
    buttons_->addWidget(columns);
    for (QPushButton* b : {print, close, columns})
        b->setAutoDefault(false);

    auto* top = new QWidget(this);
    auto* panel = new QHBoxLayout(top);
    panel->addWidget(new QLabel(QStringLiteral("Date"), top));
    panel->addWidget(date_);
    panel->addSpacing(12);
    panel->addWidget(new QLabel(QStringLiteral("Tank"), top));
    panel->addWidget(tank_);
    panel->addSpacing(12);
    panel->addLayout(buttons_);
    panel->addStretch(1);

    error_->setStyleSheet(QStringLiteral("color: #b00000;"));
    error_->setWordWrap(true);
    error_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    error_->hide();

    grid_->setHorizontalHeader(header_);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setWordWrap(false);
    grid_->setSortingEnabled(false);
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
    header_->setSectionsMovable(false);
    header_->setSectionsClickable(false);
    header_->setHighlightSections(false);

    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(top);
    splitter->addWidget(grid_);
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(splitter, 1);
    layout->addWidget(error_);
}

void ReportWindow::addButton(QPushButton* button) {
    button->setAutoDefault(false);
    buttons_->insertWidget(buttons_->count() - 1, button);
}

void ReportWindow::setModel(QAbstractItemModel& model) {
    grid_->setModel(&model);
}

int ReportWindow::open(double date, const QStringList& tanks, const QString& tankText) {
    {
        const QSignalBlocker dateBlocker(date_);
        const QSignalBlocker tankBlocker(tank_);
        date_->setDate(fromDateTime(date).date());
        tank_->clear();
        tank_->addItems(tanks);
        tank_->setCurrentIndex(-1);
        tank_->setEditText(tankText);
    }
    const Profile user(SettingsScope::User);
    if (user.check())
        dialogs_.message(this, windowTitle(), QString::fromLatin1(kUserSettingsReadError));
    else
        flags_ = readReportFlags(user, kind_);
    Load();
    return dialogs_.exec(*this);
}

void ReportWindow::setFormats(const Formats& formats) {
    formats_ = formats;
}

void ReportWindow::ColumnsClick() {
    selectCol_.setFirstCaption(kind_ == ReportKind::History ? QStringLiteral("Date/Time")
                                                            : QStringLiteral("Date"));
    selectCol_.setStates(flags_);
    if (dialogs_.exec(selectCol_) != QDialog::Accepted)
        return;
    flags_ = selectCol_.states();
    applyFlags();
    try {
        Profile user(SettingsScope::User);
        writeReportFlags(user, kind_, flags_);
    } catch (const ProfileError&) {
        dialogs_.message(this, windowTitle(), qText(kUserSettingsWriteError));
    }
}

void ReportWindow::PrintClick() {
    const double now = clock_.now();
    // The history report's footer has one blank between date and time, the monthly two.
    const QString gap = kind_ == ReportKind::History ? QStringLiteral(" ") : QStringLiteral("  ");
    const ReportPrint report(model(), ReportPrint::shownColumns(*grid_, printedBands()),
                             printTitle(),
                             QString::fromStdString(formatDate(now, formats_)) + gap +
                                 QString::fromStdString(formatTime(now, formats_)),
                             {.bands = !printedBands().empty()});
    QPrinter printer(QPrinter::HighResolution);
    ReportPrint::setUpPrinter(printer, windowTitle());
    QPrintPreviewDialog preview(&printer, this);
    preview.setWindowTitle(report.title());
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [&report](QPrinter* p) { report.print(p); });
    dialogs_.exec(preview);
}

QString ReportWindow::errorText() const {
    return error_->text();
}

double ReportWindow::date() const {
    return toDateTime(QDateTime(date_->date(), QTime(0, 0)));
}

QString ReportWindow::tankText() const {
    return tank_->currentText();
}

void ReportWindow::showError(const std::string& error) {
    error_->setText(QString::fromStdString(error));
    error_->setVisible(!error.empty());
}

} // namespace lw
