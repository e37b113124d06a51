#include "serial/linkreports.h"

// The numbers are the worker's codes, not words: parity 2 is even parity.
QString openedReport(const QString &name, int baud, int lenght, quint8 parity, int stopbit, const QString &xof) {
    const QChar dash(QLatin1Char('-'));
    return QStringLiteral("Открыт ") + name + dash + QString::number(baud) + dash + QString::number(lenght) + dash +
           QString::number(uint(parity)) + dash + QString::number(stopbit) + dash + xof;
}

QString notOpenedReport(const QString &name) {
    if (name.isEmpty())
        return QStringLiteral("Порт не выбран: выберите порт в «Настройки связи» или включите «Авто»");
    return name + QStringLiteral("  не открыт");
}

QString noPortReport() { return QStringLiteral("Порт не найден: система не видит ни одного последовательного порта"); }
