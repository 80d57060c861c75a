// Talking to the board over a serial port, with hexjpg-cli --serial on one end of a pty pair from
// socat and the board played by the test on the other: the command sent, the modem lines' levels,
// a board that resets, every picture kept, and raw frames. Under Wine as tst_serial is
// (serial_fixture.h).

#include "picture_loader.h"
#include "raw_frame_stream.h"
#include "raw_frames.h"
#include "received_stream.h"
#include "serial_fixture.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>

using namespace Qt::StringLiterals;

class TestSerialBoard : public QObject, testing::SerialFixture {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (const QString why = setUp(); !why.isEmpty())
            QSKIP(qPrintable(why));
    }
    void cleanup() { stopPty(); }
    void sendsToTheBoard_data();
    void sendsToTheBoard();
    void modemLinesAsChosen_data();
    void modemLinesAsChosen();
    void reconnects_data();
    void reconnects();
    void savesEachPicture();
    void rawFrameStream_data();
    void rawFrameStream();
    void framesJudgedAtAPause_data();
    void framesJudgedAtAPause();
    void rawFramesOverThePort_data();
    void rawFramesOverThePort();
};

// The command for the board reaches it once the port is open, escapes read, and again as often as
// asked; each sending is told.
void TestSerialBoard::sendsToTheBoard_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("received"); // by the board, at least
    QTest::addColumn<int>("times");           // told as sent, at least

    QTest::newRow("text with escapes")
        << QStringList{u"--send"_s, u"c\\r\\n\\x01"_s} << QByteArray("c\r\n\x01") << 1;
    QTest::newRow("hex pairs") << QStringList{u"--send-hex"_s, u"56 00 36 01 00"_s}
                               << QByteArray("\x56\x00\x36\x01\x00", 5) << 1;
    QTest::newRow("again and again")
        << QStringList{u"--send"_s, u"c"_s, u"--send-every"_s, u"0.3"_s} << QByteArray("ccc") << 3;
}

void TestSerialBoard::sendsToTheBoard()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, received);
    QFETCH(int, times);

    const QString programEnd = com7End();
    startPty(programEnd);
    QSerialPort board; // read without waiting
    board.setPortName(m_camera);
    QVERIFY(board.open(QIODevice::ReadOnly));
    QTemporaryDir out;
    QProcess cli;
    startCli(cli, QStringList{u"--serial"_s, com7Name(programEnd), u"--json"_s, u"--dir"_s,
                              shownPath(out.path())} +
                      options);
    QByteArray heard;
    QTRY_VERIFY_WITH_TIMEOUT((heard += board.readAll()).size() >= received.size() ||
                                 cli.state() == QProcess::NotRunning,
                             20000);
    QCOMPARE(heard.first(received.size()), received);
    if (underWine())
        ::kill(pid_t(cli.processId()), SIGINT);
    else
        cli.terminate();
    QVERIFY(cli.waitForFinished(20000));
    QVERIFY(cli.readAllStandardOutput().count("\"event\":\"sent\"") >= times);
}

// DTR and RTS at the levels chosen, and a line chosen low never raised on the way there (the
// levels recorded by modem_lines.cpp, through the ioctl calls the tool makes, also under Wine).
void TestSerialBoard::modemLinesAsChosen_data()
{
    QTest::addColumn<bool>("dtr");
    QTest::addColumn<bool>("rts");
    QTest::newRow("both low (ESP32-CAM)") << false << false;
    QTest::newRow("DTR high (native USB)") << true << false;
    QTest::newRow("RTS high") << false << true;
    QTest::newRow("both high") << true << true;
}

void TestSerialBoard::modemLinesAsChosen()
{
    QFETCH(bool, dtr);
    QFETCH(bool, rts);
#ifdef MODEM_LINES
    const QString programEnd = com7End();
    startPty(programEnd);
    const QString log = m_dir.filePath(u"modem-lines"_s);
    QFile::remove(log);
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"LD_PRELOAD"_s, QStringLiteral(MODEM_LINES));
    environment.insert(u"HEXJPG_MODEM_LOG"_s, log);
    cli.setProcessEnvironment(environment);
    QTemporaryDir out;
    const auto level = [](bool on) { return on ? u"on"_s : u"off"_s; };
    startCli(cli, {u"--serial"_s, com7Name(programEnd), u"--dtr"_s, level(dtr), u"--rts"_s,
                   level(rts), u"--dir"_s, shownPath(out.path())});
    const QString wanted = u"dtr=%1 rts=%2"_s.arg(int(dtr)).arg(int(rts));
    auto levels = [&] {
        return QString::fromLatin1(testing::readAll(log)).split(u'\n', Qt::SkipEmptyParts);
    };
    QTRY_VERIFY_WITH_TIMEOUT(levels().value(levels().size() - 1) == wanted ||
                                 cli.state() == QProcess::NotRunning,
                             20000);
    QTest::qWait(300); // nothing more changes them
    if (underWine())
        ::kill(pid_t(cli.processId()), SIGINT);
    else
        cli.terminate();
    QVERIFY(cli.waitForFinished(20000));
    const QStringList seen = levels();
    QVERIFY2(!seen.isEmpty() && seen.back() == wanted, qPrintable(seen.join(u", "_s)));
    bool dtrWas = true, rtsWas = true; // as the kernel leaves them at open
    for (const QString &line : seen) {
        const bool dtrNow = line.startsWith(u"dtr=1"_s), rtsNow = line.endsWith(u"rts=1"_s);
        QVERIFY2((dtr || dtrWas || !dtrNow) && (rts || rtsWas || !rtsNow),
                 qPrintable(u"a line chosen low was raised: "_s + seen.join(u", "_s)));
        dtrWas = dtrNow;
        rtsWas = rtsNow;
    }
#else
    QSKIP("the modem lines are recorded on Linux");
#endif
}

// A board that resets: the port goes away and comes back by the same name. The picture under way
// is handed on as incomplete, receiving goes on with the numbering, the command is sent again, and
// each loss and return is told; one that does not come back in time ends the run as unplugged.
void TestSerialBoard::reconnects_data()
{
    QTest::addColumn<bool>("comesBack");
    QTest::addColumn<QString>("talk");     // sent, lost, back, in order
    QTest::addColumn<QString>("pictures"); // each told: 1 complete, 0 not
    QTest::addColumn<int>("status");
    // The half picture does not decode: 3; a port that did not come back: 2.
    QTest::newRow("back in time") << true << u"sent lost back sent"_s << u"101"_s << 3;
    QTest::newRow("not back") << false << u"sent lost"_s << u"10"_s << 2;
}

void TestSerialBoard::reconnects()
{
    QFETCH(bool, comesBack);
    QFETCH(QString, talk);
    QFETCH(QString, pictures);
    QFETCH(int, status);

    const QByteArray a = testing::makeJpeg({40, 30}), b = testing::makeJpeg({20, 10});
    const QString programEnd = com7End();
    startPty(programEnd);
    QTemporaryDir out;
    QProcess cli;
    startCli(cli, {u"--serial"_s, com7Name(programEnd), u"--send"_s, u"c"_s, u"--reconnect"_s,
                   u"3"_s, u"--all"_s, u"--json"_s, u"--dir"_s, shownPath(out.path())});
    QByteArray err;
    QTRY_VERIFY_WITH_TIMEOUT((err += cli.readAllStandardError()).contains("Ctrl+C"), 20000);
    auto send = [this](const QByteArray &text) {
        QFile device(m_camera);
        QVERIFY(device.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        QCOMPARE(device.write(text), text.size());
    };
    send(pairsInLines(a) + pairsInLines(b.first(b.size() / 2)));
    QThread::msleep(underWine() ? 1500 : 500);
    m_pty.kill(); // the board resets
    m_pty.waitForFinished();
    if (comesBack) {
        QThread::msleep(800);
        startPty(programEnd);
        QTRY_VERIFY_WITH_TIMEOUT((err += cli.readAllStandardError()).contains("继续接收"), 20000);
        send(pairsInLines(b));
        QThread::msleep(underWine() ? 1500 : 500);
        if (underWine())
            ::kill(pid_t(cli.processId()), SIGINT);
        else
            cli.terminate();
    }
    QVERIFY(cli.waitForFinished(20000));
    QCOMPARE(cli.exitCode(), status);
    QStringList told;
    QString complete;
    for (const QByteArray &line : cli.readAllStandardOutput().split('\n')) {
        const QJsonObject event = QJsonDocument::fromJson(line).object();
        const QString kind = event[u"event"_s].toString();
        if (kind == u"picture")
            complete += event[u"complete"_s].toBool() ? u'1' : u'0';
        else if (kind == u"lost" || kind == u"back" || kind == u"sent")
            told << kind;
    }
    QCOMPARE(told.join(u' '), talk);
    QCOMPARE(complete, pictures);
    QCOMPARE(testing::readAll(out.filePath(u"1.jpg"_s)), a);
    QCOMPARE(testing::readAll(out.filePath(u"2.jpg"_s)), b.first(b.size() / 2));
    if (comesBack)
        QCOMPARE(testing::readAll(out.filePath(u"3.jpg"_s)), b);
}

// --save-each keeps every picture under the time it came, in names that sort in the order of
// arrival, beside 1.jpg, which holds the newest; a PNG keeps its extension.
void TestSerialBoard::savesEachPicture()
{
    const QByteArray a = testing::makeJpeg({40, 30}), b = testing::makeJpeg({20, 10});
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImage(8, 8, QImage::Format_RGB32).save(&buffer, "PNG");
    }
    const QString programEnd = com7End();
    startPty(programEnd);
    QTemporaryDir out, series;
    QProcess cli;
    startCli(cli, {u"--serial"_s, com7Name(programEnd), u"--count"_s, u"4"_s, u"--save-each"_s,
                   shownPath(series.path()), u"--dir"_s, shownPath(out.path())});
    QByteArray err;
    QTRY_VERIFY_WITH_TIMEOUT((err += cli.readAllStandardError()).contains("Ctrl+C"), 20000);
    QFile device(m_camera);
    QVERIFY(device.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArrayList sent{a, b, png, a};
    for (const QByteArray &picture : sent) // one block: several pictures in one millisecond
        device.write(pairsInLines(picture));
    QVERIFY(cli.waitForFinished(20000));
    QCOMPARE(cli.exitCode(), 0);
    const QStringList names = QDir(series.path()).entryList(QDir::Files, QDir::Name);
    QCOMPARE(names.size(), sent.size());
    for (qsizetype i = 0; i < names.size(); ++i) {
        QVERIFY2(
            QRegularExpression(u"^\\d{8}-\\d{6}-\\d{3}\\.(jpg|png)$"_s).match(names[i]).hasMatch(),
            qPrintable(names[i]));
        QCOMPARE(names[i].endsWith(u".png"_s), i == 2);
        QCOMPARE(testing::readAll(series.filePath(names[i])), sent[i]);
    }
    QCOMPARE(testing::readAll(out.filePath(u"1.jpg"_s)), a);
}

// Frames of 6 bytes in blocks of every size: after each marker where there is one (a marker split
// between blocks too), text between them passed over; back to back where there is none.
void TestSerialBoard::rawFrameStream_data()
{
    QTest::addColumn<QByteArray>("marker");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArrayList>("frames");
    QTest::newRow("after *RDY*, text between")
        << QByteArray("*RDY*") << QByteArray("boot\r\n*RDY*abcdef\r\nok *RDY*ghijkl*RD")
        << QByteArrayList{"abcdef", "ghijkl"};
    QTest::newRow("a marker's bytes inside a frame are pixels")
        << QByteArray("*RDY*") << QByteArray("*RDY**RDY*x*RDY*123456")
        << QByteArrayList{"*RDY*x", "123456"};
    QTest::newRow("no marker") << QByteArray() << QByteArray("abcdefghijklmn")
                               << QByteArrayList{"abcdef", "ghijkl"};
}

void TestSerialBoard::rawFrameStream()
{
    QFETCH(QByteArray, marker);
    QFETCH(QByteArray, line);
    QFETCH(QByteArrayList, frames);
    for (const qsizetype block : {qsizetype(1), qsizetype(2), qsizetype(5), line.size()}) {
        hexjpg::RawFrameStream stream(6, marker);
        QByteArrayList got;
        for (qsizetype i = 0; i < line.size(); i += block)
            for (QByteArray &frame : stream.feed(
                     QByteArrayView(line).sliced(i).first(std::min(block, line.size() - i))))
                got << frame;
        QCOMPARE(got, frames);
        QCOMPARE(stream.received(), line.size());
    }
}

// Without --raw, what came between two pauses of the line with no picture in it is judged as a
// raw frame, sent as bytes or printed as hex pairs.
void TestSerialBoard::framesJudgedAtAPause_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("format"); // empty: no frame
    const QByteArray frame =
        "*RDY*" + testing::rawFrameOf(testing::photoLike({160, 120}, 4), hexjpg::RawFormat::Rgb565);
    QByteArray pairs;
    for (qsizetype i = 0; i < frame.size(); i += 32)
        pairs += frame.mid(i, 32).toHex(' ') + "\r\n";
    QTest::newRow("bytes after *RDY*") << frame << u"rgb565"_s;
    QTest::newRow("hex pairs") << pairs << u"rgb565"_s;
    QTest::newRow("a JPEG, no frame") << testing::makeJpeg({160, 120}) << QString();
    QByteArray noise(frame.size() - 5, Qt::Uninitialized);
    QRandomGenerator(9).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    QTest::newRow("random bytes of a frame's length") << noise << QString();
}

void TestSerialBoard::framesJudgedAtAPause()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, format);
    hexjpg::ReceivedStream stream;
    std::vector<hexjpg::ArrivedPicture> pictures;
    for (int pause = 0; pause < 2; ++pause) { // a second frame, after the first pause
        for (qsizetype i = 0; i < line.size(); i += 4096)
            for (auto &picture : stream
                                     .feed(QByteArrayView(line).sliced(i).first(
                                         std::min<qsizetype>(4096, line.size() - i)))
                                     .pictures)
                pictures.push_back(std::move(picture));
        for (auto &picture : stream.pause().pictures)
            pictures.push_back(std::move(picture));
    }
    const auto raw = std::count_if(pictures.begin(), pictures.end(),
                                   [](const auto &p) { return !p.rawFormat.isEmpty(); });
    QCOMPARE(raw, format.isEmpty() ? 0 : 2);
    if (format.isEmpty())
        return;
    const QByteArray frame =
        line.startsWith("*RDY*") ? line.sliced(5) : QByteArray::fromHex(line).sliced(5);
    const QImage held = hexjpg::rawFrameImage(frame, hexjpg::RawFormat::Rgb565, {160, 120});
    for (const hexjpg::ArrivedPicture &picture : pictures) {
        QCOMPARE(picture.rawFormat, format);
        QCOMPARE(picture.found.size, QSize(160, 120));
        QVERIFY(testing::psnr(
                    held, hexjpg::PictureLoader().load(QByteArrayView(picture.bytes)).image) >= 38);
    }
}

// Over the port, each frame becomes a picture near what its bytes hold: with --raw after its
// marker, without as judged at a pause.
void TestSerialBoard::rawFramesOverThePort_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("told");
    QTest::newRow("chosen") << QStringList{u"--raw"_s,          u"yuyv"_s,
                                           u"--size"_s,         u"96x96"_s,
                                           u"--frame-marker"_s, u"*RDY*"_s,
                                           u"--count"_s,        u"2"_s}
                            << int(hexjpg::RawFormat::Yuyv) << u"由 96×96 YUV"_s;
    QTest::newRow("judged at a pause")
        << QStringList{u"--count"_s, u"1"_s} << int(hexjpg::RawFormat::Rgb565)
        << u"由 96×96 RGB565 原始图像编码（把握"_s;
}

void TestSerialBoard::rawFramesOverThePort()
{
    QFETCH(QStringList, options);
    QFETCH(int, format);
    QFETCH(QString, told);
    const auto raw = hexjpg::RawFormat(format);
    const QString programEnd = com7End();
    startPty(programEnd);
    QTemporaryDir out;
    QProcess cli;
    startCli(cli, QStringList{u"--serial"_s, com7Name(programEnd), u"--all"_s, u"--dir"_s,
                              shownPath(out.path())} +
                      options);
    QVERIFY(cli.waitForStarted());
    QTest::qWait(underWine() ? 3000 : 500); // the port opened
    QList<QByteArray> frames;
    for (const quint32 seed : {1u, 2u})
        frames << testing::rawFrameOf(testing::photoLike({96, 96}, seed), raw);
    QFile board(m_camera);
    QVERIFY(board.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    board.write("OV7670 ready\r\n*RDY*" + frames[0]);
    QTest::qWait(3000); // a pause longer than the line's silence
    const int count = options.count(u"--raw"_s) + 1;
    if (count > 1)
        board.write("\r\n*RDY*" + frames[1]);
    QVERIFY2(cli.state() == QProcess::NotRunning || cli.waitForFinished(30000),
             cli.readAllStandardError().constData());
    QCOMPARE(cli.exitCode(), 0);
    const QString said = QString::fromUtf8(cli.readAllStandardOutput());
    QVERIFY2(said.contains(told), qPrintable(said));
    for (int i = 0; i < count; ++i) {
        const QImage held = hexjpg::rawFrameImage(frames[i], raw, {96, 96});
        const QImage written =
            hexjpg::PictureLoader().load(QDir(out.path()).filePath(u"%1.jpg"_s.arg(i + 1))).image;
        QVERIFY2(testing::psnr(held, written) >= 38, qPrintable(QString::number(i + 1)));
    }
}

QTEST_MAIN(TestSerialBoard)
#include "tst_serial_board.moc"
