#ifndef ADDRESSVALIDATOR_H
#define ADDRESSVALIDATOR_H

#include <QIntValidator>

// The one validator of the eight address fields: whole numbers 1 to 250, typed with the ASCII digits 0-9
// only. A plain integer validator follows the locale, so on a workstation with Arabic number formats it
// takes "١٢٣", and in any locale it takes a sign or a group separator ("+5", "1,5"); none of these is an
// address that the command can carry as shown.
class AddressValidator : public QIntValidator {
    Q_OBJECT

public:
    explicit AddressValidator(QObject *parent = nullptr);

    State validate(QString &input, int &position) const override;
};

#endif // ADDRESSVALIDATOR_H
