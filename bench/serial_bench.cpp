// Receiving from a serial port, measured in one run: the serial path (a pty pair from socat, read
// by the serial source as the programs read it) against the same bytes read from a file; the
// receiving side's CPU time at 2 Mbaud; and a 20 MB stream against a 2 MB one. Prints "name: value"
// lines.
//
//   hexjpg-serial-bench [--rounds N] [--seconds S]
//   hexjpg-serial-bench --wine hexjpg-cli.exe --com-links DIR [--rounds N] [--seconds S]
//
// With --wine, the console tool measured is the Windows one under Wine (WINEPREFIX as set), on
// COM7, which the prefix maps to DIR/com7; the port's end of the pty pair is linked there. The CPU
// of Wine's own server is then told apart from the program's.

#include "received_stream.h"
#include "serial_source.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void print(const char *name, double value, int decimals = 2)
{
    std::printf("%s: %.*f\n", name, decimals, value);
    std::fflush(stdout);
}

// The CPU time of the calling thread, in seconds.
double threadCpu()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// A camera's output: pictures of about 40 KB as pairs, 16 to a line, behind a log prefix, with
// status lines between them; about size bytes of it.
QByteArray cameraText(qsizetype size, qint64 &pictures)
{
    QImage image(320, 240, QImage::Format_RGB32);
    QRandomGenerator random(16);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, (random.generate() & 0x3f3f3f) | qRgb(x % 256, y % 256, 128));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    QByteArray one = "I (1000) cam: Capture done\r\n";
    for (qsizetype i = 0; i < jpeg.size(); i += 16)
        one += "I (1001) cam: " + jpeg.mid(i, 16).toHex(' ').toUpper() + "\r\n";
    one += "I (1002) cam: Image Transfer Complete\r\n";
    QByteArray text;
    pictures = 0;
    while (text.size() < size) {
        text += one;
        ++pictures;
    }
    return text;
}

// The bytes as the port would bring them, in blocks of block bytes, read straight through.
double readInBlocks(const QByteArray &text, qsizetype block, qint64 &pictures)
{
    QElapsedTimer timer;
    timer.start();
    hexjpg::ReceivedStream stream;
    pictures = 0;
    for (qsizetype at = 0; at < text.size(); at += block)
        pictures +=
            qint64(stream.feed(QByteArrayView(text).sliced(at, std::min(block, text.size() - at)))
                       .pictures.size());
    pictures += qint64(stream.finish().pictures.size());
    return double(timer.nsecsElapsed()) / 1e9;
}

// times copies of unit, made and read a 4 KiB block at a time.
double readRepeated(const QByteArray &unit, qint64 times, qint64 &pictures)
{
    QElapsedTimer timer;
    timer.start();
    hexjpg::ReceivedStream stream;
    pictures = 0;
    QByteArray block(4096, Qt::Uninitialized);
    const qint64 total = times * unit.size();
    for (qint64 at = 0; at < total; at += block.size()) {
        const qsizetype size = qsizetype(std::min<qint64>(block.size(), total - at));
        for (qsizetype i = 0; i < size;) {
            const qsizetype from = qsizetype((at + i) % unit.size());
            const qsizetype n = std::min(size - i, unit.size() - from);
            std::memcpy(block.data() + i, unit.constData() + from, std::size_t(n));
            i += n;
        }
        pictures += qint64(stream.feed(QByteArrayView(block).first(size)).pictures.size());
    }
    pictures += qint64(stream.finish().pictures.size());
    return double(timer.nsecsElapsed()) / 1e9;
}

// A pty pair: the port and the camera's end.
class PtyPair {
public:
    bool start(const QString &folder, const QString &portLink = {})
    {
        port = portLink.isEmpty() ? folder + u"/port"_s : portLink;
        QFile::remove(port);
        camera = folder + u"/camera"_s;
        const QString socat = QStandardPaths::findExecutable(u"socat"_s);
        if (socat.isEmpty())
            return false;
        m_socat.start(socat,
                      {u"pty,raw,echo=0,link="_s + port, u"pty,raw,echo=0,link="_s + camera});
        QElapsedTimer waited;
        waited.start();
        while (!(QFileInfo::exists(port) && QFileInfo::exists(camera)) && waited.elapsed() < 5000)
            QThread::msleep(10);
        return QFileInfo::exists(port);
    }
    ~PtyPair()
    {
        m_socat.kill();
        m_socat.waitForFinished();
    }
    QString port, camera;

private:
    QProcess m_socat;
};

// Writes text to the camera's end from a thread of its own: as fast as the line takes it, or at
// rate bytes a second.
QThread *writer(const QString &camera, const QByteArray &text, qint64 rate)
{
    return QThread::create([camera, text, rate] {
        QFile device(camera);
        if (!device.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return;
        QElapsedTimer clock;
        clock.start();
        const qsizetype block = rate > 0 ? qsizetype(rate / 100) : 65536;
        for (qsizetype at = 0; at < text.size(); at += block) {
            device.write(text.mid(at, block));
            if (rate > 0) // on schedule: block bytes every 10 ms
                while (clock.nsecsElapsed() < qint64((at + block) * 1e9 / double(rate)))
                    QThread::usleep(500);
        }
    });
}

// Receives from the port until all the pictures have come; returns the seconds it took and the
// receiving thread's CPU seconds.
std::pair<double, double> receive(const PtyPair &pty, const QByteArray &text, qint64 pictures,
                                  qint64 rate, bool &ok)
{
    SerialSource source;
    qint64 arrived = 0;
    QObject::connect(&source, &SerialSource::pictureArrived, [&] {
        if (++arrived == pictures)
            QCoreApplication::exit(0);
    });
    ok = source.open(pty.port, 2000000);
    if (!ok) {
        std::fprintf(stderr, "%s\n", qPrintable(source.errorString()));
        return {0, 0};
    }
    QThread *thread = writer(pty.camera, text, rate);
    const double cpu = threadCpu();
    QElapsedTimer timer;
    timer.start();
    thread->start();
    QCoreApplication::exec();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const double used = threadCpu() - cpu;
    thread->wait();
    delete thread;
    ok = arrived == pictures;
    return {seconds, used};
}

// The console tool under test: the Linux one, or the Windows one under Wine.
struct Cli {
    QString program;
    QStringList leading; // the Windows program's path, when the program is wine
    QString port;        // as the tool names it
    bool wine = false;

    QString path(const QString &file) const { return wine ? u"Z:"_s + file : file; }
    void start(QProcess &process, const QStringList &args) const
    {
        process.start(program, leading + args);
    }
    int run(const QStringList &args) const // what it prints goes nowhere
    {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(program, leading + args);
        return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit
                   ? process.exitCode()
                   : -1;
    }
};

// The CPU seconds Wine's server has used, from the system's account of it; 0 without one.
double wineserverCpu()
{
    QProcess pgrep;
    pgrep.start(u"pgrep"_s, {u"^wineserver"_s}); // wineserver64 on 64-bit systems
    pgrep.waitForFinished();
    double total = 0;
    const long ticks = sysconf(_SC_CLK_TCK);
    for (const QByteArray &pid : pgrep.readAllStandardOutput().split('\n')) {
        QFile stat(u"/proc/"_s + QString::fromLatin1(pid.trimmed()) + u"/stat"_s);
        if (pid.trimmed().isEmpty() || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 12) // utime and stime, the 14th and 15th fields
            total += double(fields[11].toLongLong() + fields[12].toLongLong()) / double(ticks);
    }
    return total;
}

// The console tool as a whole at 2 Mbaud, writing and checking each picture: its CPU time, from
// the system's count of its children's, and under Wine, the CPU of Wine's server beside it.
void printCliAt2Mbaud(const Cli &cli, const PtyPair &pty, const QString &folder, int seconds)
{
    qint64 pictures = 0;
    const QByteArray slow = cameraText(200000 * seconds, pictures);
    QDir(folder).mkdir(u"slow"_s);
    rusage before{}, after{};
    getrusage(RUSAGE_CHILDREN, &before);
    const double serverBefore = wineserverCpu();
    QProcess serial;
    cli.start(serial, {u"--serial"_s, cli.port, u"--baud"_s, u"2000000"_s, u"--count"_s,
                       QString::number(pictures), u"--dir"_s, cli.path(folder + u"/slow"_s)});
    serial.setReadChannel(QProcess::StandardError);
    serial.waitForReadyRead();
    QThread *thread = writer(pty.camera, slow, 200000);
    QElapsedTimer timer;
    timer.start();
    thread->start();
    serial.waitForFinished(-1);
    const double wall = double(timer.nsecsElapsed()) / 1e9;
    thread->wait();
    delete thread;
    getrusage(RUSAGE_CHILDREN, &after);
    const double server = wineserverCpu() - serverBefore;
    auto cpu = [](const rusage &u) {
        return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
               double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    };
    std::printf("cli-at-2mbaud-correct: %s\n", serial.exitCode() == 0 ? "yes" : "NO");
    print("cli-cpu-percent-at-2mbaud", 100.0 * (cpu(after) - cpu(before)) / wall);
    if (cli.wine)
        print("wineserver-cpu-percent-at-2mbaud", 100.0 * server / wall);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // the pictures are made with Qt's JPEG writer
    const QStringList args = app.arguments();
    auto option = [&](const QString &name, int fallback) {
        const qsizetype i = args.indexOf(name);
        return i >= 0 && i + 1 < args.size() ? args[i + 1].toInt() : fallback;
    };
    const int seconds = option(u"--seconds"_s, 5);
    const int rounds = option(u"--rounds"_s, 5);
    auto textOption = [&](const QString &name) {
        const qsizetype i = args.indexOf(name);
        return i >= 0 && i + 1 < args.size() ? args[i + 1] : QString();
    };
    const QString windowsProgram = textOption(u"--wine"_s);
    const QString comLinks = textOption(u"--com-links"_s);
    if (!windowsProgram.isEmpty() && comLinks.isEmpty()) {
        std::fprintf(stderr, "--wine needs --com-links\n");
        return 2;
    }

    QTemporaryDir folder;
    PtyPair pty;
    if (!pty.start(folder.path(), windowsProgram.isEmpty() ? QString() : comLinks + u"/com7"_s)) {
        std::fprintf(stderr, "socat is needed (Debian's socat package)\n");
        return 1;
    }

    // Throughput: the same 20 MB through the port and from a file, by the console tool, which
    // writes and checks every picture either way.
    qint64 pictures = 0;
    const QByteArray text = cameraText(20 << 20, pictures);
    const QString file = folder.filePath(u"capture.txt"_s);
    {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size())
            return 1;
    }
    Cli cli{QCoreApplication::applicationDirPath() + u"/../cli/hexjpg-cli"_s, {}, pty.port};
    if (!windowsProgram.isEmpty()) {
        cli = {u"wine"_s, {windowsProgram}, u"COM7"_s, true};
        // Wine's server kept up for the whole run, so that its CPU is counted; Wine's start-up
        // once, outside the figures.
        Cli{u"wineserver"_s, {}, {}}.run({u"-p"_s});
        cli.run({u"--version"_s});
    }
    QDir(folder.path()).mkdir(u"from-file"_s);
    QDir(folder.path()).mkdir(u"from-port"_s);
    // Side by side, in turns: the medians of rounds runs each.
    std::vector<double> fileRuns, serialRuns;
    bool same = true;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        same = cli.run({u"-f"_s, u"--all"_s, u"--dir"_s, cli.path(folder.filePath(u"from-file"_s)),
                        cli.path(file)}) == 0 &&
               same;
        fileRuns.push_back(double(timer.nsecsElapsed()) / 1e9);
        QProcess serial;
        cli.start(serial, {u"--serial"_s, cli.port, u"--baud"_s, u"2000000"_s, u"--all"_s,
                           u"--count"_s, QString::number(pictures), u"--dir"_s,
                           cli.path(folder.filePath(u"from-port"_s))});
        serial.setReadChannel(QProcess::StandardError);
        serial.waitForReadyRead(); // it is listening
        QThread *thread = writer(pty.camera, text, 0);
        timer.restart();
        thread->start();
        serial.waitForFinished(-1);
        serialRuns.push_back(double(timer.nsecsElapsed()) / 1e9);
        thread->wait();
        delete thread;
        same = same && serial.exitCode() == 0;
    }
    const double fileSeconds = median(fileRuns), serialSeconds = median(serialRuns);
    for (const QString &name : {u"1.jpg"_s, u"%1.jpg"_s.arg(pictures)})
        same = same && QFile(folder.filePath(u"from-port/"_s + name)).size() > 0 &&
               QFile(folder.filePath(u"from-port/"_s + name)).size() ==
                   QFile(folder.filePath(u"from-file/"_s + name)).size();
    std::printf("pictures-correct: %s\n", same ? "yes" : "NO");
    print("stream-mb", double(text.size()) / (1 << 20));
    print("pictures", double(pictures), 0);
    print("cli-file-mb-per-s", double(text.size()) / (1 << 20) / fileSeconds);
    print("cli-serial-mb-per-s", double(text.size()) / (1 << 20) / serialSeconds);
    print("serial/file-throughput", fileSeconds / serialSeconds);
    if (cli.wine) {
        printCliAt2Mbaud(cli, pty, folder.path(), seconds);
        return 0;
    }
    // The reading alone, in the process: from memory in the port's 4 KiB blocks, and from the
    // port with nothing written or checked.
    qint64 counted = 0;
    print("reading-4k-blocks-mb-per-s",
          double(text.size()) / (1 << 20) / readInBlocks(text, 4096, counted));
    bool ok = false;
    const double portSeconds = receive(pty, text, pictures, 0, ok).first;
    print("reading-from-port-mb-per-s", double(text.size()) / (1 << 20) / portSeconds);

    // CPU while receiving at 2 Mbaud (200,000 bytes a second, 8N1).
    qint64 slowPictures = 0;
    const QByteArray slow = cameraText(200000 * seconds, slowPictures);
    const auto [wall, cpu] = receive(pty, slow, slowPictures, 200000, ok);
    std::printf("pictures-at-2mbaud-correct: %s\n", ok ? "yes" : "NO");
    print("seconds-at-2mbaud", wall);
    print("reading-cpu-percent-at-2mbaud", 100.0 * cpu / wall);
    printCliAt2Mbaud(cli, pty, folder.path(), seconds);

    // Linear: a stream ten times as long takes about ten times as long. The stream is made as it
    // is read, a block at a time as from a port, so that both fit the processor's caches alike.
    qint64 one = 0;
    const QByteArray unit = cameraText(1, one);
    std::vector<double> ratios;
    qint64 small2 = 0, large20 = 0;
    for (int round = 0; round < rounds; ++round) {
        const double t2 = readRepeated(unit, (2 << 20) / unit.size(), small2);
        const double t20 = readRepeated(unit, 10 * ((2 << 20) / unit.size()), large20);
        ratios.push_back(t20 / t2);
    }
    std::printf("pictures-in-streams-correct: %s\n",
                large20 == 10 * small2 && small2 == (2 << 20) / unit.size() ? "yes" : "NO");
    print("time-20mb/time-2mb", median(ratios));
    return 0;
}
