#ifndef TRANSMISSIONJOURNAL_H
#define TRANSMISSIONJOURNAL_H

#include "serial/serialthread.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QTimer>
#include <QVector>

// One attempt on one port and how it ended, in the words the status bar has no room for.
struct LinkAttempt {
    QString port;
    QString result; // empty while the attempt runs
};

// One command from the moment it was handed to the link until its transmission ended, or one that a value kept
// from going out at all (Refused: no bytes, no port, the refusal as the status bar gave it).
struct Transmission {
    enum class State { Waiting, Running, Done, Refused };

    quint64 id = 0;
    QDateTime queued;
    QByteArray command;
    State state = State::Waiting;
    SerialThread::Outcome outcome = SerialThread::Outcome::NotFound; // once Done
    QVector<LinkAttempt> attempts;
    QString refusedCommand; // a refused command in words, since it has no bytes to describe
    QString refusal;

    bool isFinished() const { return state == State::Done || state == State::Refused; }
    QString outcomeText() const; // "отправлено", "устройство не найдено", "в очереди", ...
};

// Every transmission of the link worker, one row each: time, the command in words, the ports tried, what
// happened on each, and the exact bytes. The window shows it; the command-line sender prints and records it.
class TransmissionJournal : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { TimeColumn, CommandColumn, PortColumn, OutcomeColumn, BytesColumn, ColumnCount };

    using Clock = std::function<QDateTime()>;

    explicit TransmissionJournal(SerialThread *worker, QObject *parent = nullptr);

    void setClock(Clock clock) { m_clock = std::move(clock); }
    const QVector<Transmission> &transmissions() const { return m_transmissions; }
    // Commands handed to the link that have not ended yet, the one on its way included.
    int unfinishedCount() const { return m_unfinished; }
    // The rows as text, one line each, the columns apart by tabs; the attempts of a row on that one line.
    QString rowsText(const QList<int> &rows) const;

    // A command the window would not send, for the record beside those that went out.
    void refuse(const QString &command, const QString &refusal);
    // Drops every row that has ended; the rows still queued or on their way stay, so the counts stay true.
    void clearFinished();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    void unfinishedCountChanged(int count);
    void transmissionFinished(const Transmission &transmission);

private:
    void queue(quint64 id, const QByteArray &command);
    void start(quint64 id);
    void portOpened(const QString &name);
    void attemptFailed(const QString &name, const QString &reason);
    void finish(quint64 id, SerialThread::Outcome outcome);
    int rowOf(quint64 id) const;
    void rowChanged(int row);
    void attemptsChanged(int row);
    void attemptChanged();
    void dropOldestFinished();
    QString cellText(const Transmission &transmission, int column, const QString &separator) const;

    QVector<Transmission> m_transmissions;
    int m_unfinished = 0;
    int m_current = -1; // the row on its way
    Clock m_clock = &QDateTime::currentDateTime;
    QTimer m_attemptNews;
};

#endif // TRANSMISSIONJOURNAL_H
