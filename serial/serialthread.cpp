#include "serial/serialthread.h"

#include <QSerialPort>
#include <QTimer>

// Placeholder bodies; the link lands with its own change.
SerialThread *serial_thread = nullptr;

SerialThread::SerialThread(QObject *parent) : QObject(parent), port(new QSerialPort) {}

SerialThread::~SerialThread() {
    delete port;
}

void SerialThread::slot_run() {}
void SerialThread::slot_data_recv() {}
void SerialThread::slot_data_send(QByteArray) {}
void SerialThread::slot_tWaitAnswer_timeout() {}
void SerialThread::slot_ReadyRead() {}
void SerialThread::slot_Open_Send_Request(QString) {}
