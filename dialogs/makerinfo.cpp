#include "dialogs/makerinfo.h"

#include <QUrl>

#ifndef ZEVR_MAKER_NAME
#define ZEVR_MAKER_NAME "ZEVR-3G-Config project"
#endif
#ifndef ZEVR_MAKER_URL
#define ZEVR_MAKER_URL "https://zevr-3g-config.example.org"
#endif

QString makerName() { return QString::fromUtf8(ZEVR_MAKER_NAME); }

QString makerUrl() { return QString::fromUtf8(ZEVR_MAKER_URL); }

static QString withoutScheme(const QString &address) {
    const QUrl url(address);
    if (url.scheme().isEmpty())
        return address;
    QString rest = address.mid(url.scheme().size() + 1);
    if (rest.startsWith(QLatin1String("//")))
        rest.remove(0, 2);
    return rest;
}

QString linkHtml(const QString &address) {
    return QStringLiteral("<a href=\"%1\">%2</a>").arg(address.toHtmlEscaped(), withoutScheme(address).toHtmlEscaped());
}
