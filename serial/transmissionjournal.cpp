#include "serial/transmissionjournal.h"

#include "protocol/commanddescription.h"

#include <QLocale>

#include <algorithm>

namespace {

// A window left running all week keeps the latest rows; the oldest finished ones give way. A transmission that has not
// ended keeps its row however many wait, so that its end is still counted.
constexpr int maxRows = 1000;
constexpr int dropBatch = 100;

constexpr int attemptNewsMs = 100;

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
    case State::Refused:
        return refusal;
    case State::Done:
        break;
    }
    return outcomeWords(outcome);
}

TransmissionJournal::TransmissionJournal(SerialThread *worker, QObject *parent) : QAbstractTableModel(parent) {
    m_attemptNews.setSingleShot(true);
    m_attemptNews.setInterval(attemptNewsMs);
    connect(&m_attemptNews, &QTimer::timeout, this, [this] {
        if (m_current >= 0)
            attemptsChanged(m_current);
    });
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
    attemptChanged();
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
    attemptChanged();
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

// A refused command never reaches the worker; it takes the latest id, so the rows stay in the order of their ids.
void TransmissionJournal::refuse(const QString &command, const QString &refusal) {
    beginInsertRows(QModelIndex(), m_transmissions.size(), m_transmissions.size());
    Transmission transmission;
    transmission.id = m_transmissions.isEmpty() ? 0 : m_transmissions.last().id;
    transmission.queued = m_clock();
    transmission.state = Transmission::State::Refused;
    transmission.refusedCommand = command;
    transmission.refusal = refusal;
    m_transmissions.append(transmission);
    endInsertRows();
    dropOldestFinished();
}

void TransmissionJournal::clearFinished() {
    const quint64 current = m_current >= 0 ? m_transmissions.at(m_current).id : 0;
    beginResetModel();
    m_transmissions.erase(std::remove_if(m_transmissions.begin(), m_transmissions.end(),
                                         [](const Transmission &transmission) { return transmission.isFinished(); }),
                          m_transmissions.end());
    m_current = m_current >= 0 ? rowOf(current) : -1;
    endResetModel();
}

// The worker numbers its commands in the order they are queued, so the rows stand in the order of their ids; a
// refused row after a transmission shares its id.
int TransmissionJournal::rowOf(quint64 id) const {
    const auto found = std::lower_bound(m_transmissions.cbegin(), m_transmissions.cend(), id,
                                        [](const Transmission &row, quint64 wanted) { return row.id < wanted; });
    const bool sent =
        found != m_transmissions.cend() && found->id == id && found->state != Transmission::State::Refused;
    return sent ? int(found - m_transmissions.cbegin()) : -1;
}

void TransmissionJournal::rowChanged(int row) { emit dataChanged(index(row, 0), index(row, ColumnCount - 1)); }

// A view repaints all it shows for a change told as a range of cells, but only the cell for a change of one; a
// search changes only its port and result cells.
void TransmissionJournal::attemptsChanged(int row) {
    for (int column : {PortColumn, OutcomeColumn})
        emit dataChanged(index(row, column), index(row, column));
}

// A search over ports that fail at once changes its row thousands of times a second; a view hears of it at most
// every attemptNewsMs, so that showing the search does not slow it. Its start and end are told at once.
void TransmissionJournal::attemptChanged() {
    if (!m_attemptNews.isActive())
        m_attemptNews.start();
}

// The oldest finished rows go a batch at a time, each run of them at once: taking one row off the front moves every
// other row, and a view re-lays its rows out, so that dropping one per transmission would cost each transmission as
// much as the whole history.
void TransmissionJournal::dropOldestFinished() {
    if (m_transmissions.size() <= maxRows)
        return;
    int row = 0;
    for (int dropped = 0; dropped < dropBatch;) {
        while (row < m_transmissions.size() && !m_transmissions.at(row).isFinished())
            ++row;
        int end = row;
        while (end < m_transmissions.size() && m_transmissions.at(end).isFinished() && dropped + end - row < dropBatch)
            ++end;
        if (end == row)
            return;
        beginRemoveRows(QModelIndex(), row, end - 1);
        m_transmissions.erase(m_transmissions.begin() + row, m_transmissions.begin() + end);
        if (m_current >= end)
            m_current -= end - row;
        endRemoveRows();
        dropped += end - row;
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
        return transmission.state == Transmission::State::Refused ? transmission.refusedCommand
                                                                  : describeCommand(transmission.command);
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
