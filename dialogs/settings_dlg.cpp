#include "dialogs/settings_dlg.h"

#include "serial/portlist.h"

static constexpr Qt::WindowFlags dialogFlags =
    Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

// Selecting by text keeps the current entry when no entry has that text, so a stray value in the
// file leaves the default in place.
static void selectText(QComboBox *box, const QString &text) {
    const int index = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        box->setCurrentIndex(index);
}

// Names such as ttyUSB0 or COM3 change between plug-ins; what the system tells about the adapter does not.
static QString portToolTip(const PortDetails &port) {
    QStringList lines;
    if (!port.description.isEmpty())
        lines << port.description;
    if (!port.manufacturer.isEmpty())
        lines << QStringLiteral("Производитель: ") + port.manufacturer;
    if (!port.serialNumber.isEmpty())
        lines << QStringLiteral("Серийный номер: ") + port.serialNumber;
    return lines.join(QLatin1Char('\n'));
}

static void addPort(QComboBox *box, const QString &name, const QString &toolTip) {
    box->addItem(name);
    box->setItemData(box->count() - 1, toolTip, Qt::ToolTipRole);
}

static void fillCombo(QComboBox *box, const QStringList &entries, const QString &selected) {
    box->addItems(entries);
    selectText(box, selected);
}

settings_dlg::settings_dlg(QWidget *parent) : QDialog(parent, dialogFlags) {
    setupUi(this);
    setWindowTitle(QStringLiteral("Настройки связи"));
    lb_PortHint->hide();
    fillPorts();
    fillLineSettings();
    // A file that gave the program nothing at start shows the values the link runs with instead.
    if (settings_file.exists())
        applySettings(check_settings_file().ok() ? read_settings_map() : parseSettings(defaultSettingsContent()));
    // The form's width is laid out for the style sheet's font; the port box asks for its names' width in the font it
    // will be shown in, and the dialog grows to give it.
    ensurePolished();
    cB_COM->setMinimumWidth(cB_COM->sizeHint().width());
}

void settings_dlg::storeChoice(SettingsMap &map) const {
    map.insert(QStringLiteral("COM Port"), chosenPort());
    map.insert(QStringLiteral("BaudRate"), cB_BaudRate->currentText());
    map.insert(QStringLiteral("Lenght"), cB_Lenght->currentText());
    map.insert(QStringLiteral("Stop Bit"), cB_stop_bit->currentText());
    map.insert(QStringLiteral("Parity"), cB_Parity->currentText());
    map.insert(QStringLiteral("COM Auto"), chB_Auto->isChecked() ? QStringLiteral("true") : QStringLiteral("false"));
}

void settings_dlg::on_chB_Auto_toggled(bool checked) {
    cB_COM->setEnabled(!checked);
    if (checked)
        showPortHint(false);
}

void settings_dlg::accept() {
    if (!chB_Auto->isChecked() && chosenPort().isEmpty()) {
        showPortHint(true);
        cB_COM->setFocus(Qt::OtherFocusReason);
        return;
    }
    QDialog::accept();
}

// A name typed with a space before or after it names no port; the system's names have none.
QString settings_dlg::chosenPort() const { return cB_COM->currentText().trimmed(); }

void settings_dlg::showPortHint(bool shown) {
    lb_PortHint->setVisible(shown);
    cB_COM->setStyleSheet(shown ? QStringLiteral("QComboBox { border: 2px solid rgb(200, 0, 0); }") : QString());
}

// The box is editable: a port the system does not list (a /dev/serial/by-id/ name, a pseudo-terminal) can be typed.
// It is as wide as its longest name, so that "/dev/ttyUSB0" and "COM10" show whole at any screen density.
void settings_dlg::fillPorts() {
    cB_COM->addItem(QString());
    connect(cB_COM, &QComboBox::editTextChanged, this, [this] { showPortHint(false); });
    for (const PortDetails &port : availablePortDetails())
        addPort(cB_COM, port.name, portToolTip(port));
    // The closed box tells about the chosen port too.
    connect(cB_COM, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int index) { cB_COM->setToolTip(cB_COM->itemData(index, Qt::ToolTipRole).toString()); });
}

void settings_dlg::fillLineSettings() {
    fillCombo(cB_BaudRate,
              {QStringLiteral("2400"), QStringLiteral("4800"), QStringLiteral("9600"), QStringLiteral("19200"),
               QStringLiteral("38400"), QStringLiteral("115200")},
              QStringLiteral("115200"));
    fillCombo(cB_Lenght, {QStringLiteral("7 bit"), QStringLiteral("8 bit")}, QStringLiteral("8 bit"));
    fillCombo(cB_Parity, {QStringLiteral("even"), QStringLiteral("odd"), QStringLiteral("none")},
              QStringLiteral("none"));
    fillCombo(cB_stop_bit, {QStringLiteral("1 bit"), QStringLiteral("2 bit")}, QStringLiteral("1 bit"));
}

void settings_dlg::applySettings(const SettingsMap &map) {
    selectPort(map.value(QStringLiteral("COM Port")));
    chB_Auto->setChecked(map.value(QStringLiteral("COM Auto")) == QLatin1String("true"));
    selectText(cB_BaudRate, map.value(QStringLiteral("BaudRate")));
    selectText(cB_Parity, map.value(QStringLiteral("Parity")));
    selectText(cB_stop_bit, map.value(QStringLiteral("Stop Bit")));
    selectText(cB_Lenght, map.value(QStringLiteral("Lenght")));
}

// An adapter that is unplugged right now is still the operator's port: it gets an entry of its own,
// so that "OK" does not silently replace it with an empty name.
void settings_dlg::selectPort(const QString &name) {
    if (!name.isEmpty() && cB_COM->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0)
        addPort(cB_COM, name, QStringLiteral("Порт сейчас не найден в системе"));
    selectText(cB_COM, name);
}
