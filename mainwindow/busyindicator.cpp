#include "mainwindow/busyindicator.h"

#include "ui_busyindicator.h"

BusyIndicator::BusyIndicator(QWidget *parent) : QWidget(parent), m_ui(new Ui::BusyIndicator) {
    m_ui->setupUi(this);
    connect(m_ui->pB_Cancel, &QPushButton::clicked, this, &BusyIndicator::cancelRequested);
    setCount(0);
}

BusyIndicator::~BusyIndicator() { delete m_ui; }

void BusyIndicator::setCount(int unfinished) {
    m_ui->lb_Count->setText(QStringLiteral("Отправка, команд: %1").arg(unfinished));
    setVisible(unfinished > 0);
}
