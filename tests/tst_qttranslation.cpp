#include "app/qttranslation.h"

#include <QDialogButtonBox>
#include <QLibraryInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

namespace {

QString systemFile() {
    return QDir(QLibraryInfo::location(QLibraryInfo::TranslationsPath)).filePath(QStringLiteral("qtbase_ru.qm"));
}

QString cancelText() {
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    return buttons.button(QDialogButtonBox::Cancel)->text();
}

} // namespace

class tst_qttranslation : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (!QFile::exists(systemFile()))
            QSKIP("qtbase_ru.qm is missing: install qttranslations5-l10n (scripts/common.sh lists it)");
    }

    void cleanup() {
        for (QTranslator *translator : qApp->findChildren<QTranslator *>()) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
    }

    // The Windows folder carries the file in "translations" beside the program; it wins over Qt's folder.
    void besideTheProgramFirst() {
        QTemporaryDir program;
        QVERIFY(QDir(program.path()).mkdir(QStringLiteral("translations")));
        const QString beside = program.filePath(QStringLiteral("translations/qtbase_ru.qm"));
        QVERIFY(QFile::copy(systemFile(), beside));
        QCOMPARE(installQtTranslation(program.path()), beside);
        QCOMPARE(cancelText(), QStringLiteral("Отмена"));
    }

    // Without the file Qt speaks English; with nothing beside the test program, Qt's folder gives it Russian.
    void qtTextsInRussian() {
        QVERIFY2(!cancelText().contains(QRegularExpression(QStringLiteral("[А-Яа-я]"))), qPrintable(cancelText()));
        QCOMPARE(installQtTranslation(QCoreApplication::applicationDirPath()), systemFile());
        QCOMPARE(cancelText(), QStringLiteral("Отмена"));
    }
};

QTEST_MAIN(tst_qttranslation)
#include "tst_qttranslation.moc"
