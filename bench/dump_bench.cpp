// hexjpg-cli --dump against xxd -p, whole processes side by side in one run, on a file of 50 MB
// (random bytes: no layout has an easy time with them): each program's median time over the rounds
// and the ratio, and the time of every other layout. Prints "name: value" lines.
//
//   hexjpg-dump-bench [--rounds N] [--megabytes M]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// The median time of program over rounds runs, its output thrown away; -1 when it does not run.
double medianMs(const QString &program, const QStringList &arguments, int rounds)
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer clock;
        clock.start();
        process.start(program, arguments);
        if (!process.waitForFinished(600000) || process.exitCode() != 0)
            return -1;
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    auto value = [&](const QString &name, int fallback) {
        const qsizetype at = args.indexOf(name);
        return at >= 0 && at + 1 < args.size() ? args[at + 1].toInt() : fallback;
    };
    const int rounds = std::max(1, value(u"--rounds"_s, 5));
    const qint64 megabytes = std::max(1, value(u"--megabytes"_s, 50));

    QTemporaryDir dir;
    const QString path = dir.filePath(u"big.bin"_s);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    QByteArray block(1 << 20, Qt::Uninitialized);
    QRandomGenerator random(1);
    for (qint64 i = 0; i < megabytes; ++i) {
        random.fillRange(reinterpret_cast<quint32 *>(block.data()), block.size() / 4);
        file.write(block);
    }
    file.close();

    const QString cli = QStringLiteral(HEXJPG_CLI);
    std::printf("file-megabytes: %lld\nrounds: %d\n", megabytes, rounds);
    const QString xxd = QStandardPaths::findExecutable(u"xxd"_s);
    const double pairs = medianMs(cli, {u"--dump"_s, path}, rounds);
    std::printf("dump-pairs-ms: %.1f\n", pairs);
    if (!xxd.isEmpty()) {
        const double plain = medianMs(xxd, {u"-p"_s, path}, rounds);
        std::printf("xxd-p-ms: %.1f\nxxd-p/dump-pairs: %.2f\n", plain, plain / pairs);
    } else {
        std::printf("xxd-p-ms: xxd is not installed\n");
    }
    for (const QString &layout : {u"xxd"_s, u"c"_s, u"arduino"_s, u"python"_s, u"base64"_s})
        std::printf("dump-%s-ms: %.1f\n", qPrintable(layout),
                    medianMs(cli, {u"--dump"_s, path, u"--layout"_s, layout}, rounds));
    return 0;
}
