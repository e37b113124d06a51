#include "dialogs/connectionchoice.h"

#include "serial/serialthread.h"

void storeChoice(const ConnectionChoice &choice, SettingsMap &map) {
    map.insert(QStringLiteral("COM Port"), choice.port);
    map.insert(QStringLiteral("BaudRate"), choice.baud);
    map.insert(QStringLiteral("Lenght"), choice.lenght);
    map.insert(QStringLiteral("Stop Bit"), choice.stopBit);
    map.insert(QStringLiteral("Parity"), choice.parity);
    map.insert(QStringLiteral("COM Auto"), choice.autoSearch ? QStringLiteral("true") : QStringLiteral("false"));
}

void applyChoice(const ConnectionChoice &choice, SerialThread &worker) {
    worker.com_port = choice.port;
    worker.baud = baudFromText(choice.baud);
    worker.lenght = dataBitsFromText(choice.lenght);
    worker.stopbit = stopBitsFromText(choice.stopBit);
    worker.parity = parityFromText(choice.parity);
    worker.com_auto = choice.autoSearch;
}
