#ifndef ASCIIINPUTVALIDATOR_H
#define ASCIIINPUTVALIDATOR_H

#include <QValidator>

// Stands beside a field's input mask. The mask takes any letter for "A" and any digit for "9" or "0",
// whatever its script: a Cyrillic "А" looks exactly like the Latin one, and Arabic-Indic or full-width
// digits look like numbers, but none of them reaches the controller as what the operator sees. This
// validator refuses such a character as it is typed, pasted or dropped, the way the mask refuses a digit
// in a letter position.
class AsciiInputValidator : public QValidator {
    Q_OBJECT

public:
    explicit AsciiInputValidator(QObject *parent = nullptr);

    State validate(QString &input, int &position) const override;
};

#endif // ASCIIINPUTVALIDATOR_H
