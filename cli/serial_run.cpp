#include "serial_run.h"

#include "command.h"
#include "series_names.h"

#include "cli_words.h"

#include "check.h"
#include "console.h"
#include "diagnosis.h"
#include "hex_to_jpeg.h"
#include "interruption.h"
#include "picture_loader.h"
#include "raw_judge.h"
#include "reconnector.h"
#include "serial_source.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QSemaphore>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// How often a stop asked for (Ctrl+C, SIGTERM) is looked for while receiving.
constexpr int kStopCheckMs = 50;
// The status line is brought up to date this often.
constexpr int kStatusMs = 500;

// Pictures are written and checked on a thread of their own, in the order they came, while the
// port is read on: a few may wait there, then reading waits for them.
constexpr int kMaxWaiting = 8;

class SerialRun : public QObject {
public:
    SerialRun(const Options &options, const Output &output)
        : m_options(options)
        , m_output(output)
        , m_series(options.saveEach)
        , m_room(kMaxWaiting)
    {
        connect(&m_source, &SerialSource::pictureArrived, this, &SerialRun::pictureArrived);
        connect(&m_source, &SerialSource::garbled, this, &SerialRun::warn);
        connect(&m_source, &SerialSource::ended, this, &SerialRun::ended);
        connect(&m_stopCheck, &QTimer::timeout, this, &SerialRun::checkStop);
        connect(&m_reconnector, &Reconnector::back, this, &SerialRun::portBack);
        connect(&m_reconnector, &Reconnector::gaveUp, this, [this] {
            m_output.say(Words::tr("串口 %1 没有回来").arg(m_options.serial));
            finish();
        });
        m_checker.moveToThread(&m_checking);
        m_checking.start();
    }

    ~SerialRun() override
    {
        m_checking.quit();
        m_checking.wait();
    }

    int exec()
    {
        if (m_options.raw)
            m_source.receiveRawFrames(*m_options.raw, m_options.rawSize, m_options.frameMarker);
        if (!m_source.open(m_options.serial, portSettings())) {
            m_output.say(m_source.errorString());
            if (m_options.json)
                m_output.printJsonLine({{u"event"_s, u"end"_s},
                                        {u"status"_s, BadInput},
                                        {u"reason"_s, m_source.errorString()}});
            return BadInput;
        }
        m_output.say(Words::tr("正在从串口 %1 接收（%2 波特，8N1），按 Ctrl+C 结束")
                         .arg(m_options.serial)
                         .arg(m_options.baud));
        m_stopCheck.start(kStopCheckMs);
        m_clock.start();
        if (hexjpg::system::isTerminal(stderr)) {
            connect(&m_statusTimer, &QTimer::timeout, this, &SerialRun::showStatus);
            m_statusTimer.start(kStatusMs);
        }
        sendCommand();
        if (m_options.sendEveryMs > 0) {
            connect(&m_sendAgain, &QTimer::timeout, this, &SerialRun::sendCommand);
            m_sendAgain.start(m_options.sendEveryMs);
        }
        if (!m_ended) // it may have ended already, on what waited in the port
            QCoreApplication::exec();
        return m_status;
    }

private:
    hexjpg::SerialPort::Settings portSettings() const
    {
        return {m_options.baud, m_options.dtr, m_options.rts};
    }
    qint64 bytes() const { return m_bytesBefore + m_source.received(); }
    double secondsSoFar() const { return std::max(0.001, double(m_clock.elapsed()) / 1000); }

    // How receiving goes, where standard error is a terminal: one line, kept up to date.
    void showStatus()
    {
        const double seconds = secondsSoFar();
        hexjpg::system::showStatus(
            Words::tr("%1 字节（每秒 %2），%3 张图片（每秒 %4），%5 张不完整")
                .arg(bytes())
                .arg(qRound64(double(bytes()) / seconds))
                .arg(m_pictures)
                .arg(double(m_pictures) / seconds, 0, 'f', 2)
                .arg(m_incomplete));
    }

    // The run in one line at its end.
    void summarize()
    {
        m_statusTimer.stop();
        hexjpg::system::showStatus({});
        const double seconds = secondsSoFar();
        m_output.say(
            Words::tr("共收到 %1 字节、%2 张图片（%3 张不完整），用时 %4 秒：每秒 %5 字节、%6 张")
                .arg(bytes())
                .arg(m_pictures)
                .arg(m_incomplete)
                .arg(seconds, 0, 'f', 1)
                .arg(qRound64(double(bytes()) / seconds))
                .arg(double(m_pictures) / seconds, 0, 'f', 2));
        if (m_incomplete > 0)
            if (const QString advice = SerialSource::highRateAdvice(m_options.baud);
                !advice.isEmpty())
                m_output.say(Words::tr("有图片不完整") + advice);
    }

    // The command for the board, told on a line of its own as sent.
    void sendCommand()
    {
        if (m_options.send.isEmpty() || !m_source.isOpen())
            return;
        if (!m_source.send(m_options.send))
            return;
        m_output.say(Words::tr("已发送：%1").arg(hexjpg::shownCommand(m_options.send)));
        if (m_options.json)
            m_output.printJsonLine({{u"event"_s, u"sent"_s},
                                    {u"bytes"_s, QString::fromLatin1(m_options.send.toHex(' '))}});
    }

    // Ctrl+C ends the reading; the picture under way is then written as it stands, unless a
    // second Ctrl+C stops that too.
    void checkStop()
    {
        if (!hexjpg::interruptionRequested())
            return;
        hexjpg::clearInterruption();
        if (m_reconnector.isWaiting()) {
            m_reconnector.cancel();
            return finish();
        }
        m_source.close();
    }

    void pictureArrived(const hexjpg::ArrivedPicture &arrived)
    {
        if (m_failed || (m_options.count > 0 && m_arrived >= m_options.count))
            return;
        ++m_arrived;
        // Numbered over the whole run: the port may have been opened again in between.
        hexjpg::ArrivedPicture numbered = arrived;
        numbered.found.number = m_arrived;
        const QString name =
            m_options.all ? u"%1.jpg"_s.arg(m_arrived) : hexjpg::kOutputFileName.toString();
        // Named as it arrives, so that the series sorts in the order of arrival.
        const QString seriesName =
            m_options.saveEach.isEmpty() ? QString() : m_series.next(arrived.found.format);
        m_room.acquire();
        ++m_waiting;
        QMetaObject::invokeMethod(
            &m_checker,
            [this, arrived = std::move(numbered), name, seriesName]() mutable {
                hexjpg::WrittenPicture checked = hexjpg::writeAndLoad(
                    arrived.bytes, m_options.folder, name, checkingLoader(hexjpg::kArrivedCheckMs));
                hexjpg::ConversionResult saved;
                if (checked.written.ok() && !seriesName.isEmpty())
                    saved = hexjpg::writeOutput(arrived.bytes, m_options.saveEach, seriesName);
                arrived.bytes.clear(); // written: only what it is goes on
                m_room.release();
                QMetaObject::invokeMethod(
                    this,
                    [this, arrived = std::move(arrived), checked, saved] {
                        pictureChecked(arrived, checked, saved);
                    },
                    Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
        if (m_options.count > 0 && m_arrived >= m_options.count)
            finish();
    }

    // saved: the picture's file in the series, when one is kept.
    void pictureChecked(const hexjpg::ArrivedPicture &arrived,
                        const hexjpg::WrittenPicture &checked,
                        const hexjpg::ConversionResult &saved)
    {
        --m_waiting;
        if (m_failed)
            return endIfDone();
        const hexjpg::ConversionResult &failed =
            !checked.written.ok() || m_options.saveEach.isEmpty() || saved.ok() ? checked.written
                                                                                : saved;
        if (!failed.ok()) {
            m_output.say(hexjpg::notWritten(failed.path, failed.error));
            m_failed = true;
            m_status = WriteFailed;
            finish();
            return endIfDone();
        }
        report(checked.written.path, arrived, checked.picture, saved.path);
        endIfDone();
    }

    void report(const QString &path, const hexjpg::ArrivedPicture &arrived,
                const hexjpg::LoadedPicture &loaded, const QString &saved)
    {
        const hexjpg::FoundPicture &found = arrived.found;
        hexjpg::LoadedPicture told = loaded; // what the finder saw where it does not decode
        if (loaded.error != 0) {
            told.format = found.format;
            told.size = found.size;
        }
        const PictureState state = stateOf(loaded, found.whole);
        m_status = std::max(m_status, statusOf(state));
        ++m_pictures;
        m_incomplete += state != PictureState::Complete && state != PictureState::NotChecked;
        const QString words = stateWords(state, found);
        QString line =
            Words::tr("第 %1 张：%2，%3，%4")
                .arg(found.number)
                .arg(m_output.shown(path), hexjpg::describePicture(told, found.length), words);
        if (!arrived.rawFormat.isEmpty())
            line += Words::tr("；%1").arg(hexjpg::rawEncodedWords(
                arrived.rawFormat, arrived.found.size, arrived.rawCertainty));
        if (!saved.isEmpty())
            line += Words::tr("；也存为 %1").arg(saved);
        if (!m_options.json) {
            hexjpg::system::printLine(stdout, line);
            std::fflush(stdout);
            return;
        }
        m_output.say(line);
        const QSize size = told.size;
        QJsonObject event{{u"event"_s, u"picture"_s},
                          {u"number"_s, found.number},
                          {u"file"_s, m_output.shown(path)},
                          {u"offset"_s, found.offset},
                          {u"length"_s, found.length},
                          {u"format"_s, told.format},
                          {u"width"_s, size.width()},
                          {u"height"_s, size.height()},
                          {u"decodes"_s, loaded.error == 0},
                          {u"complete"_s, state == PictureState::Complete},
                          {u"problem"_s, found.problem},
                          {u"saved"_s, saved.isEmpty() ? QJsonValue() : QJsonValue(saved)}};
        if (!arrived.rawFormat.isEmpty()) {
            event.insert(u"raw"_s, arrived.rawFormat);
            event.insert(u"certainty"_s, arrived.rawCertainty);
        }
        m_output.printJsonLine(event);
    }

    void warn(const QString &message)
    {
        m_output.say(message);
        if (m_options.json)
            m_output.printJsonLine({{u"event"_s, u"warning"_s}, {u"message"_s, message}});
    }

    void ended(const QString &reason)
    {
        if (!reason.isEmpty()) {
            m_output.say(reason);
            m_lost = reason;
            if (m_options.reconnectMs > 0 && !m_finished)
                return waitForPort(reason);
        }
        finish();
    }

    // The port went away: it is waited for, by the same name.
    void waitForPort(const QString &reason)
    {
        m_bytesBefore += m_source.received();
        m_output.say(Reconnector::waitingWords(m_options.serial, m_options.reconnectMs));
        if (m_options.json)
            m_output.printJsonLine({{u"event"_s, u"lost"_s}, {u"reason"_s, reason}});
        m_reconnector.begin(m_options.serial, portSettings(), m_options.reconnectMs);
    }

    void portBack()
    {
        m_lost.clear();
        m_output.say(Words::tr("串口 %1 又打开了，继续接收").arg(m_options.serial));
        if (m_options.json)
            m_output.printJsonLine({{u"event"_s, u"back"_s}});
        sendCommand();
    }

    // Reading ends; the run ends once the pictures that came have been written and told.
    void finish()
    {
        if (m_finished)
            return;
        m_finished = true;
        m_stopCheck.stop();
        if (m_source.isOpen())
            m_source.close(); // what waited is handed on, and heard no more
        endIfDone();
    }

    void endIfDone()
    {
        if (!m_finished || m_waiting > 0 || m_ended)
            return;
        m_ended = true;
        if (m_failed)
            m_status = WriteFailed;
        else if (!m_lost.isEmpty())
            m_status = BadInput;
        else if (m_pictures == 0)
            m_status = NotAPicture;
        if (m_pictures == 0 && !m_failed)
            m_output.say(Words::tr("没有收到图片"));
        summarize();
        if (m_options.json) {
            QJsonObject end{
                {u"event"_s, u"end"_s},          {u"status"_s, m_status},
                {u"pictures"_s, m_pictures},     {u"bytes"_s, bytes()},
                {u"incomplete"_s, m_incomplete}, {u"seconds"_s, double(m_clock.elapsed()) / 1000}};
            if (!m_lost.isEmpty())
                end.insert(u"reason"_s, m_lost);
            m_output.printJsonLine(end);
        }
        QCoreApplication::exit(m_status);
    }

    const Options &m_options;
    const Output &m_output;
    SerialSource m_source;
    QTimer m_stopCheck;
    QTimer m_sendAgain;
    Reconnector m_reconnector{&m_source};
    QTimer m_statusTimer;
    QElapsedTimer m_clock; // since the port was first opened
    qint64 m_incomplete = 0;
    qint64 m_bytesBefore = 0; // received before the port was last opened
    hexjpg::SeriesNames m_series;
    QThread m_checking;
    QObject m_checker; // lives on m_checking
    QSemaphore m_room;
    QString m_lost;
    qint64 m_pictures = 0, m_arrived = 0, m_waiting = 0;
    int m_status = Picture;
    bool m_finished = false, m_ended = false, m_failed = false;
};

} // namespace

int listPorts(const Output &output)
{
    const QList<hexjpg::PortInfo> ports = hexjpg::availablePorts();
    if (output.json()) {
        QJsonArray list;
        for (const hexjpg::PortInfo &info : ports)
            list.append(QJsonObject{{u"name"_s, info.name},
                                    {u"location"_s, info.location},
                                    {u"description"_s, info.description},
                                    {u"manufacturer"_s, info.manufacturer}});
        QJsonObject out{{u"status"_s, Picture}, {u"ports"_s, list}};
        if (ports.isEmpty())
            out.insert(u"reason"_s, SerialSource::noPorts());
        output.printJson(out);
    } else {
        for (const QString &line : SerialSource::portList())
            hexjpg::system::printLine(stdout, line);
    }
    if (ports.isEmpty())
        output.say(SerialSource::noPorts());
    return Picture;
}

int receiveFromSerial(const Options &options, const Output &output)
{
    SerialRun run(options, output);
    return run.exec();
}
