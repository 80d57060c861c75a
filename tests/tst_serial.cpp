// Receiving from a serial port: hexjpg-cli --serial on one end of a pty pair from socat, a camera
// played by the test on the other, writing pictures in the layouts cameras print, and as bytes, at
// a throttled rate with pauses; and the port's faults.
//
// The same table runs against the Windows program under Wine (serial_fixture.h): the program's end
// of each pty pair is linked where the Wine prefix finds COM7 and COM12, and the program is given
// COM7, or COM12 where a port's number has two digits. Talking to the board: tst_serial_board.

#include "cut_captures.h"
#include "serial_fixture.h"
#include "series_names.h"
#include "test_support.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSerialPort>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

// Steps of the camera's part beside the bytes it writes.
const QByteArray kPause = "\x01pause";   // silent for longer than a picture may be
const QByteArray kUnplug = "\x01unplug"; // the device goes away

// MicroPython's print() of the bytes objects it reads from the camera, 32 bytes at a time.
QByteArray pythonReprs(const QByteArray &bytes)
{
    QByteArray text;
    for (qsizetype i = 0; i < bytes.size(); i += 32) {
        text += "b'";
        for (const char c : bytes.mid(i, 32))
            text += "\\x" + QByteArray::number(uchar(c), 16).rightJustified(2, '0');
        text += "'\n";
    }
    return text;
}

} // namespace

class TestSerial : public QObject, testing::SerialFixture {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void receive_data();
    void receive();
    void listPorts();
    void seriesNamesSortAndNeverRepeat();
    void cutCapturesAsFromFile_data();
    void cutCapturesAsFromFile();
};

void TestSerial::initTestCase()
{
    if (const QString why = setUp(); !why.isEmpty())
        QSKIP(qPrintable(why));
}

void TestSerial::cleanup()
{
    stopPty();
}

void TestSerial::receive_data()
{
    QTest::addColumn<QString>("port"); // "pty", "pty12" (COM12 under Wine), "missing" or "busy"
    QTest::addColumn<QStringList>("options");   // beside --serial, --all, --json and --dir
    QTest::addColumn<QByteArrayList>("camera"); // what it writes, in turn
    QTest::addColumn<QByteArrayList>("files");  // 1.jpg, 2.jpg, ... as they must be
    QTest::addColumn<QString>("complete");      // each file: 1 complete, 0 not
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said"); // on standard error

    const QByteArray a = testing::makeJpeg({160, 120}), b = testing::makeJpeg({64, 48}, true);
    const QByteArray half = b.first(b.size() / 2);
    const QString log = testing::serialLog({a, b});
    QTest::newRow("pairs in lines, log lines between")
        << u"pty12"_s << QStringList{}
        << QByteArrayList{"boot\r\n" + pairsInLines(a) + "ok\r\n", pairsInLines(b) + "ok\r\n"}
        << QByteArrayList{a, b} << u"11"_s << 0 << u"第 2 张"_s;
    QTest::newRow("serial monitor with timestamps, unpadded")
        << u"pty"_s << QStringList{} << QByteArrayList{log.toUtf8()} << QByteArrayList{a, b}
        << u"11"_s << 0 << QString();
    QTest::newRow("Python reprs") << u"pty"_s << QStringList{}
                                  << QByteArrayList{pythonReprs(a) + pythonReprs(b)}
                                  << QByteArrayList{a, b} << u"11"_s << 0 << QString();
    QTest::newRow("bytes after a banner")
        << u"pty"_s << QStringList{} << QByteArrayList{"OV2640 ready\r\n" + a, b}
        << QByteArrayList{a, b} << u"11"_s << 0 << QString();
    QTest::newRow("a pause in a picture")
        << u"pty"_s << QStringList{} << QByteArrayList{half, kPause, a} << QByteArrayList{half, a}
        << u"01"_s << 4 << u"不完整"_s;
    QTest::newRow("the last line without its line break")
        << u"pty"_s << QStringList{} << QByteArrayList{pairsInLines(a).trimmed(), kPause}
        << QByteArrayList{a} << u"1"_s << 0 << QString();
    QTest::newRow("a new picture before the end")
        << u"pty"_s << QStringList{} << QByteArrayList{pairsInLines(half) + pairsInLines(a)}
        << QByteArrayList{half, a} << u"01"_s << 4 << QString();
    QTest::newRow("enough pictures")
        << u"pty"_s << QStringList{u"--count"_s, u"1"_s} << QByteArrayList{a + b}
        << QByteArrayList{a} << u"1"_s << 0 << QString();
    QTest::newRow("unplugged in a picture, not waited for")
        << u"pty"_s << QStringList{u"--reconnect"_s, u"0"_s} << QByteArrayList{a, half, kUnplug}
        << QByteArrayList{a, half} << u"10"_s << 2 << u"断开"_s;
    QByteArray noise(6000, '\0');
    QRandomGenerator random(16);
    for (char &c : noise)
        c = char(random.bounded(0xff)); // never FF: no start marker by chance
    QTest::newRow("a wrong baud rate") << u"pty"_s << QStringList{} << QByteArrayList{noise}
                                       << QByteArrayList{} << QString() << 3 << u"波特率可能不对"_s;
    QTest::newRow("no such port") << u"missing"_s << QStringList{} << QByteArrayList{}
                                  << QByteArrayList{} << QString() << 2 << u"找不到串口"_s;
    QTest::newRow("a port in use") << u"busy"_s << QStringList{} << QByteArrayList{}
                                   << QByteArrayList{} << QString() << 2 << u"另一个程序"_s;
}

void TestSerial::receive()
{
    QFETCH(QString, port);
    QFETCH(QStringList, options);
    QFETCH(QByteArrayList, camera);
    QFETCH(QByteArrayList, files);
    QFETCH(QString, complete);
    QFETCH(int, status);
    QFETCH(QString, said);

    if (port == u"busy" && underWine())
        QSKIP("Wine lets a second program open a COM port: a port in use shows on Windows only");
    const bool twoDigits = port == u"pty12";
    const QString programEnd =
        underWine() ? m_links + (twoDigits ? u"/com12"_s : u"/com7"_s) : m_dir.filePath(u"port"_s);
    if (port != u"missing")
        startPty(programEnd);
    QString path = port == u"missing" ? m_dir.filePath(u"nothing"_s) : programEnd;
    if (underWine())
        path = port == u"missing" ? u"COM99"_s : twoDigits ? u"COM12"_s : u"COM7"_s;

    QTemporaryDir out;
    QSerialPort other; // a serial monitor left open
    if (port == u"busy") {
        other.setPortName(programEnd);
        QVERIFY(other.open(QIODevice::ReadOnly));
    }
    QProcess cli;
    const QStringList arguments =
        QStringList{u"--serial"_s, path,
                    u"--baud"_s,   u"921600"_s,
                    u"--all"_s,    u"--json"_s,
                    u"--dir"_s,    (underWine() ? u"Z:"_s : QString()) + out.path()} +
        options;
    if (underWine())
        cli.start(m_emulator, QStringList{m_cli} + arguments);
    else
        cli.start(m_cli, arguments);
    QByteArray err;
    QTRY_VERIFY_WITH_TIMEOUT(!cli.state() || (err += cli.readAllStandardError()).contains("Ctrl+C"),
                             20000);

    QFile device(m_camera);
    if (cli.state() != QProcess::NotRunning) {
        QVERIFY(device.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        for (const QByteArray &step : std::as_const(camera)) {
            if (step == kPause) {
                QThread::msleep(2500);
            } else if (step == kUnplug) {
                QThread::msleep(300);
                m_pty.kill();
            } else {
                // A throttled line: a few hundred bytes at a time, as a slow camera sends them.
                for (qsizetype at = 0; at < step.size(); at += 400) {
                    QCOMPARE(device.write(step.mid(at, 400)),
                             std::min<qsizetype>(400, step.size() - at));
                    QThread::msleep(1);
                }
            }
        }
        // Until the pictures have come, then Ctrl+C (SIGTERM; under Wine, SIGINT, which Wine
        // gives the program as Ctrl+C) ends the run.
        QThread::msleep(underWine() ? 1500 : 500);
        if (cli.state() != QProcess::NotRunning && !cli.waitForFinished(100)) {
            if (underWine())
                ::kill(pid_t(cli.processId()), SIGINT);
            else
                cli.terminate();
        }
    }
    QVERIFY(cli.state() == QProcess::NotRunning || cli.waitForFinished(20000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    err += cli.readAllStandardError();
    QVERIFY2(QString::fromUtf8(err).contains(said), err.constData());
    QVERIFY2(cli.exitCode() == status,
             qPrintable(u"status %1; said: %2"_s.arg(cli.exitCode()).arg(QString::fromUtf8(err))));
    if (port == u"pty" || port == u"pty12") // a run that received ends with its summary
        QVERIFY2(QString::fromUtf8(err).contains(u"共收到"_s), err.constData());

    QString told;
    for (const QByteArray &line : cli.readAllStandardOutput().split('\n')) {
        const QJsonObject event = QJsonDocument::fromJson(line).object();
        if (event[u"event"_s].toString() == u"picture")
            told += event[u"complete"_s].toBool() ? u'1' : u'0';
    }
    QCOMPARE(told, complete);
    for (qsizetype i = 0; i < files.size(); ++i)
        QCOMPARE(testing::readAll(out.filePath(u"%1.jpg"_s.arg(i + 1))).toHex(' '),
                 files[i].toHex(' '));
    QVERIFY(!QFileInfo::exists(out.filePath(u"%1.jpg"_s.arg(files.size() + 1))));
}

// The ports listed, as text and as JSON, agree; under Wine, the two its prefix maps are among them.
// Where there is none, the usual causes are told.
void TestSerial::listPorts()
{
    auto run = [this](const QStringList &options, QByteArray *err = nullptr) {
        QProcess cli;
        if (underWine())
            cli.start(m_emulator, QStringList{m_cli} + options);
        else
            cli.start(m_cli, options);
        [&] { QVERIFY(cli.waitForFinished(30000)); }();
        [&] { QCOMPARE(cli.exitCode(), 0); }();
        if (err)
            *err = cli.readAllStandardError();
        return cli.readAllStandardOutput();
    };
    QByteArray said;
    const QByteArray text = run({u"--list-ports"_s}, &said);
    const QJsonObject json =
        QJsonDocument::fromJson(run({u"--list-ports"_s, u"--json"_s})).object();
    QStringList names;
    for (const QJsonValue &port : json[u"ports"_s].toArray())
        names << port[u"name"_s].toString();
    QStringList listed;
    for (const QByteArray &line : text.split('\n'))
        if (!line.trimmed().isEmpty())
            listed << QString::fromUtf8(line).section(u' ', 0, 0).trimmed();
    QCOMPARE(listed, names);
    if (underWine()) {
        QVERIFY2(names.contains(u"COM7"_s) && names.contains(u"COM12"_s),
                 qPrintable(names.join(u' ')));
    } else if (names.isEmpty()) {
        QVERIFY2(QString::fromUtf8(said).contains(u"CH340"_s), said.constData());
        QVERIFY(json[u"reason"_s].toString().contains(u"CH340"_s));
    }
}

void TestSerial::seriesNamesSortAndNeverRepeat()
{
    QTemporaryDir folder;
    const QDateTime now(QDate(2026, 12, 9), QTime(23, 59, 59, 998));
    QVERIFY(testing::writeFile(folder.filePath(u"20261209-235959-999.jpg"_s), "taken"));
    hexjpg::SeriesNames names(folder.path());
    QCOMPARE(names.next(u"JPEG"_s, now), u"20261209-235959-998.jpg"_s);
    QCOMPARE(names.next(u"JPEG"_s, now), u"20261210-000000-000.jpg"_s); // 999 is taken
    QCOMPARE(names.next(u"PNG"_s, now.addSecs(-60)), u"20261210-000000-001.png"_s);
}

// A capture cut short, then another: streamed through the port, the same pictures are written,
// with the same words and status, as when the same text is read from a file; the cut one is never
// told as whole, and the run's status is not 0.
void TestSerial::cutCapturesAsFromFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("pictures");
    for (const testing::CutCapture &c : testing::cutCaptures())
        QTest::newRow(qPrintable(c.name)) << c.bytes << int(c.pictures.size());
}

void TestSerial::cutCapturesAsFromFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, pictures);

    const QByteArray text = pairsInLines(bytes);
    struct Run {
        int status = -1;
        QStringList states; // each picture's "complete" and words
        QByteArrayList files;
    };
    auto read = [](QProcess &cli, const QTemporaryDir &out) {
        Run run;
        run.status = cli.exitCode();
        const QByteArray json = cli.readAllStandardOutput();
        // A file's reading ends with one object; the port's run says one event a line.
        for (const QJsonValue &p : QJsonDocument::fromJson(json)[u"pictures"_s].toArray())
            run.states << (p[u"complete"_s].toBool() ? u"1"_s : u"0"_s);
        for (const QByteArray &line : json.split('\n')) {
            const QJsonObject event = QJsonDocument::fromJson(line).object();
            if (event[u"event"_s].toString() == u"picture")
                run.states << (event[u"complete"_s].toBool() ? u"1"_s : u"0"_s);
        }
        for (int i = 1; QFileInfo::exists(out.filePath(u"%1.jpg"_s.arg(i))); ++i)
            run.files << testing::readAll(out.filePath(u"%1.jpg"_s.arg(i)));
        return run;
    };

    QTemporaryDir fromFile, fromPort;
    const QString dump = m_dir.filePath(u"capture.txt"_s);
    QVERIFY(testing::writeFile(dump, text));
    QProcess file;
    startCli(file,
             {u"--all"_s, u"--json"_s, u"--dir"_s, shownPath(fromFile.path()), shownPath(dump)});
    QVERIFY(file.waitForFinished(30000));
    const Run a = read(file, fromFile);

    const QString programEnd = com7End();
    startPty(programEnd);
    QProcess port;
    startCli(port, {u"--serial"_s, com7Name(programEnd), u"--all"_s, u"--json"_s, u"--dir"_s,
                    shownPath(fromPort.path())});
    QByteArray err;
    QTRY_VERIFY_WITH_TIMEOUT((err += port.readAllStandardError()).contains("Ctrl+C"), 20000);
    QFile device(m_camera);
    QVERIFY(device.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    QCOMPARE(device.write(text), text.size());
    QThread::msleep(underWine() ? 3500 : 2500); // past the pause that ends a picture under way
    if (underWine())
        ::kill(pid_t(port.processId()), SIGINT);
    else
        port.terminate();
    QVERIFY(port.waitForFinished(20000));
    const Run b = read(port, fromPort);

    QCOMPARE(a.files.size(), pictures);
    QCOMPARE(b.files, a.files);
    QCOMPARE(b.states, a.states);
    QVERIFY(a.status != 0);
    if (pictures > 0)
        QCOMPARE(b.status, a.status);
    QVERIFY(!a.states.isEmpty() || pictures == 0);
    if (!a.states.isEmpty())
        QCOMPARE(a.states.front(), u"0"_s);
}

QTEST_GUILESS_MAIN(TestSerial)
#include "tst_serial.moc"
