#include "mainwindow/asciiinputvalidator.h"

#include "protocol/fieldcheck.h"

AsciiInputValidator::AsciiInputValidator(QObject *parent) : QValidator(parent) {}

// The mask's separators and blanks are neither letters nor digits; what it decides stays decided, so an
// accepted text is as acceptable as the mask alone would find it.
QValidator::State AsciiInputValidator::validate(QString &input, int &) const {
    for (QChar c : input)
        if (c.isLetterOrNumber() && !Commands::isAsciiLetter(c) && !Commands::isAsciiDigit(c))
            return Invalid;
    return Acceptable;
}
