// Form1 receiving from a serial port: the panel's menu entries, the receiver behind them, and how
// receiving goes, told between Label1 and Label2.

#include "main_window.h"

#include "hex_to_jpeg.h"
#include "receive_choices.h"
#include "receiver.h"
#include "serial_dialog.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QSettings>

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

    // In the empty stretch of the labels' line, shown only while receiving: the described controls
    // keep their places, and the rate stays in sight beside the line count.
    receivingStatus = new QLabel(this);
    receivingStatus->setObjectName(u"receivingStatus"_s);
    receivingStatus->setGeometry(296, 392, 244, 17);
    receivingStatus->setAlignment(Qt::AlignCenter);
    receivingStatus->setVisible(false);

    m_receiver = new Receiver(Text1, m_outputFolder, m_loader, this);
    connect(m_receiver, &Receiver::ended, this, [this] {
        receiveAction->setVisible(true);
        stopAction->setVisible(false);
        sendAgainAction->setVisible(false);
    });
    connect(m_receiver, &Receiver::status, this, &Form1::showReceivingStatus);
    connect(sendAgainAction, &QAction::triggered, m_receiver, &Receiver::sendAgain);
    connect(m_receiver, &Receiver::pictureShown, this,
            [this](const hexjpg::LoadedPicture &picture, const QByteArray &bytes,
                   const QString &tooltip) {
                Image1->setVisible(true);
                showPicture(picture, bytes);
                Image1->setToolTip(tooltip);
            });
}

bool Form1::isReceiving() const
{
    return m_receiver->isReceiving();
}

void Form1::keepSettingsIn(const QString &folder)
{
    m_settingsFolder = folder;
}

std::unique_ptr<QSettings> Form1::settings() const
{
    return m_settingsFolder.isEmpty()
               ? openSettings(QCoreApplication::applicationDirPath(), hexjpg::isInstalled())
               : openSettings(m_settingsFolder, false);
}

// The dialog shows the choices kept from last time, and keeps the ones the user starts with.
void Form1::chooseSerialPort()
{
    SerialDialog dialog(this);
    const std::unique_ptr<QSettings> kept = settings();
    dialog.setChoices(ReceiveChoices::load(*kept));
    if (dialog.exec() != QDialog::Accepted)
        return;
    const ReceiveChoices choices = dialog.choices();
    choices.save(*kept);
    startReceiving(choices);
}

bool Form1::startReceiving(const QString &port, qint32 baud)
{
    ReceiveChoices choices;
    choices.port = port;
    choices.settings.baud = baud;
    return startReceiving(choices);
}

bool Form1::startReceiving(const ReceiveChoices &choices)
{
    if (!m_receiver->start(choices))
        return false;
    receiveAction->setVisible(false);
    stopAction->setVisible(true);
    sendAgainAction->setVisible(!choices.command.isEmpty());
    return true;
}

void Form1::showReceivingStatus(const QString &words)
{
    receivingStatus->setVisible(!words.isEmpty());
    receivingStatus->setToolTip(words);
    receivingStatus->setText(
        receivingStatus->fontMetrics().elidedText(words, Qt::ElideRight, receivingStatus->width()));
}

void Form1::stopReceiving()
{
    m_receiver->stop();
}
