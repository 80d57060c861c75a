// Form1 receiving from a serial port: the panel's menu entries, and the receiver behind them.

#include "main_window.h"

#include "receiver.h"
#include "serial_dialog.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>

using namespace Qt::StringLiterals;

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(Form1)
};
} // namespace

void Form1::createReceiveActions()
{
    receiveAction = new QAction(Words::tr("从串口接收…"), this);
    receiveAction->setObjectName(u"receiveAction"_s);
    stopAction = new QAction(Words::tr("停止接收"), this);
    stopAction->setObjectName(u"stopAction"_s);
    stopAction->setVisible(false);
    connect(receiveAction, &QAction::triggered, this, &Form1::chooseSerialPort);
    connect(stopAction, &QAction::triggered, this, &Form1::stopReceiving);
    Text1->setMenuActions({receiveAction, stopAction});

    m_receiver = new Receiver(Text1, m_outputFolder, m_loader, this);
    connect(m_receiver, &Receiver::ended, this, [this] {
        receiveAction->setVisible(true);
        stopAction->setVisible(false);
    });
    connect(m_receiver, &Receiver::pictureShown, this,
            [this](const hexjpg::LoadedPicture &picture, qint64 bytes, const QString &tooltip) {
                Image1->setVisible(true);
                showPicture(picture, bytes);
                Image1->setToolTip(tooltip);
            });
}

bool Form1::isReceiving() const
{
    return m_receiver->isReceiving();
}

void Form1::chooseSerialPort()
{
    SerialDialog dialog(this);
    if (dialog.exec() == QDialog::Accepted)
        startReceiving(dialog.port(), dialog.baud());
}

bool Form1::startReceiving(const QString &port, qint32 baud)
{
    if (!m_receiver->start(port, baud))
        return false;
    receiveAction->setVisible(false);
    stopAction->setVisible(true);
    return true;
}

void Form1::stopReceiving()
{
    m_receiver->stop();
}
