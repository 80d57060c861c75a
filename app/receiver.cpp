#include "receiver.h"

#include "command.h"
#include "diagnosis.h"
#include "forgiving_reader.h"
#include "raw_judge.h"
#include "reconnector.h"
#include "serial_source.h"
#include "text_panel.h"
#include "warning.h"

#include <QCoreApplication>
#include <QFutureWatcher>
#include <QLocale>
#include <QTimer>

#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(Form1)
};

// What arrived goes into the panel at most this often: a fast line costs the window little.
constexpr int kFlushMs = 50;
// The pictures' warnings that may wait while a box is open.
constexpr qsizetype kWaitingWarnings = 3;
// How receiving goes is told this often.
constexpr int kStatusMs = 500;

} // namespace

Receiver::Receiver(TextPanel *panel, const QString &folder, const hexjpg::PictureLoader &loader,
                   QWidget *window)
    : QObject(window)
    , m_panel(panel)
    , m_folder(folder)
    , m_loader(loader)
    , m_window(window)
    , m_flush(new QTimer(this))
    , m_statusTimer(new QTimer(this))
    , m_check(new QFutureWatcher<Checked>(this))
{
    m_statusTimer->setInterval(kStatusMs);
    connect(m_statusTimer, &QTimer::timeout, this, &Receiver::showStatus);
    m_flush->setSingleShot(true);
    m_flush->setInterval(kFlushMs);
    connect(m_flush, &QTimer::timeout, this, &Receiver::flush);
    connect(m_check, &QFutureWatcher<Checked>::finished, this, &Receiver::checked);
}

bool Receiver::isReceiving() const
{
    return m_source && (m_source->isOpen() || m_reconnector->isWaiting());
}

bool Receiver::start(const ReceiveChoices &choices)
{
    stop();
    delete m_source; // and its reconnector with it
    m_source = new SerialSource(this);
    m_reconnector = new Reconnector(m_source, m_source);
    connect(m_reconnector, &Reconnector::back, this, &Receiver::portBack);
    connect(m_reconnector, &Reconnector::gaveUp, this, &Receiver::gaveUp);
    connect(m_source, &SerialSource::textArrived, this, &Receiver::text);
    connect(m_source, &SerialSource::pictureArrived, this, &Receiver::picture);
    connect(m_source, &SerialSource::garbled, this,
            [this](const QString &message) { warnLater(message, {}, true); });
    connect(m_source, &SerialSource::ended, this, &Receiver::portEnded);
    m_decoder.resetState();
    if (const auto raw = choices.rawFrames())
        m_source->receiveRawFrames(raw->format, raw->size, choices.frameMarker.toUtf8());
    if (!m_source->open(choices.port, choices.settings)) {
        showWarning(m_window, m_source->errorString());
        return false;
    }
    m_choices = choices;
    m_command = choices.commandBytes().value_or(QByteArray());
    m_series = hexjpg::SeriesNames(choices.saveEach ? choices.saveFolder : QString());
    m_lost.clear();
    m_bytesBefore = m_pictures = m_incomplete = 0;
    m_clock.start();
    m_statusTimer->start();
    showStatus();
    sendAgain();
    return true;
}

// The command goes to the board, and into the panel on a line of its own, marked as sent.
void Receiver::sendAgain()
{
    if (m_source && m_source->isOpen() && !m_command.isEmpty() && m_source->send(m_command))
        note(QChar(hexjpg::kSentMark) + u' ' +
             Words::tr("已发送：%1").arg(hexjpg::shownCommand(m_command)));
}

void Receiver::stop()
{
    if (!m_source)
        return;
    if (m_reconnector->isWaiting()) {
        m_reconnector->cancel();
        portEnded({});
    } else if (m_source->isOpen()) {
        m_source->close();
    }
}

void Receiver::portEnded(const QString &reason)
{
    if (!reason.isEmpty() && m_choices.reconnectSeconds > 0) {
        m_bytesBefore += m_source->received();
        m_lost = reason;
        note(QChar(hexjpg::kNoteMark) + u' ' + reason);
        note(QChar(hexjpg::kNoteMark) + u' ' +
             Reconnector::waitingWords(m_choices.port, m_choices.reconnectSeconds * 1000));
        flush();
        m_reconnector->begin(m_choices.port, m_choices.settings, m_choices.reconnectSeconds * 1000);
        showStatus();
        return;
    }
    flush();
    m_statusTimer->stop();
    emit status({});
    emit ended();
    if (!reason.isEmpty())
        warnLater(reason + Words::tr("\n收到的内容留在文本框里，已收到的图片都已写入。"), {}, true);
}

// The port came back: receiving goes on, and the board is asked again.
void Receiver::portBack()
{
    m_lost.clear();
    note(QChar(hexjpg::kNoteMark) + u' ' +
         Words::tr("串口 %1 又打开了，继续接收").arg(m_choices.port));
    showStatus();
    sendAgain();
}

void Receiver::gaveUp()
{
    note(QChar(hexjpg::kNoteMark) + u' ' + Words::tr("串口 %1 没有回来").arg(m_choices.port));
    const QString lost = m_lost;
    m_lost.clear();
    portEnded({});
    warnLater(lost + Words::tr("\n串口 %1 没有回来。收到的内容留在文本框里，已收到的图片都已写入。")
                         .arg(m_choices.port),
              {}, true);
}

// A line of the window's own among what arrived: on a line of its own, so that the reading can
// leave it out whole.
void Receiver::note(const QString &line)
{
    const QStringView before =
        m_pending.isEmpty() ? m_panel->content().text() : QStringView(m_pending);
    if (!before.isEmpty() && before.back() != u'\n' && before.back() != u'\r')
        m_pending += u"\r\n"_s;
    m_pending += line + u"\r\n"_s;
    if (!m_flush->isActive())
        m_flush->start();
}

// Bytes and pictures so far, each a second: the words the window shows while receiving.
void Receiver::showStatus()
{
    if (!m_lost.isEmpty()) {
        emit status(Words::tr("串口 %1 断开了，正在重新打开…").arg(m_choices.port));
        return;
    }
    const double seconds = std::max(0.001, double(m_clock.elapsed()) / 1000);
    const qint64 bytes = m_bytesBefore + (m_source ? m_source->received() : 0);
    emit status(Words::tr("%1/秒，%2 张，%3 张/秒，%4 张不完整")
                    .arg(QLocale().formattedDataSize(qRound64(double(bytes) / seconds), 1))
                    .arg(m_pictures)
                    .arg(double(m_pictures) / seconds, 0, 'f', 2)
                    .arg(m_incomplete));
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

// Each picture is written and checked aside. One that comes while another is checked waits, and a
// newer one takes its place (1.jpg would have been replaced by it at once anyway), unless every
// picture is kept: then each is written in the series, named as it arrived, and the newest checked.
void Receiver::picture(const hexjpg::ArrivedPicture &picture)
{
    ++m_pictures;
    m_incomplete += !picture.found.whole;
    if (!picture.rawFormat.isEmpty())
        note(Words::tr("※ 第 %1 张：%2")
                 .arg(m_pictures)
                 .arg(hexjpg::rawEncodedWords(picture.rawFormat, picture.found.size,
                                              picture.rawCertainty)));
    if (!m_choices.saveEach)
        m_waiting.clear();
    m_waiting.push_back(
        {picture, m_choices.saveEach ? m_series.next(picture.found.format) : QString()});
    if (!m_check->isRunning())
        checkNext();
}

void Receiver::checkNext()
{
    if (m_waiting.empty())
        return;
    hexjpg::DecodeLimits limits = m_loader.limits();
    limits.deadline = QDeadlineTimer(hexjpg::kArrivedCheckMs);
    auto work = [waiting = std::move(m_waiting), folder = m_folder, series = m_choices.saveFolder,
                 loader = hexjpg::PictureLoader(m_loader.displaySize(), limits)] {
        const hexjpg::ArrivedPicture &newest = waiting.back().arrived;
        Checked result{newest.found,
                       newest.bytes,
                       hexjpg::writeAndLoad(newest.bytes, folder, hexjpg::kOutputFileName, loader),
                       {}};
        for (const Waiting &each : waiting)
            if (!each.seriesName.isEmpty())
                if (auto saved = hexjpg::writeOutput(each.arrived.bytes, series, each.seriesName);
                    !saved.ok())
                    result.notSaved.push_back(std::move(saved));
        return result;
    };
    m_waiting.clear();
    m_check->setFuture(QtConcurrent::run(std::move(work)));
}

void Receiver::checked()
{
    const auto [found, shown, checked, notSaved] = m_check->result();
    checkNext();
    for (const hexjpg::ConversionResult &failed : notSaved)
        warnLater(hexjpg::notWritten(failed.path, failed.error));
    if (!checked.written.ok()) {
        warnLater(hexjpg::notWritten(checked.written.path, checked.written.error));
        return;
    }
    const hexjpg::LoadedPicture &picture = checked.picture;
    const qint64 bytes = checked.written.bytesWritten;
    const QStringList diagnosis = hexjpg::diagnosePicture(picture, 0, bytes, bytes);
    if (picture.error != 0) {
        const QString advice =
            found.whole ? QString() : SerialSource::highRateAdvice(m_choices.settings.baud);
        warnLater(Words::tr("照片不正确！"), Words::tr("第 %1 张图片：%2\n%3")
                                                     .arg(found.number)
                                                     .arg(picture.errorString, found.problem) +
                                                 advice);
        return;
    }
    emit pictureShown(picture, shown,
                      Words::tr("第 %1 张图片\n").arg(found.number) + diagnosis.join(u'\n'));
    // Pictures cut short at a high rate: the rate may be one the USB-serial chip does not take.
    if (const QString missing = hexjpg::incompleteness(picture, bytes); !missing.isEmpty())
        warnLater(missing + SerialSource::highRateAdvice(m_choices.settings.baud),
                  diagnosis.join(u'\n'));
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
