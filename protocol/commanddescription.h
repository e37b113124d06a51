#ifndef COMMANDDESCRIPTION_H
#define COMMANDDESCRIPTION_H

#include <QByteArray>
#include <QString>

// A command as the operator would say it, for the transmission history and the sender's record:
// "y 23:59:59 31/12/2099", "z импульсный, 1234.5 кВт*ч, 3200 имп./кВт*ч".
QString describeCommand(const QByteArray &command);

// "43 4D 44 79 ...": the exact bytes, upper-case hex, one space apart.
QString hexBytes(const QByteArray &bytes);

#endif // COMMANDDESCRIPTION_H
