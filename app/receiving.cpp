// Form1 receiving from a serial port: the camera prints, the picture appears.

#include "main_window.h"

#include "diagnosis.h"
#include "serial_dialog.h"
#include "serial_source.h"
#include "warning.h"

#include <QAction>
#include <QCoreApplication>
#include <QFutureWatcher>
#include <QLabel>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

using namespace Qt::StringLiterals;

// The texts a person reads, in the Chinese they are written in: Qt's translation system gives them
// in the user's language.
namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(Form1)
};
} // namespace

namespace {

// What arrived goes into the panel at most this often: a fast line costs the window little.
constexpr int kFlushMs = 50;
// The pictures' warnings that may wait while a box is open.
constexpr qsizetype kWaitingWarnings = 3;

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

    m_serialFlush = new QTimer(this);
    m_serialFlush->setSingleShot(true);
    m_serialFlush->setInterval(kFlushMs);
    connect(m_serialFlush, &QTimer::timeout, this, &Form1::flushSerialText);
    m_serialCheck = new QFutureWatcher<SerialChecked>(this);
    connect(m_serialCheck, &QFutureWatcher<SerialChecked>::finished, this,
            &Form1::serialPictureChecked);
}

bool Form1::isReceiving() const
{
    return m_serial && m_serial->isOpen();
}

void Form1::chooseSerialPort()
{
    SerialDialog dialog(this);
    if (dialog.exec() == QDialog::Accepted)
        startReceiving(dialog.port(), dialog.baud());
}

bool Form1::startReceiving(const QString &port, qint32 baud)
{
    stopReceiving();
    delete m_serial;
    m_serial = new SerialSource(this);
    connect(m_serial, &SerialSource::textArrived, this, &Form1::serialText);
    connect(m_serial, &SerialSource::pictureArrived, this, &Form1::serialPicture);
    connect(m_serial, &SerialSource::garbled, this,
            [this](const QString &message) { warnLater(message, {}, true); });
    connect(m_serial, &SerialSource::ended, this, &Form1::serialEnded);
    m_serialDecoder.resetState();
    if (!m_serial->open(port, baud)) {
        showWarning(this, m_serial->errorString());
        return false;
    }
    receiveAction->setVisible(false);
    stopAction->setVisible(true);
    return true;
}

void Form1::stopReceiving()
{
    if (isReceiving())
        m_serial->close();
}

void Form1::serialEnded(const QString &reason)
{
    receiveAction->setVisible(true);
    stopAction->setVisible(false);
    flushSerialText();
    if (!reason.isEmpty())
        warnLater(reason + Words::tr("\n收到的内容留在文本框里，已收到的图片都已写入。"), {}, true);
}

// What arrived, as text, waits a moment to go into the panel with what follows it.
void Form1::serialText(const QByteArray &utf8)
{
    m_serialPending += m_serialDecoder.decode(utf8);
    if (!m_serialFlush->isActive())
        m_serialFlush->start();
}

void Form1::flushSerialText()
{
    // A CR at the end waits for the LF that may follow it: one line break, not two.
    const bool receiving = isReceiving();
    qsizetype take = m_serialPending.size();
    if (receiving && take > 0 && m_serialPending.back() == u'\r')
        --take;
    if (take == 0)
        return;
    if (Text1->content().size() + take > Text1->maximumLength()) {
        m_serialPending.clear();
        stopReceiving();
        warnLater(Words::tr("文本框满了（最多 %1 个字符），停止接收。已收到的图片都已写入。")
                      .arg(Text1->maximumLength()),
                  {}, true);
        return;
    }
    if (m_busy || !Text1->append(QStringView(m_serialPending).first(take))) {
        m_serialFlush->start(); // the panel is being read: later
        return;
    }
    m_serialPending.remove(0, take);
}

// Each picture is written and checked aside; one that comes while another is checked waits,
// and a newer one takes its place (1.jpg would have been replaced by it at once anyway).
void Form1::serialPicture(const hexjpg::ArrivedPicture &picture)
{
    m_nextPicture = picture;
    if (!m_serialCheck->isRunning())
        checkNextSerialPicture();
}

void Form1::checkNextSerialPicture()
{
    if (!m_nextPicture)
        return;
    hexjpg::DecodeLimits limits = m_loader.limits();
    limits.deadline = QDeadlineTimer(hexjpg::kArrivedCheckMs);
    auto work = [arrived = std::move(*m_nextPicture), folder = m_outputFolder,
                 loader = hexjpg::PictureLoader(m_loader.displaySize(), limits)] {
        return SerialChecked{arrived.found, hexjpg::writeAndLoad(arrived.bytes, folder,
                                                                 hexjpg::kOutputFileName, loader)};
    };
    m_nextPicture.reset();
    m_serialCheck->setFuture(QtConcurrent::run(std::move(work)));
}

void Form1::serialPictureChecked()
{
    const auto [found, checked] = m_serialCheck->result();
    checkNextSerialPicture();
    if (!checked.written.ok()) {
        warnLater(
            Words::tr("无法写入文件：%1\n%2").arg(checked.written.path, checked.written.error));
        return;
    }
    const hexjpg::LoadedPicture &picture = checked.picture;
    const qint64 bytes = checked.written.bytesWritten;
    const QStringList diagnosis = hexjpg::diagnosePicture(picture, 0, bytes, bytes);
    if (picture.error != 0) {
        warnLater(Words::tr("照片不正确！"), Words::tr("第 %1 张图片：%2\n%3")
                                                 .arg(found.number)
                                                 .arg(picture.errorString, found.problem));
        return;
    }
    Image1->setVisible(true);
    showPicture(picture, bytes);
    Image1->setToolTip(Words::tr("第 %1 张图片\n").arg(found.number) +
                       diagnosis.join(u'\n'));
    if (const QString missing = hexjpg::incompleteness(picture, bytes); !missing.isEmpty())
        warnLater(missing, diagnosis.join(u'\n'));
}

// A warning while receiving comes after the signal that caused it has returned, one box at a
// time: while one is open, a few more wait their turn, and the pictures' beyond them are let go
// (the tooltip tells each picture's diagnosis); the port's own words always wait.
void Form1::warnLater(const QString &message, const QString &details, bool always)
{
    if (!always && m_warnings.size() >= kWaitingWarnings)
        return;
    m_warnings.append({message, details});
    if (m_warningOpen)
        return;
    m_warningOpen = true;
    QTimer::singleShot(0, this, &Form1::showNextWarning);
}

void Form1::showNextWarning()
{
    while (!m_warnings.isEmpty()) {
        const auto [message, details] = m_warnings.takeFirst();
        showWarning(this, message, details);
    }
    m_warningOpen = false;
}
