#include "mainwindow/busyindicator.h"

#include "ui_busyindicator.h"

namespace {
constexpr int showDelayMs = 300;
} // namespace

BusyIndicator::BusyIndicator(QWidget *parent) : QWidget(parent), m_ui(new Ui::BusyIndicator) {
    m_ui->setupUi(this);
    connect(m_ui->pB_Cancel, &QPushButton::clicked, this, &BusyIndicator::cancelRequested);
    m_showTimer.setSingleShot(true);
    connect(&m_showTimer, &QTimer::timeout, this, &QWidget::show);
    setCount(0);
}

BusyIndicator::~BusyIndicator() { delete m_ui; }

void BusyIndicator::setCount(int unfinished) {
    m_ui->lb_Count->setText(QStringLiteral("Отправка, команд: %1").arg(unfinished));
    if (unfinished == 0) {
        m_showTimer.stop();
        hide();
    } else if (isHidden() && !m_showTimer.isActive()) {
        m_showTimer.start(showDelayMs);
    }
}
