#include "mainwindow/mainwindow.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QFileInfo>
#include <QTimer>

namespace {

const QString programTitle = QStringLiteral("ЗЕВР-3G-Config v.1.2");

} // namespace

// What a technician reaches for without the mouse: F1 and Ctrl+Q stand on their menu entries (set in the form),
// Ctrl+Enter sends the tab in view, from whichever field holds the focus.
void MainWindow::setUpComforts() {
    auto *sendTab = new QAction(QStringLiteral("Отправить"), this);
    sendTab->setObjectName(QStringLiteral("action_send_tab"));
    sendTab->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    addAction(sendTab);
    connect(sendTab, &QAction::triggered, this, &MainWindow::sendCurrentTab);
    for (QPushButton *send : {m_ui->pB_Send_1, m_ui->pB_Send_2, m_ui->pB_Send_3})
        send->setToolTip(QStringLiteral("Отправить команду вкладки (Ctrl+Enter)"));

    // Every value a profile holds is in a line edit or a checkable button.
    for (QLineEdit *edit : m_ui->tabWidget->findChildren<QLineEdit *>())
        connect(edit, &QLineEdit::textChanged, this, &MainWindow::fieldEdited);
    for (QAbstractButton *button : m_ui->tabWidget->findChildren<QAbstractButton *>())
        if (button->isCheckable())
            connect(button, &QAbstractButton::toggled, this, &MainWindow::fieldEdited);
}

// A button press, so that the tab's own rules (a disabled button, a refusal) apply as to a click.
void MainWindow::sendCurrentTab() {
    QPushButton *const buttons[] = {m_ui->pB_Send_1, m_ui->pB_Send_2, m_ui->pB_Send_3};
    const int tab = m_ui->tabWidget->currentIndex();
    if (tab >= 0 && tab < 3)
        buttons[tab]->click();
}

// The clock is read as the command goes out: when the link is still busy with earlier commands, once they are
// done, so that the controller does not start its day seconds behind.
void MainWindow::on_pB_Send_Clock_clicked() {
    if (m_unfinished > 0)
        m_clockDue = true;
    else
        sendClockNow();
}

void MainWindow::linkBusyChanged(int unfinished) {
    m_unfinished = unfinished;
    if (unfinished > 0 || !m_clockDue)
        return;
    m_clockDue = false;
    // Not from inside the worker's report of the previous command's end.
    QTimer::singleShot(0, this, &MainWindow::sendClockNow);
}

// The title names the profile last opened or saved; "*" marks tabs that no longer show what it holds.
void MainWindow::showProfileInTitle(const QString &path) {
    m_profileName = QFileInfo(path).fileName();
    m_profileShown = currentProfile();
    setWindowTitle(m_profileName + QStringLiteral("[*] — ") + programTitle);
    setWindowModified(false);
}

void MainWindow::fieldEdited() {
    if (!m_profileName.isEmpty())
        setWindowModified(!(currentProfile() == m_profileShown));
}
