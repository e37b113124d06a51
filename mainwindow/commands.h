#ifndef COMMANDS_H
#define COMMANDS_H

#include <QByteArray>

// Device commands, built from plain values without any widget.

#endif // COMMANDS_H
