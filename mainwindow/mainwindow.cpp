#include "mainwindow/mainwindow.h"

#include "dialogs/manualopener.h"
#include "mainwindow/addressvalidator.h"
#include "mainwindow/asciiinputvalidator.h"
#include "mainwindow/pagescrollarea.h"
#include "mainwindow/statusline.h"
#include "ui_mainwindow.h"
#include "workfiles/applog.h"

#include <QButtonGroup>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>

namespace {

// Room for a window manager's title bar and borders, which are not known before the window is shown.
const QSize frameAllowance(16, 48);

} // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), m_ui(new Ui::MainWindow) {
    m_ui->setupUi(this);
    setWindowTitle(QStringLiteral("ЗЕВР-3G-Config v.1.2"));

    m_addressValidator = new AddressValidator(nullptr);
    for (QLineEdit *edit :
         {m_ui->lE_1, m_ui->lE_2, m_ui->lE_3, m_ui->lE_4, m_ui->lE_5, m_ui->lE_6, m_ui->lE_7, m_ui->lE_8})
        edit->setValidator(m_addressValidator);
    // Every masked field (dates, time, code letters, serial numbers, the meter's reading and constant) takes
    // ASCII letters and digits only.
    auto *asciiOnly = new AsciiInputValidator(this);
    for (QLineEdit *edit : findChildren<QLineEdit *>())
        if (!edit->inputMask().isEmpty())
            edit->setValidator(asciiOnly);
    // Qt pairs automatically exclusive radio buttons over every checked one below their parent, the station tab's
    // unit modes included, and then lets a click clear the checked kind; the station would have none, and
    // "Отправить" nothing to send. An explicit group keeps one kind checked.
    auto *stationKind = new QButtonGroup(this);
    stationKind->addButton(m_ui->rb_1Chanel);
    stationKind->addButton(m_ui->rb_NChanel);

    connect(m_ui->action_exit, &QAction::triggered, this, &MainWindow::signal_quit);
    connect(m_ui->action_settings, &QAction::triggered, this, &MainWindow::slot_settings_con_dlg);
    connect(m_ui->action_about, &QAction::triggered, this, &MainWindow::slot_about_dialog);
    connect(m_ui->action_re, &QAction::triggered, this, &MainWindow::slot_openPDF);
    connect(this, &MainWindow::signal_write_to_log_file, &app_log, &AppLog::slot_write_to_log_file);
    connect(m_ui->action_open_profile, &QAction::triggered, this, &MainWindow::slot_open_profile);
    connect(m_ui->action_save_profile, &QAction::triggered, this, &MainWindow::slot_save_profile);

    // One widget holds the report, the busy indicator and the notice, so that it alone decides who gives way: the
    // status bar's own message would be cut by its permanent widgets and wiped by every status tip.
    m_status = new StatusLine(this);
    statusBar()->addWidget(m_status, 1);
    connect(&app_log, &AppLog::signal_notice, this, &MainWindow::showNotice);
    connect(&app_log, &AppLog::signal_notice_withdrawn, this, &MainWindow::withdrawNotice);
    setUpHistory();
    setUpComforts();
    m_manualOpener = new ManualOpener(this);
    connect(m_manualOpener, &ManualOpener::failed, this, &MainWindow::showNotice);

    m_ui->scrollArea->followCurrentPage();
    fitToScreen();
}

// Widgets on a hidden page never pass their polished sizes up to the layouts, which keep what they measured
// before the style sheet applied its font; measured then, the window would be too small for the other page.
static void remeasure(QWidget *window) {
    for (QWidget *widget : window->findChildren<QWidget *>())
        widget->updateGeometry();
    for (QLayout *layout : window->findChildren<QLayout *>())
        layout->invalidate();
}

// A size set on one widget reaches the window through its ancestors alone; the rest of the form keeps what it has
// measured.
static void remeasureAncestors(QWidget *widget) {
    for (; widget; widget = widget->parentWidget()) {
        widget->updateGeometry();
        if (QLayout *layout = widget->layout())
            layout->invalidate();
    }
}

// The form's size is too small for its contents in the sheet's font. The window opens large enough to show both
// station pages whole, as if they could not scroll, but no larger than the screen, where they scroll instead.
void MainWindow::fitToScreen() {
    ensurePolished();
    remeasure(this);
    PageScrollArea *pages = m_ui->scrollArea;
    // The form is measured once, above; the two sizes set on the pages below change only the pages' ancestors.
    pages->setMinimumSize(pages->sizeHint());
    remeasureAncestors(pages);
    // The stretch below the pages would share any shortfall with them, so the tab gets the height it asks for.
    const QWidget *tab = pages->parentWidget();
    QSize whole = minimumSizeHint() + QSize(0, tab->sizeHint().height() - tab->minimumSizeHint().height());
    pages->setMinimumSize(0, 0);
    remeasureAncestors(pages);
    const QSize room = screen()->availableGeometry().size() - frameAllowance;
    // A screen too low for the pages still leaves room beside them for the scroll bar they then need.
    if (whole.height() > room.height())
        whole.rwidth() += pages->verticalScrollBar()->sizeHint().width();
    resize(size().expandedTo(whole).boundedTo(room).expandedTo(minimumSizeHint()));
}

MainWindow::~MainWindow() {
    // The docked history hides while the window's children are destroyed, which would toggle the menu entry
    // and call back into a window that is no longer whole.
    if (m_historyAction)
        m_historyAction->disconnect(this);
    delete m_ui;
    // The line edits hold the validator through a guarded pointer, so deleting it first is safe.
    delete m_addressValidator;
}
