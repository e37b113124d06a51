#include "mainwindow/addressvalidator.h"

#include "protocol/fieldcheck.h"

// The C locale also keeps fixup() to ASCII digits when it rewrites an unfinished address.
AddressValidator::AddressValidator(QObject *parent) : QIntValidator(1, 250, parent) { setLocale(QLocale::c()); }

// Three digits above 250 stay intermediate, as before: the command refuses an address above 255 itself.
QValidator::State AddressValidator::validate(QString &input, int &position) const {
    if (!Commands::isAsciiDigits(input))
        return Invalid;
    return QIntValidator::validate(input, position);
}
