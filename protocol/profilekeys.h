#ifndef PROFILEKEYS_H
#define PROFILEKEYS_H

#include "protocol/profile.h"

#include <QStringList>
#include <QVector>

#include <functional>

// The keys of each section of a profile file: how a value is checked and stored, and how it is written back.
namespace Profiles {

template <typename Section> struct Key {
    QString name;
    std::function<QString(Section &, const QString &)> set; // the problem with the value, empty when it is taken
    std::function<QString(const Section &)> get;
};

template <typename Section> using Keys = QVector<Key<Section>>;

const Keys<Station> &stationKeys();
const Keys<Clock> &clockKeys();
const Keys<Meter> &meterKeys();

// False when the section has no such key; `problem` tells why a known key's value was not taken.
template <typename Section>
bool setKey(const Keys<Section> &keys, Section &section, const QString &name, const QString &value, QString *problem) {
    for (const Key<Section> &key : keys) {
        if (key.name == name) {
            *problem = key.set(section, value);
            return true;
        }
    }
    return false;
}

template <typename Section> QStringList keyLines(const Keys<Section> &keys, const Section &section) {
    QStringList lines;
    for (const Key<Section> &key : keys)
        lines << key.name + QLatin1Char('=') + key.get(section);
    return lines;
}

} // namespace Profiles

#endif // PROFILEKEYS_H
