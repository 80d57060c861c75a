// Receiving from a serial port: hexjpg-cli --serial on one end of a pty pair from socat, a camera
// played by the test on the other, writing pictures in the layouts cameras print, and as bytes, at
// a throttled rate with pauses; and the port's faults.

#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace Qt::StringLiterals;

namespace {

// Steps of the camera's part beside the bytes it writes.
const QByteArray kPause = "\x01pause";   // silent for longer than a picture may be
const QByteArray kUnplug = "\x01unplug"; // the device goes away

QByteArray pairsInLines(const QByteArray &bytes)
{
    QByteArray text;
    for (qsizetype i = 0; i < bytes.size(); i += 16)
        text += bytes.mid(i, 16).toHex(' ').toUpper() + "\r\n";
    return text;
}

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

class TestSerial : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void receive_data();
    void receive();

private:
    QString m_socat;
    QTemporaryDir m_dir;
    QProcess m_pty;
    QString m_port, m_camera;
};

void TestSerial::initTestCase()
{
    m_socat = QStandardPaths::findExecutable(u"socat"_s);
    if (m_socat.isEmpty())
        QSKIP("socat is not installed");
    QVERIFY(m_dir.isValid());
    // The tool's words, as these checks read them: no language set, the described Chinese.
    qputenv("LC_ALL", "C");
    qunsetenv("LANGUAGE");
}

// A pty pair: the port the tool opens, and the camera's end.
void TestSerial::init()
{
    m_port = m_dir.filePath(u"port"_s);
    m_camera = m_dir.filePath(u"camera"_s);
    QFile::remove(m_port);
    QFile::remove(m_camera);
    m_pty.start(m_socat,
                {u"pty,raw,echo=0,link="_s + m_port, u"pty,raw,echo=0,link="_s + m_camera});
    QTRY_VERIFY(QFileInfo::exists(m_port) && QFileInfo::exists(m_camera));
}

void TestSerial::cleanup()
{
    m_pty.kill();
    m_pty.waitForFinished();
}

void TestSerial::receive_data()
{
    QTest::addColumn<QString>("port");          // "pty", or "missing" or "busy"
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
        << u"pty"_s << QStringList{}
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
    QTest::newRow("unplugged in a picture")
        << u"pty"_s << QStringList{} << QByteArrayList{a, half, kUnplug} << QByteArrayList{a, half}
        << u"10"_s << 2 << u"断开"_s;
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

    QTemporaryDir out;
    QSerialPort other; // a serial monitor left open
    if (port == u"busy") {
        other.setPortName(m_port);
        QVERIFY(other.open(QIODevice::ReadOnly));
    }
    const QString path = port == u"missing" ? m_dir.filePath(u"nothing"_s) : m_port;
    QProcess cli;
    cli.start(QStringLiteral(HEXJPG_CLI),
              QStringList{u"--serial"_s, path, u"--baud"_s, u"921600"_s, u"--all"_s, u"--json"_s,
                          u"--dir"_s, out.path()} +
                  options);
    QByteArray err;
    QTRY_VERIFY(!cli.state() || (err += cli.readAllStandardError()).contains("Ctrl+C"));

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
        // Until the pictures have come, then Ctrl+C (SIGTERM) ends the run.
        QThread::msleep(500);
        if (cli.state() != QProcess::NotRunning && !cli.waitForFinished(100))
            cli.terminate();
    }
    QVERIFY(cli.state() == QProcess::NotRunning || cli.waitForFinished(10000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    err += cli.readAllStandardError();
    QVERIFY2(QString::fromUtf8(err).contains(said), err.constData());
    QCOMPARE(cli.exitCode(), status);

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

QTEST_GUILESS_MAIN(TestSerial)
#include "tst_serial.moc"
