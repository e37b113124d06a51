#include "dialogs/about_dl.h"
#include "dialogs/makerinfo.h"
#include "mainwindow/mainwindow.h"

#include <QAction>
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
    // "О программе" shows the dialog modally: logo, the build's version and maker, a link for the browser.
    void fromTheMenu() {
        MainWindow window;
        QString link, texts;
        bool helpButton = true, logo = false, external = false;
        QTimer::singleShot(0, [&] {
            auto *shown = qobject_cast<About_dl *>(QApplication::activeModalWidget());
            if (!shown)
                return;
            helpButton = shown->windowFlags().testFlag(Qt::WindowContextHelpButtonHint);
            logo = !shown->label_4->pixmap(Qt::ReturnByValue).isNull();
            external = shown->lB_link->openExternalLinks();
            link = shown->lB_link->text();
            texts = QStringList{shown->label->text(), shown->label_2->text(), shown->label_3->text()}.join('|');
            QTest::mouseClick(shown->pB_close, Qt::LeftButton);
        });
        window.findChild<QAction *>(QStringLiteral("action_about"))->trigger();
        // The version and the maker's name are the ones the build was configured with.
        QCOMPARE(texts, QString::fromUtf8("ЗЕВР-3G-Config|Версия " ZEVR_PROJECT_VERSION "|" ZEVR_MAKER_NAME));
        QVERIFY(!helpButton && logo && external);
        const QString address = QString::fromUtf8(ZEVR_MAKER_URL);
        QCOMPARE(anchorsOf(link), QStringList({address, address.mid(address.indexOf("://") + 3)}));
    }

    // Markup in the configured address stays text; an address without a scheme is shown as it stands.
    void linkText() {
        for (const QString address : {"http://example.org/zevr/?a=1&b=<2>", "example.org"})
            QCOMPARE(anchorsOf(linkHtml(address)), QStringList({address, QString(address).remove("http://")}));
    }
};

QTEST_MAIN(tst_about)
#include "tst_about.moc"
