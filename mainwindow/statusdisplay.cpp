#include "mainwindow/mainwindow.h"

#include "mainwindow/statusline.h"
#include "serial/linkreports.h"
#include "workfiles/settingsfile.h"

#include <QEvent>

namespace {

const QString noPortNotice = QStringLiteral("Последовательный порт не найден: проверьте адаптер");

} // namespace

void MainWindow::slot_port_opend(QString name, int baud, int lenght, quint8 parity, int stopbit, QString xof) {
    // A port that opens answers the notice that none was found; any other notice stays.
    withdrawNotice(noPortNotice);
    showStatus(openedReport(name, baud, lenght, parity, stopbit, xof));
}

void MainWindow::slot_port_notopend(QString name) { showStatus(notOpenedReport(name)); }

void MainWindow::slot_show_message(QString message) { showStatus(message); }

void MainWindow::showNotice(const QString &text, const QString &details) { m_status->setNotice(text, details); }

void MainWindow::withdrawNotice(const QString &text) {
    if (m_status->notice() == text)
        showNotice(QString());
}

void MainWindow::slot_no_port_found() {
    showStatus(noPortReport());
    showNotice(noPortNotice, QStringLiteral("Автоматический поиск не нашёл ни одного последовательного порта. "
                                            "Подключите адаптер и проверьте, что система его видит (драйвер)."));
}

bool MainWindow::event(QEvent *event) {
    if (event->type() == QEvent::StatusTip)
        return true;
    return QMainWindow::event(event);
}

// Each report stays on screen until the next one replaces it.
void MainWindow::showStatus(const QString &text) {
    m_status->setReport(text);
    if (com_log == 1)
        emit signal_write_to_log_file(text);
}
