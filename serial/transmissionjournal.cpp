#include "serial/transmissionjournal.h"

#include "protocol/commanddescription.h"

#include <QLocale>

#include <algorithm>

namespace {

// A window left running all week keeps the latest rows; the oldest finished ones give way. A transmission that has not
// ended keeps its row however many wait, so that its end is still counted.
constexpr int maxRows = 1000;

const QString stillWaiting = QStringLiteral("ждёт ответа");

QString outcomeWords(SerialThread::Outcome outcome) {
    switch (outcome) {
    case SerialThread::Outcome::Sent:
        return QStringLiteral("отправлено");
    case SerialThread::Outcome::SendFailed:
        return QStringLiteral("ошибка отправки");
    case SerialThread::Outcome::NotFound:
        return QStringLiteral("устройство не найдено");
    case SerialThread::Outcome::NoPort:
        return QStringLiteral("в системе нет портов");
    case SerialThread::Outcome::Cancelled:
        break;
    }
    return QStringLiteral("отменено");
}

} // namespace

QString Transmission::outcomeText() const {
    switch (state) {
    case State::Waiting:
        return QStringLiteral("в очереди");
    case State::Running:
        return QStringLiteral("идёт поиск");
    case State::Done:
        break;
    }
    return outcomeWords(outcome);
}

TransmissionJournal::TransmissionJournal(SerialThread *worker, QObject *parent) : QAbstractTableModel(parent) {
    connect(worker, &SerialThread::signal_command_queued, this, &TransmissionJournal::queue);
    connect(worker, &SerialThread::signal_transmission_started, this, &TransmissionJournal::start);
    connect(worker, &SerialThread::signal_port_opend, this, &TransmissionJournal::portOpened);
    connect(worker, &SerialThread::signal_attempt_failed, this, &TransmissionJournal::attemptFailed);
    connect(worker, &SerialThread::signal_transmission_finished, this, &TransmissionJournal::finish);
}

void TransmissionJournal::queue(quint64 id, const QByteArray &command) {
    beginInsertRows(QModelIndex(), m_transmissions.size(), m_transmissions.size());
    Transmission transmission;
    transmission.id = id;
    transmission.queued = m_clock();
    transmission.command = command;
    m_transmissions.append(transmission);
    endInsertRows();
    emit unfinishedCountChanged(++m_unfinished);
    dropOldestFinished();
}

void TransmissionJournal::start(quint64 id) {
    m_current = rowOf(id);
    if (m_current < 0)
        return;
    m_transmissions[m_current].state = Transmission::State::Running;
    rowChanged(m_current);
}

void TransmissionJournal::portOpened(const QString &name) {
    if (m_current < 0)
        return;
    m_transmissions[m_current].attempts.append({name, QString()});
    rowChanged(m_current);
}

// A port that did not open has no attempt yet; one that opened and then failed has its attempt running.
void TransmissionJournal::attemptFailed(const QString &name, const QString &reason) {
    if (m_current < 0)
        return;
    QVector<LinkAttempt> &attempts = m_transmissions[m_current].attempts;
    if (!attempts.isEmpty() && attempts.last().port == name && attempts.last().result.isEmpty())
        attempts.last().result = reason;
    else
        attempts.append({name, reason});
    rowChanged(m_current);
}

void TransmissionJournal::finish(quint64 id, SerialThread::Outcome outcome) {
    const int row = rowOf(id);
    if (row < 0)
        return;
    Transmission &transmission = m_transmissions[row];
    transmission.state = Transmission::State::Done;
    transmission.outcome = outcome;
    if (!transmission.attempts.isEmpty() && transmission.attempts.last().result.isEmpty())
        transmission.attempts.last().result = outcomeWords(outcome);
    if (row == m_current)
        m_current = -1;
    rowChanged(row);
    emit unfinishedCountChanged(--m_unfinished);
    emit transmissionFinished(transmission);
    dropOldestFinished();
}

// The worker numbers its commands in the order they are queued, so the rows stand in the order of their ids.
int TransmissionJournal::rowOf(quint64 id) const {
    const auto found = std::lower_bound(m_transmissions.cbegin(), m_transmissions.cend(), id,
                                        [](const Transmission &row, quint64 wanted) { return row.id < wanted; });
    return found != m_transmissions.cend() && found->id == id ? int(found - m_transmissions.cbegin()) : -1;
}

void TransmissionJournal::rowChanged(int row) { emit dataChanged(index(row, 0), index(row, ColumnCount - 1)); }

void TransmissionJournal::dropOldestFinished() {
    int row = 0;
    while (m_transmissions.size() > maxRows) {
        while (row < m_transmissions.size() && m_transmissions.at(row).state != Transmission::State::Done)
            ++row;
        if (row == m_transmissions.size())
            return;
        beginRemoveRows(QModelIndex(), row, row);
        m_transmissions.remove(row);
        if (m_current > row)
            --m_current;
        endRemoveRows();
    }
}

int TransmissionJournal::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : m_transmissions.size();
}

int TransmissionJournal::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : ColumnCount; }

QString TransmissionJournal::cellText(const Transmission &transmission, int column, const QString &separator) const {
    QStringList lines;
    switch (column) {
    case TimeColumn:
        return QLocale::c().toString(transmission.queued, QStringLiteral("hh:mm:ss"));
    case CommandColumn:
        return describeCommand(transmission.command);
    case PortColumn:
        for (const LinkAttempt &attempt : transmission.attempts)
            lines << attempt.port;
        return lines.join(separator);
    case OutcomeColumn:
        for (const LinkAttempt &attempt : transmission.attempts)
            lines << (attempt.result.isEmpty() ? stillWaiting : attempt.result);
        return lines.isEmpty() ? transmission.outcomeText() : lines.join(separator);
    default:
        return hexBytes(transmission.command);
    }
}

QVariant TransmissionJournal::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= m_transmissions.size())
        return QVariant();
    const Transmission &transmission = m_transmissions.at(index.row());
    if (role == Qt::DisplayRole)
        return cellText(transmission, index.column(), QStringLiteral("\n"));
    if (role == Qt::ToolTipRole && index.column() == TimeColumn)
        return QLocale::c().toString(transmission.queued, QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz"));
    if (role == Qt::ToolTipRole && index.column() == OutcomeColumn)
        return transmission.outcomeText();
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignLeft | Qt::AlignTop);
    return QVariant();
}

QVariant TransmissionJournal::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    const QStringList titles = {QStringLiteral("Время"), QStringLiteral("Команда"), QStringLiteral("Порт"),
                                QStringLiteral("Результат"), QStringLiteral("Байты")};
    return titles.value(section);
}

// Each attempt stays with its port, so a pasted row reads without the table around it.
QString TransmissionJournal::rowsText(const QList<int> &rows) const {
    QStringList lines;
    for (int row : rows) {
        const Transmission &transmission = m_transmissions.at(row);
        QStringList attempts;
        for (const LinkAttempt &attempt : transmission.attempts)
            attempts << attempt.port + QStringLiteral(": ") +
                            (attempt.result.isEmpty() ? stillWaiting : attempt.result);
        lines << QStringList{cellText(transmission, TimeColumn, {}), cellText(transmission, CommandColumn, {}),
                             cellText(transmission, PortColumn, QStringLiteral(", ")),
                             attempts.isEmpty() ? transmission.outcomeText() : attempts.join(QStringLiteral("; ")),
                             cellText(transmission, BytesColumn, {})}
                     .join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n'));
}

// The link and the sender carry their own meta-object code, so that a program using them does not pull in the
// window's (and its start-up objects) through the collected moc file.
#include "moc_transmissionjournal.cpp"
