#include "app/mainwindow.h"
#include "dialogs/about_dl.h"
#include "dialogs/makerinfo.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QPointer>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <functional>

struct Anchor {
    QString href;
    QString text;
};

// Every anchor of a rich text, as a reader of the label would find it.
static QList<Anchor> anchorsOf(const QString &html) {
    QTextDocument document;
    document.setHtml(html);
    QList<Anchor> anchors;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isAnchor())
                continue;
            if (!anchors.isEmpty() && anchors.last().href == format.anchorHref())
                anchors.last().text += it.fragment().text();
            else
                anchors.append({format.anchorHref(), it.fragment().text()});
        }
    }
    return anchors;
}

static void whenAboutShown(std::function<void(About_dl *)> step, int triesLeft = 200) {
    QTimer::singleShot(triesLeft == 200 ? 0 : 5, [step, triesLeft] {
        if (auto *dialog = qobject_cast<About_dl *>(QApplication::activeModalWidget()))
            step(dialog);
        else if (triesLeft > 0)
            whenAboutShown(step, triesLeft - 1);
    });
}

// Stands in for the web browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

class tst_about : public QObject {
    Q_OBJECT

private slots:
    void form();
    void texts();
    void linkText_data();
    void linkText();
    void menuShowsOneDialogAtATime();
    void clickingTheLinkOpensItAndKeepsTheDialog();
};

void tst_about::form() {
    About_dl dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("About"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("О программе"));
    QCOMPARE(dialog.size(), QSize(422, 217));
    QCOMPARE(dialog.maximumSize(), QSize(460, 300));
    const Qt::WindowFlags flags = dialog.windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));
    QVERIFY(dialog.label_4->pixmap() && !dialog.label_4->pixmap()->isNull());
    QVERIFY(dialog.label_4->hasScaledContents());
    QCOMPARE(dialog.qt_metacast("Ui::About"), static_cast<void *>(static_cast<Ui::About *>(&dialog)));
}

void tst_about::texts() {
    About_dl dialog;
    QCOMPARE(dialog.label->text(), QStringLiteral("ЗЕВР-3G-Config"));
    QCOMPARE(dialog.label_2->text(), QStringLiteral("Версия 1.2"));
    QCOMPARE(dialog.label_3->text(), QString::fromUtf8(ZEVR_MAKER_NAME));
    QCOMPARE(dialog.pB_close->text(), QStringLiteral("Закрыть"));
    for (QLabel *label : {dialog.label, dialog.label_2, dialog.label_3, dialog.lB_link})
        QCOMPARE(label->alignment(), Qt::AlignCenter);

    QVERIFY(dialog.lB_link->openExternalLinks());
    QVERIFY(Qt::mightBeRichText(dialog.lB_link->text()));
    const QList<Anchor> anchors = anchorsOf(dialog.lB_link->text());
    QCOMPARE(anchors.size(), 1);
    QCOMPARE(anchors.first().href, QString::fromUtf8(ZEVR_MAKER_URL));
    QVERIFY(!anchors.first().text.isEmpty());
    QVERIFY(QString::fromUtf8(ZEVR_MAKER_URL).endsWith(anchors.first().text));
    QVERIFY(!anchors.first().text.contains(QLatin1String("://")));
}

void tst_about::linkText_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("visible");
    QTest::newRow("https") << "https://zevr-3g-config.example.org"
                           << "zevr-3g-config.example.org";
    QTest::newRow("http with path") << "http://example.org/zevr/"
                                    << "example.org/zevr/";
    QTest::newRow("query with ampersand") << "https://example.org/?a=1&b=<2>"
                                          << "example.org/?a=1&b=<2>";
    QTest::newRow("no scheme") << "example.org"
                               << "example.org";
}

void tst_about::linkText() {
    QFETCH(QString, address);
    const QList<Anchor> anchors = anchorsOf(linkHtml(address));
    QCOMPARE(anchors.size(), 1);
    QCOMPARE(anchors.first().href, address);
    QTEST(anchors.first().text, "visible");
}

void tst_about::menuShowsOneDialogAtATime() {
    MainWindow window;
    auto *action = window.findChild<QAction *>(QStringLiteral("action_about"));
    QVERIFY(action);
    QList<QPointer<About_dl>> shown;
    const auto closeIt = [&](About_dl *dialog) {
        shown << dialog;
        const QWidgetList windows = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(windows.begin(), windows.end(), [](QWidget *w) { return qobject_cast<About_dl *>(w); }),
                 1);
        dialog->pB_close->click();
    };
    whenAboutShown(closeIt);
    action->trigger();
    whenAboutShown([&](About_dl *dialog) {
        shown << dialog;
        dialog->close();
    });
    action->trigger();
    QCOMPARE(shown.size(), 2);
    QVERIFY(shown.at(0).isNull());
    QVERIFY(shown.at(1).isNull());
}

void tst_about::clickingTheLinkOpensItAndKeepsTheDialog() {
    const QUrl address(QString::fromUtf8(ZEVR_MAKER_URL));
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(address.scheme(), &catcher, "open");
    About_dl dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // The label holds the link alone, centred, so its middle lies on the link.
    QTest::mouseClick(dialog.lB_link, Qt::LeftButton, Qt::NoModifier, dialog.lB_link->rect().center());
    QDesktopServices::unsetUrlHandler(address.scheme());

    QCOMPARE(catcher.urls, QList<QUrl>{address});
    QVERIFY(dialog.isVisible());
}

QTEST_MAIN(tst_about)
#include "tst_about.moc"
