#include "protocol/commanddescription.h"

#include "protocol/commanddecoder.h"

#include <QJsonArray>
#include <QStringList>

namespace {

QString numbers(const QJsonArray &array) {
    QStringList texts;
    for (const QJsonValue &value : array)
        texts << QString::number(value.toInt());
    return texts.join(QLatin1Char(','));
}

QString singleChannel(const QJsonObject &json) {
    const QJsonArray addresses = json.value("addresses").toArray();
    const QJsonArray analog = json.value("analog").toArray();
    if (addresses.isEmpty())
        return QStringLiteral("w одноканальная, без БУ");
    QStringList units;
    for (int index = 0; index < addresses.size(); ++index) {
        const bool isAnalog = analog.contains(index + 1);
        units << QStringLiteral("БУ%1 %2 %3")
                     .arg(index + 1)
                     .arg(addresses.at(index).toInt())
                     .arg(isAnalog ? QStringLiteral("4-20 мА") : QStringLiteral("GSM/RS-485"));
    }
    return QStringLiteral("w одноканальная: ") + units.join(QStringLiteral(", "));
}

QString channel(int number, const QJsonObject &json) {
    QStringList cm;
    if (json.value("addr").toInt() != 0)
        cm << QString::number(json.value("addr").toInt());
    const QString more = numbers(json.value("more").toArray());
    if (!more.isEmpty())
        cm << more;
    return QStringLiteral("к%1 СМ %2, %3, код %4, № %5")
        .arg(number)
        .arg(cm.isEmpty() ? QStringLiteral("нет") : cm.join(QLatin1Char(',')))
        .arg(json.value("date").toString(), json.value("code").toString())
        .arg(qint64(json.value("serial").toDouble()));
}

QString multiChannel(const QJsonObject &json) {
    QStringList channels;
    const QJsonArray records = json.value("channels").toArray();
    for (int index = 0; index < records.size(); ++index)
        channels << channel(index + 1, records.at(index).toObject());
    return QStringLiteral("x многоканальная: ") + channels.join(QStringLiteral("; "));
}

QString meter(const QJsonObject &json) {
    switch (json.value("type_code").toInt()) {
    case 0:
        return QStringLiteral("z счетчик не подключен");
    case 1:
        return QStringLiteral("z импульсный счетчик, %1 кВт*ч, %2 имп./кВт*ч")
            .arg(json.value("reading").toString())
            .arg(json.value("coef").toInt());
    case 2:
        return QStringLiteral("z счетчик с выходом RS485");
    default:
        return QStringLiteral("z неизвестный тип счетчика %1").arg(json.value("type_code").toInt());
    }
}

} // namespace

QString describeCommand(const QByteArray &command) {
    const DecodedCommand decoded = decodeCommand(command);
    switch (decoded.letter) {
    case 'w':
        return singleChannel(decoded.json);
    case 'x':
        return multiChannel(decoded.json);
    case 'y':
        return QStringLiteral("y %1 %2").arg(decoded.json.value("time").toString(),
                                             decoded.json.value("date").toString());
    case 'z':
        return meter(decoded.json);
    default:
        return QStringLiteral("не команда контроллера, %1 байт").arg(command.size());
    }
}

QString hexBytes(const QByteArray &bytes) { return QString::fromLatin1(bytes.toHex(' ').toUpper()); }
