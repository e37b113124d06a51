#include "dialogs/about_dl.h"
#include "dialogs/makerinfo.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

// The target and the visible text of every anchor, as the label shows them.
static QStringList anchorsOf(const QString &html) {
    QTextDocument document;
    document.setHtml(html);
    QStringList anchors;
    for (auto it = document.begin().begin(); !it.atEnd(); ++it) {
        const QTextCharFormat format = it.fragment().charFormat();
        if (format.isAnchor())
            anchors << format.anchorHref() << it.fragment().text();
    }
    return anchors;
}

class tst_about : public QObject {
    Q_OBJECT

private slots:
    void texts();
    void linkText_data();
    void linkText();
};

void tst_about::texts() {
    About_dl dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("О программе"));
    QVERIFY(!dialog.windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
    QVERIFY(dialog.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QCOMPARE(dialog.label->text(), QStringLiteral("ЗЕВР-3G-Config"));
    QCOMPARE(dialog.label_2->text(), QStringLiteral("Версия 1.2"));
    QCOMPARE(dialog.label_3->text(), QString::fromUtf8(ZEVR_MAKER_NAME));
    QCOMPARE(dialog.pB_close->text(), QStringLiteral("Закрыть"));

    const QString address = QString::fromUtf8(ZEVR_MAKER_URL);
    QVERIFY(dialog.lB_link->openExternalLinks());
    QCOMPARE(anchorsOf(dialog.lB_link->text()), QStringList({address, address.mid(address.indexOf("://") + 3)}));
}

void tst_about::linkText_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("visible");
    QTest::newRow("markup in the query") << "http://example.org/zevr/?a=1&b=<2>"
                                         << "example.org/zevr/?a=1&b=<2>";
    QTest::newRow("no scheme") << "example.org"
                               << "example.org";
}

void tst_about::linkText() {
    QFETCH(QString, address);
    QFETCH(QString, visible);
    QCOMPARE(anchorsOf(linkHtml(address)), QStringList({address, visible}));
}

QTEST_MAIN(tst_about)
#include "tst_about.moc"
