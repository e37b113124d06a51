#ifndef LINKTIMING_H
#define LINKTIMING_H

#include <QByteArray>

// The exchange with the controller, shared by the link worker's files: the probe, the token its answer must
// hold, and the times that judge the answer.
namespace LinkTiming {
inline const QByteArray probe = QByteArrayLiteral("ZEVR-3G-Config");
inline const QByteArray deviceToken = QByteArrayLiteral("ZEVR-3G");
constexpr int quietGapMs = 20;
constexpr int answerTimeoutMs = 1000;
constexpr int writeTimeoutMs = 1000;
} // namespace LinkTiming

#endif // LINKTIMING_H
