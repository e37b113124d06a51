#ifndef SYSTEMREASON_H
#define SYSTEMREASON_H

#include <QString>

// The reasons the system gives (errno texts, the serial library's and Qt's error strings) in the operator's
// language. An English text that is known here becomes Russian; a text the system already gave in another language
// (a Russian Windows, a translated C library) stays as it is.
namespace SystemReason {

// The Russian words alone, for the status bar; an English text not known here is kept behind a Russian lead.
QString russian(const QString &systemText);
// The Russian words with the system's own after them in brackets, for the history, the tooltips and the sender's
// lines, where an administrator may want to search for the original.
QString withOriginal(const QString &systemText);

} // namespace SystemReason

#endif // SYSTEMREASON_H
