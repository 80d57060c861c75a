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
    sendAgainAction = new QAction(Words::tr("再次发送"), this);
    sendAgainAction->setObjectName(u"sendAgainAction"_s);
    sendAgainAction->setVisible(false);
    connect(receiveAction, &QAction::triggered, this, &Form1::chooseSerialPort);
    connect(stopAction, &QAction::triggered, this, &Form1::stopReceiving);
    Text1->setMenuActions({receiveAction, sendAgainAction, stopAction});

    m_receiver = new Receiver(Text1, m_outputFolder, m_loader, this);
    connect(m_receiver, &Receiver::ended, this, [this] {
        receiveAction->setVisible(true);
        stopAction->setVisible(false);
        sendAgainAction->setVisible(false);
    });
    connect(sendAgainAction, &QAction::triggered, m_receiver, &Receiver::sendAgain);
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
        startReceiving(dialog.port(), dialog.settings(), dialog.command().value_or(QByteArray()));
}

bool Form1::startReceiving(const QString &port, qint32 baud)
{
    return startReceiving(port, {baud, false, false}, {});
}

bool Form1::startReceiving(const QString &port, const hexjpg::SerialPort::Settings &settings,
                           const QByteArray &command)
{
    if (!m_receiver->start(port, settings, command))
        return false;
    receiveAction->setVisible(false);
    stopAction->setVisible(true);
    sendAgainAction->setVisible(!command.isEmpty());
    return true;
}

void Form1::stopReceiving()
{
    m_receiver->stop();
}
