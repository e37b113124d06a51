#ifndef MAKERINFO_H
#define MAKERINFO_H

#include <QString>

// The maker's name and web address, chosen when the program is built.
QString makerName();
QString makerUrl();

// One anchor to the address whose visible text is the address without its scheme.
QString linkHtml(const QString &address);

#endif // MAKERINFO_H
