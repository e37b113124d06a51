#ifndef QTTRANSLATION_H
#define QTTRANSLATION_H

#include <QString>

// Qt's own texts (the fields' context menus, the file dialogs, the standard buttons) in Russian, as the rest of the
// window. The file is taken from "translations" beside the program first, where the Windows folder carries it, then
// from Qt's translations folder, where Debian's qttranslations5-l10n puts it. Loading maps the file; nothing is read
// at start-up beyond that. Returns the file in use, empty when there is none and Qt speaks English.
QString installQtTranslation(const QString &programFolder);

#endif // QTTRANSLATION_H
