#include "serial/portdiagnosis.h"
#include "serial/serialthread.h"

#include <QSignalSpy>
#include <QtTest>

// Ports as Windows names them, in the reasons the operator reads.
class tst_winports : public QObject {
    Q_OBJECT

private slots:
    void missingPortNamedAsWindowsDoes_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("COM9") << QStringLiteral("COM9") << "не открыт: нет такого устройства COM9";
        QTest::newRow("COM10") << QStringLiteral("COM10") << "не открыт: нет такого устройства COM10";
        QTest::newRow("empty") << QStringLiteral("") << "не открыт: порт не задан";
    }

    // Through the real worker and Windows' own refusal, not a made-up error code.
    void missingPortNamedAsWindowsDoes() {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        SerialThread worker;
        worker.com_auto = false;
        worker.com_port = name;
        QSignalSpy failed(&worker, &SerialThread::signal_attempt_failed);
        worker.slot_data_send(QByteArray("CMDy\x00\x00\x00\x01\x01\x11", 10));
        QTRY_COMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(0).toString(), name);
        QCOMPARE(failed.at(0).at(1).toString(), reason);
    }
};

QTEST_GUILESS_MAIN(tst_winports)
#include "tst_winports.moc"
