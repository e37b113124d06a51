#include "app/mainwindow.h"
#include "app/settingsfile.h"
#include "dialogs/settings_dlg.h"
#include "serial/portlist.h"
#include "serial/serialthread.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <unistd.h>

using DialogStep = std::function<void(settings_dlg *)>;

static const QStringList defaultLines = {"COM Log", "1",      "COM Port", "",         "BaudRate", "115200",   "Parity",
                                         "none",    "Lenght", "8 bit",    "Stop Bit", "1 bit",    "COM Auto", "true"};

static void writeSettings(const QStringList &lines) {
    QFile file(QStringLiteral("settings.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    for (const QString &line : lines)
        file.write(line.toLocal8Bit() + "\r\n");
}

static QByteArray fileBytes() {
    QFile file(QStringLiteral("settings.ini"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

static QStringList fileLines() {
    QStringList lines = QString::fromLocal8Bit(fileBytes()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString &line : lines)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    return lines;
}

static QStringList entries(const QComboBox *box) {
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

// Runs the step inside the dialog's own event loop, once the dialog is the modal window.
static void whenDialogShown(DialogStep step, int triesLeft = 200) {
    QTimer::singleShot(triesLeft == 200 ? 0 : 5, [step, triesLeft] {
        if (auto *dialog = qobject_cast<settings_dlg *>(QApplication::activeModalWidget()))
            step(dialog);
        else if (triesLeft > 0)
            whenDialogShown(step, triesLeft - 1);
    });
}

static void openSettingsFromMenu(MainWindow &window) {
    auto *action = window.findChild<QAction *>(QStringLiteral("action_settings"));
    QVERIFY(action);
    action->trigger();
}

class tst_settingsdialog : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void form();
    void presets_data();
    void presets();
    void unreadableFile_data();
    void unreadableFile();
    void autoTogglesPort();
    void okWritesWorkerAndFile_data();
    void okWritesWorkerAndFile();
    void okWithoutFileWritesSixKeys();
    void okWithoutWorker();
    void rejectChangesNothing_data();
    void rejectChangesNothing();
    void eachOpeningListsPortsAfresh();

private:
    void setWorkerValues();
    void verifyWorkerUntouched();

    QTemporaryDir *m_dir = nullptr;
    QString m_oldDir;
    SerialThread *m_worker = nullptr;
    QStringList m_ports;
};

void tst_settingsdialog::init() {
    m_oldDir = QDir::currentPath();
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
    m_ports = QStringList({QStringLiteral("ttyS0"), QStringLiteral("ttyUSB0")});
    setPortLister([this] { return m_ports; });
    m_worker = new SerialThread(nullptr);
    serial_thread = m_worker;
    setWorkerValues();
}

void tst_settingsdialog::cleanup() {
    serial_thread = nullptr;
    delete m_worker;
    m_worker = nullptr;
    setPortLister(nullptr);
    QDir::setCurrent(m_oldDir);
    delete m_dir;
    m_dir = nullptr;
}

// Values that no choice in the dialog produces, so that any write shows.
void tst_settingsdialog::setWorkerValues() {
    m_worker->com_port = QStringLiteral("before");
    m_worker->baud = 1;
    m_worker->lenght = 5;
    m_worker->parity = 9;
    m_worker->stopbit = 9;
    m_worker->com_auto = true;
}

void tst_settingsdialog::verifyWorkerUntouched() {
    QCOMPARE(m_worker->com_port, QStringLiteral("before"));
    QCOMPARE(m_worker->baud, 1);
    QCOMPARE(m_worker->lenght, quint8(5));
    QCOMPARE(m_worker->parity, quint8(9));
    QCOMPARE(m_worker->stopbit, quint8(9));
    QCOMPARE(m_worker->com_auto, true);
}

void tst_settingsdialog::form() {
    settings_dlg dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("settings_dlg"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Настройки связи"));
    QCOMPARE(dialog.size(), QSize(267, 212));
    const Qt::WindowFlags flags = dialog.windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));
    for (QComboBox *box : {dialog.cB_COM, dialog.cB_BaudRate, dialog.cB_Lenght, dialog.cB_Parity, dialog.cB_stop_bit}) {
        QCOMPARE(box->minimumWidth(), 100);
        QCOMPARE(box->maximumWidth(), 100);
        QVERIFY(!box->isEditable());
    }
    QCOMPARE(entries(dialog.cB_BaudRate), QStringList({"2400", "4800", "9600", "19200", "38400", "115200"}));
    QCOMPARE(entries(dialog.cB_Lenght), QStringList({"7 bit", "8 bit"}));
    QCOMPARE(entries(dialog.cB_Parity), QStringList({"even", "odd", "none"}));
    QCOMPARE(entries(dialog.cB_stop_bit), QStringList({"1 bit", "2 bit"}));
    QCOMPARE(dialog.label->text(), QStringLiteral("Порт"));
    QCOMPARE(dialog.chB_Auto->text(), QStringLiteral("Авто"));
    QCOMPARE(dialog.pB_OK->text(), QStringLiteral("OK"));
}

void tst_settingsdialog::presets_data() {
    QTest::addColumn<QStringList>("file"); // empty: no file at all
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<QStringList>("comEntries");
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("autoSearch");
    QTest::addColumn<QString>("baud");
    QTest::addColumn<QString>("lenght");
    QTest::addColumn<QString>("parity");
    QTest::addColumn<QString>("stopBit");

    const QStringList ports = {"ttyS0", "ttyUSB0"};
    const QStringList listed = {"", "ttyS0", "ttyUSB0"};
    QStringList noAuto = defaultLines;
    noAuto[13] = "false";
    QStringList missingAuto = defaultLines.mid(0, 12);
    QStringList stored = {"COM Port", "ttyUSB0", "BaudRate", "9600",  "Parity",   "even",
                          "Lenght",   "7 bit",   "Stop Bit", "2 bit", "COM Auto", "false"};
    QStringList strange = {"COM Port", "",     "BaudRate", "12345", "Parity",   "Even",
                           "Lenght",   "8bit", "Stop Bit", "3 bit", "COM Auto", "TRUE"};
    QStringList unlisted = defaultLines;
    unlisted[3] = "ttyACM7";
    QStringList listedPort = defaultLines;
    listedPort[3] = "ttyS0";

    QTest::newRow("no file") << QStringList() << ports << listed << "" << true << "115200"
                             << "8 bit"
                             << "none"
                             << "1 bit";
    QTest::newRow("default file") << defaultLines << ports << listed << "" << true << "115200"
                                  << "8 bit"
                                  << "none"
                                  << "1 bit";
    QTest::newRow("COM Auto false") << noAuto << ports << listed << "" << false << "115200"
                                    << "8 bit"
                                    << "none"
                                    << "1 bit";
    QTest::newRow("COM Auto missing") << missingAuto << ports << listed << "" << false << "115200"
                                      << "8 bit"
                                      << "none"
                                      << "1 bit";
    QTest::newRow("stored values") << stored << ports << listed << "ttyUSB0" << false << "9600"
                                   << "7 bit"
                                   << "even"
                                   << "2 bit";
    QTest::newRow("values that are no entries") << strange << ports << listed << "" << false << "115200"
                                                << "8 bit"
                                                << "none"
                                                << "1 bit";
    QTest::newRow("listed port") << listedPort << ports << listed << "ttyS0" << true << "115200"
                                 << "8 bit"
                                 << "none"
                                 << "1 bit";
    QTest::newRow("port not listed") << unlisted << ports << QStringList({"", "ttyS0", "ttyUSB0", "ttyACM7"})
                                     << "ttyACM7" << true << "115200"
                                     << "8 bit"
                                     << "none"
                                     << "1 bit";
    QTest::newRow("no ports, port stored")
        << unlisted << QStringList() << QStringList({"", "ttyACM7"}) << "ttyACM7" << true << "115200"
        << "8 bit"
        << "none"
        << "1 bit";
    QTest::newRow("no ports") << defaultLines << QStringList() << QStringList({""}) << "" << true << "115200"
                              << "8 bit"
                              << "none"
                              << "1 bit";
}

void tst_settingsdialog::presets() {
    QFETCH(QStringList, file);
    QFETCH(QStringList, ports);
    if (!file.isEmpty())
        writeSettings(file);
    m_ports = ports;

    settings_dlg dialog;
    QTEST(entries(dialog.cB_COM), "comEntries");
    QTEST(dialog.cB_COM->currentText(), "port");
    QTEST(dialog.chB_Auto->isChecked(), "autoSearch");
    QCOMPARE(dialog.cB_COM->isEnabled(), !dialog.chB_Auto->isChecked());
    QTEST(dialog.cB_BaudRate->currentText(), "baud");
    QTEST(dialog.cB_Lenght->currentText(), "lenght");
    QTEST(dialog.cB_Parity->currentText(), "parity");
    QTEST(dialog.cB_stop_bit->currentText(), "stopBit");
}

void tst_settingsdialog::unreadableFile_data() {
    QTest::addColumn<bool>("asDirectory");
    QTest::newRow("no read permission") << false;
    QTest::newRow("a directory named settings.ini") << true;
}

// A file that exists but cannot be read gives the picture of an empty map.
void tst_settingsdialog::unreadableFile() {
    QFETCH(bool, asDirectory);
    if (asDirectory) {
        QVERIFY(QDir().mkdir(QStringLiteral("settings.ini")));
    } else {
        writeSettings(defaultLines);
        QVERIFY(QFile::setPermissions(QStringLiteral("settings.ini"), QFileDevice::WriteOwner));
        QFile probe(QStringLiteral("settings.ini"));
        if (probe.open(QIODevice::ReadOnly))
            QSKIP("This user reads files without read permission (root); the directory row covers the case.");
    }
    QVERIFY(settings_file.exists());

    settings_dlg dialog;
    QCOMPARE(dialog.cB_COM->currentText(), QString());
    QVERIFY(!dialog.chB_Auto->isChecked());
    QVERIFY(dialog.cB_COM->isEnabled());
    QCOMPARE(dialog.cB_BaudRate->currentText(), QStringLiteral("115200"));
    QCOMPARE(dialog.cB_Lenght->currentText(), QStringLiteral("8 bit"));
    QCOMPARE(dialog.cB_Parity->currentText(), QStringLiteral("none"));
    QCOMPARE(dialog.cB_stop_bit->currentText(), QStringLiteral("1 bit"));
}

void tst_settingsdialog::autoTogglesPort() {
    writeSettings(QStringList(defaultLines).replaceInStrings(QRegularExpression("^$"), "ttyUSB0"));
    settings_dlg dialog;
    QCOMPARE(dialog.cB_COM->currentText(), QStringLiteral("ttyUSB0"));
    QVERIFY(dialog.chB_Auto->isChecked());
    QVERIFY(!dialog.cB_COM->isEnabled());

    dialog.chB_Auto->click();
    QVERIFY(dialog.cB_COM->isEnabled());
    QCOMPARE(dialog.cB_COM->currentText(), QStringLiteral("ttyUSB0"));
    dialog.chB_Auto->click();
    QVERIFY(!dialog.cB_COM->isEnabled());
    QCOMPARE(dialog.cB_COM->currentText(), QStringLiteral("ttyUSB0"));
}

void tst_settingsdialog::okWritesWorkerAndFile_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("autoSearch");
    QTest::addColumn<QString>("baud");
    QTest::addColumn<QString>("lenght");
    QTest::addColumn<QString>("parity");
    QTest::addColumn<QString>("stopBit");
    QTest::addColumn<int>("baudCode");
    QTest::addColumn<int>("lenghtCode");
    QTest::addColumn<int>("parityCode");
    QTest::addColumn<int>("stopCode");

    QTest::newRow("odd, manual") << "ttyUSB0" << false << "2400"
                                 << "7 bit"
                                 << "odd"
                                 << "2 bit" << 2400 << 7 << 3 << 2;
    QTest::newRow("even, auto") << "ttyS0" << true << "19200"
                                << "8 bit"
                                << "even"
                                << "1 bit" << 19200 << 8 << 2 << 1;
    QTest::newRow("none, no port") << "" << true << "115200"
                                   << "8 bit"
                                   << "none"
                                   << "1 bit" << 115200 << 8 << 0 << 1;
}

// "OK" gives the worker the codes and rewrites the file in key order, keeping what the dialog does not show.
void tst_settingsdialog::okWritesWorkerAndFile() {
    QFETCH(QString, port);
    QFETCH(bool, autoSearch);
    QFETCH(QString, baud);
    QFETCH(QString, lenght);
    QFETCH(QString, parity);
    QFETCH(QString, stopBit);
    writeSettings(QStringList(defaultLines) << "Zeta key"
                                            << "z value"
                                            << "Alpha"
                                            << "a value"
                                            << "COM Log"
                                            << "0");

    MainWindow window;
    bool ran = false;
    whenDialogShown([&](settings_dlg *dialog) {
        ran = true;
        if (dialog->chB_Auto->isChecked() == autoSearch)
            dialog->chB_Auto->click();
        dialog->chB_Auto->click();
        dialog->cB_COM->setCurrentText(port);
        dialog->cB_BaudRate->setCurrentText(baud);
        dialog->cB_Lenght->setCurrentText(lenght);
        dialog->cB_Parity->setCurrentText(parity);
        dialog->cB_stop_bit->setCurrentText(stopBit);
        QTest::mouseClick(dialog->pB_OK, Qt::LeftButton);
    });
    openSettingsFromMenu(window);
    QVERIFY(ran);

    QCOMPARE(m_worker->com_port, port);
    QCOMPARE(m_worker->com_auto, autoSearch);
    QTEST(int(m_worker->baud), "baudCode");
    QTEST(int(m_worker->lenght), "lenghtCode");
    QTEST(int(m_worker->parity), "parityCode");
    QTEST(int(m_worker->stopbit), "stopCode");

    const QStringList expected = {"Alpha",   "a value", "BaudRate", baud,    "COM Auto", autoSearch ? "true" : "false",
                                  "COM Log", "0",       "COM Port", port,    "Lenght",   lenght,
                                  "Parity",  parity,    "Stop Bit", stopBit, "Zeta key", "z value"};
    QCOMPARE(fileLines(), expected);

    // A fresh load of the rewritten file gives the worker's codes.
    const ConnectionValues loaded = connectionValuesFromMap(read_settings_map());
    QCOMPARE(loaded.com_port, m_worker->com_port);
    QCOMPARE(loaded.baud, m_worker->baud);
    QCOMPARE(loaded.lenght, m_worker->lenght);
    QCOMPARE(loaded.parity, m_worker->parity);
    QCOMPARE(loaded.stopbit, m_worker->stopbit);
    QCOMPARE(loaded.com_auto, m_worker->com_auto);
}

void tst_settingsdialog::okWithoutFileWritesSixKeys() {
    MainWindow window;
    whenDialogShown([](settings_dlg *dialog) { dialog->pB_OK->click(); });
    openSettingsFromMenu(window);
    QCOMPARE(fileLines(), QStringList({"BaudRate", "115200", "COM Auto", "true", "COM Port", "", "Lenght", "8 bit",
                                       "Parity", "none", "Stop Bit", "1 bit"}));
    QCOMPARE(m_worker->com_auto, true);
    QCOMPARE(m_worker->baud, 115200);
}

void tst_settingsdialog::okWithoutWorker() {
    serial_thread = nullptr;
    writeSettings(defaultLines);
    MainWindow window;
    whenDialogShown([](settings_dlg *dialog) {
        dialog->cB_Parity->setCurrentText(QStringLiteral("even"));
        dialog->pB_OK->click();
    });
    openSettingsFromMenu(window);
    QCOMPARE(fileLines().mid(10, 2), QStringList({"Parity", "even"}));
    verifyWorkerUntouched();
}

void tst_settingsdialog::rejectChangesNothing_data() {
    QTest::addColumn<bool>("byEscape");
    QTest::newRow("close button") << false;
    QTest::newRow("Escape") << true;
}

void tst_settingsdialog::rejectChangesNothing() {
    QFETCH(bool, byEscape);
    writeSettings(QStringList(defaultLines) << "Extra"
                                            << "kept");
    const QByteArray before = fileBytes();

    MainWindow window;
    bool ran = false;
    whenDialogShown([&](settings_dlg *dialog) {
        ran = true;
        dialog->chB_Auto->click();
        dialog->cB_COM->setCurrentText(QStringLiteral("ttyS0"));
        dialog->cB_Parity->setCurrentText(QStringLiteral("odd"));
        if (byEscape)
            QTest::keyClick(dialog, Qt::Key_Escape);
        else
            dialog->close();
    });
    openSettingsFromMenu(window);
    QVERIFY(ran);
    QCOMPARE(fileBytes(), before);
    verifyWorkerUntouched();
}

void tst_settingsdialog::eachOpeningListsPortsAfresh() {
    writeSettings(defaultLines);
    MainWindow window;
    QStringList seen;
    const DialogStep look = [&](settings_dlg *dialog) {
        seen << entries(dialog->cB_COM).join(QLatin1Char(','));
        dialog->close();
    };
    whenDialogShown(look);
    openSettingsFromMenu(window);
    m_ports = QStringList(QStringLiteral("ttyACM0"));
    whenDialogShown(look);
    openSettingsFromMenu(window);
    QCOMPARE(seen, QStringList({",ttyS0,ttyUSB0", ",ttyACM0"}));
}

QTEST_MAIN(tst_settingsdialog)
#include "tst_settingsdialog.moc"
