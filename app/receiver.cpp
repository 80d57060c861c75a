#include "receiver.h"

#include "diagnosis.h"
#include "serial_source.h"
#include "text_panel.h"
#include "warning.h"

#include <QCoreApplication>
#include <QFutureWatcher>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(Form1)
};

// What arrived goes into the panel at most this often: a fast line costs the window little.
constexpr int kFlushMs = 50;
// The pictures' warnings that may wait while a box is open.
constexpr qsizetype kWaitingWarnings = 3;

} // namespace

Receiver::Receiver(TextPanel *panel, const QString &folder, const hexjpg::PictureLoader &loader,
                   QWidget *window)
    : QObject(window)
    , m_panel(panel)
    , m_folder(folder)
    , m_loader(loader)
    , m_window(window)
    , m_flush(new QTimer(this))
    , m_check(new QFutureWatcher<Checked>(this))
{
    m_flush->setSingleShot(true);
    m_flush->setInterval(kFlushMs);
    connect(m_flush, &QTimer::timeout, this, &Receiver::flush);
    connect(m_check, &QFutureWatcher<Checked>::finished, this, &Receiver::checked);
}

bool Receiver::isReceiving() const
{
    return m_source && m_source->isOpen();
}

bool Receiver::start(const QString &port, const hexjpg::SerialPort::Settings &settings,
                     const QByteArray &command)
{
    stop();
    delete m_source;
    m_source = new SerialSource(this);
    connect(m_source, &SerialSource::textArrived, this, &Receiver::text);
    connect(m_source, &SerialSource::pictureArrived, this, &Receiver::picture);
    connect(m_source, &SerialSource::garbled, this,
            [this](const QString &message) { warnLater(message, {}, true); });
    connect(m_source, &SerialSource::ended, this, &Receiver::portEnded);
    m_decoder.resetState();
    if (!m_source->open(port, settings)) {
        showWarning(m_window, m_source->errorString());
        return false;
    }
    m_command = command;
    sendAgain();
    return true;
}

void Receiver::sendAgain()
{
    if (isReceiving() && !m_command.isEmpty())
        m_source->send(m_command);
}

void Receiver::stop()
{
    if (isReceiving())
        m_source->close();
}

void Receiver::portEnded(const QString &reason)
{
    flush();
    emit ended();
    if (!reason.isEmpty())
        warnLater(reason + Words::tr("\n收到的内容留在文本框里，已收到的图片都已写入。"), {}, true);
}

// What arrived, as text, waits a moment to go into the panel with what follows it.
void Receiver::text(const QByteArray &utf8)
{
    m_pending += m_decoder.decode(utf8);
    if (!m_flush->isActive())
        m_flush->start();
}

void Receiver::flush()
{
    // A CR at the end waits for the LF that may follow it: one line break, not two.
    qsizetype take = m_pending.size();
    if (isReceiving() && take > 0 && m_pending.back() == u'\r')
        --take;
    if (take == 0)
        return;
    if (m_panel->content().size() + take > m_panel->maximumLength()) {
        m_pending.clear();
        stop();
        warnLater(Words::tr("文本框满了（最多 %1 个字符），停止接收。已收到的图片都已写入。")
                      .arg(m_panel->maximumLength()),
                  {}, true);
        return;
    }
    if (!m_panel->append(QStringView(m_pending).first(take))) {
        m_flush->start(); // the panel is being read: later
        return;
    }
    m_pending.remove(0, take);
}

// Each picture is written and checked aside; one that comes while another is checked waits, and a
// newer one takes its place (1.jpg would have been replaced by it at once anyway).
void Receiver::picture(const hexjpg::ArrivedPicture &picture)
{
    m_next = picture;
    if (!m_check->isRunning())
        checkNext();
}

void Receiver::checkNext()
{
    if (!m_next)
        return;
    hexjpg::DecodeLimits limits = m_loader.limits();
    limits.deadline = QDeadlineTimer(hexjpg::kArrivedCheckMs);
    auto work = [arrived = std::move(*m_next), folder = m_folder,
                 loader = hexjpg::PictureLoader(m_loader.displaySize(), limits)] {
        return Checked{arrived.found, hexjpg::writeAndLoad(arrived.bytes, folder,
                                                           hexjpg::kOutputFileName, loader)};
    };
    m_next.reset();
    m_check->setFuture(QtConcurrent::run(std::move(work)));
}

void Receiver::checked()
{
    const auto [found, checked] = m_check->result();
    checkNext();
    if (!checked.written.ok()) {
        warnLater(hexjpg::notWritten(checked.written.path, checked.written.error));
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
    emit pictureShown(picture, bytes,
                      Words::tr("第 %1 张图片\n").arg(found.number) + diagnosis.join(u'\n'));
    if (const QString missing = hexjpg::incompleteness(picture, bytes); !missing.isEmpty())
        warnLater(missing, diagnosis.join(u'\n'));
}

// A warning while receiving comes after the signal that caused it has returned, one box at a time:
// while one is open, a few more wait their turn, and the pictures' beyond them are let go (the
// tooltip tells each picture's diagnosis); the port's own words always wait.
void Receiver::warnLater(const QString &message, const QString &details, bool always)
{
    if (!always && m_warnings.size() >= kWaitingWarnings)
        return;
    m_warnings.append({message, details});
    if (m_warningOpen)
        return;
    m_warningOpen = true;
    QTimer::singleShot(0, this, &Receiver::showNextWarning);
}

void Receiver::showNextWarning()
{
    while (!m_warnings.isEmpty()) {
        const auto [message, details] = m_warnings.takeFirst();
        showWarning(m_window, message, details);
    }
    m_warningOpen = false;
}
