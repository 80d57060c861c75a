#include "serial_run.h"

#include "console.h"
#include "diagnosis.h"
#include "exit_status.h"
#include "hex_to_jpeg.h"
#include "interruption.h"
#include "picture_loader.h"
#include "serial_source.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSemaphore>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

// The texts a person reads, in the Chinese they are written in: Qt's translation system gives them
// in the user's language.
namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(Cli)
};
} // namespace

namespace {

// How often a stop asked for (Ctrl+C, SIGTERM) is looked for while receiving.
constexpr int kStopCheckMs = 50;

void say(const QString &text)
{
    hexjpg::system::printLine(stderr, text);
}

// With --json, one object on a line of its own for each event.
void printJsonLine(const QJsonObject &object)
{
    const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    std::fwrite(line.constData(), 1, std::size_t(line.size()), stdout);
    std::fflush(stdout);
}

// Pictures are written and checked on a thread of their own, in the order they came, while the
// port is read on: a few may wait there, then reading waits for them.
constexpr int kMaxWaiting = 8;

class SerialRun : public QObject {
public:
    explicit SerialRun(const SerialOptions &options)
        : m_options(options)
        , m_room(kMaxWaiting)
    {
        connect(&m_source, &SerialSource::pictureArrived, this, &SerialRun::pictureArrived);
        connect(&m_source, &SerialSource::garbled, this, &SerialRun::warn);
        connect(&m_source, &SerialSource::ended, this, &SerialRun::ended);
        connect(&m_stopCheck, &QTimer::timeout, this, &SerialRun::checkStop);
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
        if (!m_source.open(m_options.port, m_options.baud)) {
            say(m_source.errorString());
            if (m_options.json)
                printJsonLine({{u"event"_s, u"end"_s},
                               {u"status"_s, BadInput},
                               {u"reason"_s, m_source.errorString()}});
            return BadInput;
        }
        say(Words::tr("正在从串口 %1 接收（%2 波特，8N1），按 Ctrl+C 结束")
                .arg(m_options.port)
                .arg(m_options.baud));
        m_stopCheck.start(kStopCheckMs);
        if (!m_ended) // it may have ended already, on what waited in the port
            QCoreApplication::exec();
        return m_status;
    }

private:
    // Ctrl+C ends the reading; the picture under way is then written as it stands, unless a
    // second Ctrl+C stops that too.
    void checkStop()
    {
        if (!hexjpg::interruptionRequested())
            return;
        hexjpg::clearInterruption();
        m_source.close();
    }

    void pictureArrived(const hexjpg::ArrivedPicture &arrived)
    {
        if (m_failed || (m_options.count > 0 && m_arrived >= m_options.count))
            return;
        ++m_arrived;
        const QString name = m_options.all ? u"%1.jpg"_s.arg(arrived.found.number)
                                           : hexjpg::kOutputFileName.toString();
        m_room.acquire();
        ++m_waiting;
        QMetaObject::invokeMethod(
            &m_checker,
            [this, arrived, name] {
                hexjpg::DecodeLimits limits;
                limits.deadline = QDeadlineTimer(hexjpg::kArrivedCheckMs);
                const hexjpg::WrittenPicture checked =
                    hexjpg::writeAndLoad(arrived.bytes, m_options.folder, name,
                                         hexjpg::PictureLoader(hexjpg::kPictureAreaSize, limits));
                m_room.release();
                QMetaObject::invokeMethod(
                    this, [this, found = arrived.found, checked] { pictureChecked(found, checked); },
                    Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
        if (m_options.count > 0 && m_arrived >= m_options.count)
            finish();
    }

    void pictureChecked(const hexjpg::FoundPicture &found, const hexjpg::WrittenPicture &checked)
    {
        --m_waiting;
        if (m_failed)
            return endIfDone();
        if (!checked.written.ok()) {
            say(Words::tr("无法写入文件：") + checked.written.path + u'\n' + checked.written.error);
            m_failed = true;
            m_status = WriteFailed;
            finish();
            return endIfDone();
        }
        report(checked.written.path, found, checked.picture);
        endIfDone();
    }

    void report(const QString &path, const hexjpg::FoundPicture &found,
                const hexjpg::LoadedPicture &loaded)
    {
        hexjpg::LoadedPicture told = loaded; // what the finder saw where it does not decode
        if (loaded.error != 0) {
            told.format = found.format;
            told.size = found.size;
        }
        const bool decodes = loaded.error == 0;
        const bool complete = decodes && loaded.complete && found.whole;
        const int status = !decodes ? NotAPicture : complete ? Picture : Incomplete;
        m_status = m_pictures++ == 0 ? status : std::max(m_status, status);
        QString state = !decodes   ? Words::tr("不能解码")
                        : complete ? Words::tr("完整")
                                   : Words::tr("不完整");
        if (!found.whole && !found.problem.isEmpty())
            state += Words::tr("（%1）").arg(found.problem);
        const QString line = Words::tr("第 %1 张：%2，%3，%4")
                                 .arg(found.number)
                                 .arg(path, hexjpg::describePicture(told, found.length), state);
        if (!m_options.json) {
            hexjpg::system::printLine(stdout, line);
            std::fflush(stdout);
            return;
        }
        say(line);
        const QSize size = told.size;
        printJsonLine({{u"event"_s, u"picture"_s},
                       {u"number"_s, found.number},
                       {u"file"_s, path},
                       {u"offset"_s, found.offset},
                       {u"length"_s, found.length},
                       {u"format"_s, told.format},
                       {u"width"_s, size.width()},
                       {u"height"_s, size.height()},
                       {u"decodes"_s, decodes},
                       {u"complete"_s, complete},
                       {u"problem"_s, found.problem}});
    }

    void warn(const QString &message)
    {
        say(message);
        if (m_options.json)
            printJsonLine({{u"event"_s, u"warning"_s}, {u"message"_s, message}});
    }

    void ended(const QString &reason)
    {
        if (!reason.isEmpty()) {
            say(reason);
            m_lost = reason;
        }
        finish();
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
            say(Words::tr("没有收到图片"));
        if (m_options.json) {
            QJsonObject end{{u"event"_s, u"end"_s},
                            {u"status"_s, m_status},
                            {u"pictures"_s, m_pictures},
                            {u"bytes"_s, m_source.stream().received()}};
            if (!m_lost.isEmpty())
                end.insert(u"reason"_s, m_lost);
            printJsonLine(end);
        }
        QCoreApplication::exit(m_status);
    }

    const SerialOptions &m_options;
    SerialSource m_source;
    QTimer m_stopCheck;
    QThread m_checking;
    QObject m_checker; // lives on m_checking
    QSemaphore m_room;
    QString m_lost;
    qint64 m_pictures = 0, m_arrived = 0, m_waiting = 0;
    int m_status = Picture;
    bool m_finished = false, m_ended = false, m_failed = false;
};

} // namespace

int receiveFromSerial(const SerialOptions &options)
{
    SerialRun run(options);
    return run.exec();
}
