// Runs the built program on private X servers of a field laptop's size and density and of high-density screens,
// and measures from outside what the window manager is asked for: the window's least size on every page.

#include "support/xsession.h"

#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

namespace {

const QString windowTitle = QStringLiteral("ЗЕВР-3G-Config v.1.2");
// At 96 DPI; a screen of 1366 x 768 less a panel and a title bar.
const QSize goal(1000, 680);

struct Page {
    const char *name;
    QStringList keys; // from the page before: the keyboard as an operator would use it
};

// The window starts on the station tab's single-channel page, with the tab bar holding the keyboard.
const QList<Page> pages = {{"station, single-channel", {}},
                           {"station, multi-channel", {"Tab", "Right"}}, // into "Одноканальная", then the next button
                           {"time", {"ctrl+Tab"}},
                           {"meter", {"ctrl+Tab"}}};

QString sizeText(const QSize &size) { return QStringLiteral("%1x%2").arg(size.width()).arg(size.height()); }

} // namespace

class tst_screenfit : public QObject {
    Q_OBJECT
private slots:
    // The sizes are those of the style sheet's font, Times New Roman, or its metric twin that the scripts install.
    void initTestCase() {
        QProcess match;
        match.start(QStringLiteral("fc-match"), {QStringLiteral("Times New Roman")});
        QVERIFY2(match.waitForFinished(10000), "fc-match did not run; scripts/test.sh installs fontconfig");
        const QString font = QString::fromUtf8(match.readAllStandardOutput());
        QVERIFY2(font.contains(QRegularExpression(QStringLiteral("Liberation Serif|Tinos|Times New Roman"))),
                 qPrintable("Times New Roman is drawn with " + font + "; scripts/test.sh installs fonts-liberation2"));
    }

    void everyPageFits_data() {
        QTest::addColumn<int>("dpi");
        QTest::addColumn<QSize>("screen");
        // The rows in this order: the denser screens are compared with the first.
        QTest::newRow("96 DPI, 1366x768") << 96 << QSize(1366, 768);
        QTest::newRow("144 DPI, 2049x1152") << 144 << QSize(2049, 1152);
        QTest::newRow("192 DPI, 2732x1536") << 192 << QSize(2732, 1536);
    }

    void everyPageFits() {
        QFETCH(int, dpi);
        QFETCH(QSize, screen);
        const qreal factor = dpi / 96.0;
        XServer x(QStringLiteral("%1x%2x24").arg(screen.width()).arg(screen.height()), dpi);
        QVERIFY2(x.isValid(), "Xvfb or xprop did not start; scripts/test.sh installs xvfb and x11-utils");
        QTemporaryDir workDir, runtimeDir;
        ProgramUnderX program(x.display(), workDir.path(), runtimeDir.path());
        const quint32 window = program.waitForWindow(windowTitle);
        QVERIFY2(window, "no main window");
        QVERIFY2(QRect(QPoint(0, 0), screen).contains(windowGeometry(x.display(), window)),
                 "the window opens off screen");

        QList<QImage> seen;
        QList<QSize> least;
        for (const Page &page : pages) {
            if (!page.keys.isEmpty())
                program.pressKeys(window, page.keys);
            QImage picture;
            const bool shown = waitUntil(10000, [&] {
                picture = grabWindow(x.display(), window);
                return !picture.isNull() && std::find(seen.cbegin(), seen.cend(), picture) == seen.cend();
            });
            QVERIFY2(shown, page.name);
            seen << picture;
            picture.save(QStringLiteral("%1 dpi, %2.png").arg(dpi).arg(QLatin1String(page.name)));
            const QSize minimum = minimumWindowSize(x.display(), window);
            const QString measured = QStringLiteral("%1 at %2 DPI: least size %3")
                                         .arg(QLatin1String(page.name), QString::number(dpi), sizeText(minimum));
            qInfo().noquote() << measured;
            QVERIFY2(minimum.isValid(), qPrintable(measured));
            QVERIFY2(minimum.width() <= qRound(goal.width() * factor) &&
                         minimum.height() <= qRound(goal.height() * factor),
                     qPrintable(measured));
            least << minimum;
        }
        QVERIFY2(program.chooseExit(window), "the menu \"Файл\" did not open");
        QCOMPARE(program.waitForExit(), 0);

        // Scaled as a whole: fields of fixed width grow with the fonts, so nothing is cut.
        if (dpi == 96) {
            m_leastAt96 = least;
            return;
        }
        QCOMPARE(m_leastAt96.size(), pages.size());
        for (int i = 0; i < pages.size(); ++i) {
            const QSizeF expected = QSizeF(m_leastAt96[i]) * factor;
            QVERIFY2(qAbs(least[i].width() - expected.width()) <= 2 && qAbs(least[i].height() - expected.height()) <= 2,
                     qPrintable(QStringLiteral("%1, at 96 DPI %2").arg(pages[i].name, sizeText(m_leastAt96[i]))));
        }
    }

private:
    QList<QSize> m_leastAt96; // per page, the baseline of the denser screens
};

QTEST_GUILESS_MAIN(tst_screenfit)
#include "tst_screenfit.moc"
