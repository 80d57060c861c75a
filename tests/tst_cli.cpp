// hexjpg-cli as a script runs it: its exit statuses, messages and the file it leaves.

#include "test_support.h"

#include "hex_decode.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif
#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;
using testing::readAll;

namespace {

struct Run {
    int status = -1; // -1: ended by a signal
    QString out, err;
};

Run runCli(const QString &program, const QStringList &args, const QByteArray &input,
           QProcess &process)
{
    process.start(program, args);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000))
        return {-2, {}, {}};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

Run runCli(const QString &program, const QStringList &args, const QByteArray &input)
{
    QProcess process;
    return runCli(program, args, input, process);
}

#ifdef Q_OS_LINUX
struct ChildUsage {
    double cpuSeconds;
    long maxKilobytes;
};

ChildUsage childUsage()
{
    rusage usage = {};
    getrusage(RUSAGE_CHILDREN, &usage);
    return {double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6,
            usage.ru_maxrss};
}
#endif

} // namespace

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void exitStatus_data();
    void exitStatus();
    void writesBesideItselfByDefault();
    void everyPictureAsJson();
    void hostileInput_data();
    void hostileInput();
    void concurrentRunsKeepTheirVerdicts();
    void damagedAndEmptyRuns_data();
    void damagedAndEmptyRuns();
    void stopsAtOnceWhileDecoding();
    void pathsThatAreNotText();
    void fileHeldOpenByAnotherProgram();
};

// The tool speaks the described Chinese wherever the user's language is Chinese or none is set:
// these runs set none (under Wine, whose C locale is English, the runner sets Chinese).
void TestCli::initTestCase()
{
#ifndef Q_OS_WIN
    qputenv("LC_ALL", "C");
    qunsetenv("LANGUAGE");
#endif
}

void TestCli::exitStatus_data()
{
    QTest::addColumn<QStringList>("args"); // "DIR" and "INPUT" stand for the test's folder and file
    QTest::addColumn<QByteArray>("input"); // written to INPUT, and given on standard input
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("file"); // null: no 1.jpg afterwards
    QTest::addColumn<QString>("message");

    const QByteArray jpeg = testing::makeJpeg({320, 240});
    const QByteArray dump = testing::dumpOf(jpeg).toUtf8();
    QByteArray lines; // as `xxd -p` prints it, behind a byte-order mark
    for (qsizetype i = 0; i < jpeg.size(); i += 30)
        lines += jpeg.mid(i, 30).toHex() + "\r\n";

    QTest::newRow("picture from standard input")
        << QStringList{u"--dir"_s, u"DIR"_s} << dump << 0 << jpeg << u"已写入"_s;
    QTest::newRow("picture from a file in lines")
        << QStringList{u"--dir=DIR"_s, u"INPUT"_s} << "\xef\xbb\xbf" + lines << 0 << jpeg
        << u"已写入"_s;
    QTest::newRow("not a picture")
        << QStringList{u"--dir"_s, u"DIR"_s, u"-"_s} << QByteArray("FF D8 00 11 FF D9") << 3
        << QByteArray::fromHex("ffd80011ffd9") << u"照片不正确！"_s;
    QTest::newRow("empty input") << QStringList{u"--dir"_s, u"DIR"_s} << QByteArray() << 2
                                 << QByteArray() << u"请将数据粘贴文本框中"_s;
    QTest::newRow("missing input file") << QStringList{u"--dir"_s, u"DIR"_s, u"DIR/none.txt"_s}
                                        << dump << 2 << QByteArray() << u"无法读取文件："_s;
    QTest::newRow("input file is a folder") << QStringList{u"--dir"_s, u"DIR"_s, u"DIR"_s} << dump
                                            << 2 << QByteArray() << u"无法读取文件："_s;
    QTest::newRow("unknown option")
        << QStringList{u"--bogus"_s} << dump << 2 << QByteArray() << u"用法"_s;
    QTest::newRow("two input files")
        << QStringList{u"INPUT"_s, u"INPUT"_s} << dump << 2 << QByteArray() << u"用法"_s;
    QTest::newRow("--serial with a file") << QStringList{u"--serial"_s, u"COM9"_s, u"INPUT"_s}
                                          << dump << 2 << QByteArray() << u"用法"_s;
#ifdef Q_OS_WIN
    const QString missingPort = u"COM99"_s;
#else
    const QString missingPort = u"DIR/COM9"_s;
#endif
    QTest::newRow("--serial, no such port")
        << QStringList{u"--serial"_s, missingPort} << dump << 2 << QByteArray() << u"找不到串口"_s;
    // The options that talk to the board go with --serial, and say what is wrong with them.
    const QString port = u"--serial"_s;
    for (const auto &[name, options, said] :
         {std::tuple{"--send without --serial", QStringList{u"--send"_s, u"c"_s},
                     u"只用于 --serial"_s},
          {"--dtr neither on nor off", QStringList{port, missingPort, u"--dtr"_s, u"1"_s},
           u"on 或 off"_s},
          {"--send and --send-hex",
           QStringList{port, missingPort, u"--send"_s, u"c"_s, u"--send-hex"_s, u"63"_s},
           u"只能用一个"_s},
          {"--send with a broken escape", QStringList{port, missingPort, u"--send"_s, u"c\\q"_s},
           u"转义不对"_s},
          {"--send-hex with a digit left over",
           QStringList{port, missingPort, u"--send-hex"_s, u"56 0"_s}, u"单数"_s},
          {"--send-every without a command",
           QStringList{port, missingPort, u"--send-every"_s, u"1"_s}, u"一起用"_s}})
        QTest::newRow(name) << options << dump << 2 << QByteArray() << said;
    QTest::newRow("--list-ports with a file")
        << QStringList{u"--list-ports"_s, u"INPUT"_s} << dump << 2 << QByteArray() << u"用法"_s;
    QTest::newRow("missing folder") << QStringList{u"--dir"_s, u"DIR/missing"_s} << dump << 1
                                    << QByteArray() << u"无法写入文件："_s;
    const QByteArray cut = jpeg.left(jpeg.size() * 3 / 5);
    QTest::newRow("a picture cut short")
        << QStringList{u"--dir"_s, u"DIR"_s} << testing::dumpOf(cut).toUtf8() << 4 << cut
        << u"图片不完整：240 行中只解码了"_s;
    QTest::newRow("unpadded, forgiving")
        << QStringList{u"--dir"_s, u"DIR"_s, u"-f"_s} << testing::unpaddedDump(jpeg).toUtf8() << 0
        << jpeg << u"单个数字也算一个字节"_s;
    QTest::newRow("unpadded, as described")
        << QStringList{u"--dir"_s, u"DIR"_s} << testing::unpaddedDump(jpeg).toUtf8() << 3
        << hexjpg::decodeHex(testing::unpaddedDump(jpeg)) << u"试试 -f"_s;
}

void TestCli::exitStatus()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(int, status);
    QFETCH(QByteArray, file);
    QFETCH(QString, message);

    QTemporaryDir dir;
    const QString inputPath =
        QDir(QDir::tempPath())
            .filePath(u"hexjpg-input-%1.txt"_s.arg(QCoreApplication::applicationPid()));
    {
        QFile in(inputPath);
        QVERIFY(in.open(QIODevice::WriteOnly));
        in.write(input);
    }
    for (QString &arg : args)
        arg.replace(u"DIR"_s, dir.path()).replace(u"INPUT"_s, inputPath);

    const Run run = runCli(QStringLiteral(HEXJPG_CLI), args, input);
    QFile::remove(inputPath);
    QCOMPARE(run.status, status);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    const QString output = dir.filePath(u"1.jpg"_s);
    QCOMPARE(QFileInfo::exists(output), !file.isNull());
    QCOMPARE(readAll(output), file);
    if (status == 1) // the failure names the file
        QVERIFY2(run.err.contains(QDir::toNativeSeparators(dir.filePath(u"missing/1.jpg"_s))),
                 qPrintable(run.err));
}

void TestCli::writesBesideItselfByDefault()
{
    QTemporaryDir dir;
    const QString program = dir.filePath(QFileInfo(QStringLiteral(HEXJPG_CLI)).fileName());
    QVERIFY(QFile::copy(QStringLiteral(HEXJPG_CLI), program));
    const QByteArray jpeg = testing::makeJpeg({64, 64});
    const Run run = runCli(program, {}, testing::dumpOf(jpeg).toUtf8());
    QCOMPARE(run.status, 0);
    QCOMPARE(readAll(dir.filePath(u"1.jpg"_s)), jpeg);

    const Run help = runCli(program, {u"--help"_s}, {});
    QCOMPARE(help.status, 0);
    QVERIFY(help.out.contains(u"退出状态"_s));
}

// --all saves each picture of a camera's log; --json tells what was found.
void TestCli::everyPictureAsJson()
{
    const QByteArray last = testing::makeJpeg({200, 150});
    const QList<QByteArray> pictures = {testing::makeJpeg({60, 40}), testing::makeJpeg({80, 60}),
                                        last.left(last.size() * 3 / 5)};
    QTemporaryDir dir;
    const Run run = runCli(QStringLiteral(HEXJPG_CLI),
                           {u"--dir"_s, dir.path(), u"-f"_s, u"--all"_s, u"--json"_s},
                           testing::serialLog(pictures).toUtf8());
    QCOMPARE(run.status, 4); // the last one is cut short
    for (int i = 0; i < 3; ++i)
        QCOMPARE(readAll(dir.filePath(u"%1.jpg"_s.arg(i + 1))), pictures[i]);
    const QJsonObject json = QJsonDocument::fromJson(run.out.toUtf8()).object();
    QCOMPARE(json[u"status"_s].toInt(), 4);
    QVERIFY(json[u"layout"_s].toString().contains(u"时间戳"_s));
    const QJsonArray found = json[u"pictures"_s].toArray();
    QCOMPARE(found.size(), 3);
    QCOMPARE(found[1][u"width"_s].toInt(), 80);
    QCOMPARE(found[1][u"complete"_s].toBool(), true);
    QCOMPARE(found[2][u"complete"_s].toBool(), false);
    QVERIFY(found[2][u"rowsDecoded"_s].toInt() < found[2][u"rows"_s].toInt());
}

// Hostile pictures, endless or failing input, signals, limits and planted links: each ends with
// its status and message, and an earlier 1.jpg is replaced whole or stays whole.
void TestCli::hostileInput_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<int>("status"); // -1: ended by SIGTERM
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("replaced"); // else the earlier 1.jpg stays

    // First: the memory bound holds for the largest child so far.
    QTest::newRow("a long dump that is no picture")
        << u"no picture"_s << 3 << u"以下只查看了数据的前 16,777,216 字节"_s << true;
    QTest::newRow("progressive JPEG claiming 45000 x 45000")
        << u"memory bomb"_s << 3 << u"图片太大"_s << true;
    QTest::newRow("2,000 extra scans") << u"scans"_s << 3 << u"扫描太多"_s << true;
    QTest::newRow("endless input") << u"endless"_s << 2 << u"输入太长"_s << false;
    QTest::newRow("input shrinks while read") << u"truncate"_s << 2 << u"变短"_s << false;
    QTest::newRow("input fails while read") << u"eio"_s << 2 << u"Input/output error"_s << false;
    QTest::newRow("file size limit") << u"fsize"_s << 1 << u"File too large"_s << false;
    QTest::newRow("SIGTERM without O_TMPFILE") << u"sigterm"_s << -1 << QString() << false;
    QTest::newRow("empty --dir") << u"empty dir"_s << 2 << u"文件夹是空的"_s << false;
    QTest::newRow("UTF-16 with a byte-order mark") << u"utf16"_s << 0 << u"已写入"_s << true;
    QTest::newRow("a link planted by another user")
        << u"link"_s << 1 << u"它是别人建立的符号链接"_s << false;
}

void TestCli::hostileInput()
{
#ifndef Q_OS_LINUX
    QSKIP("needs Linux: rlimits, preloading, file ownership");
#else
    QFETCH(QString, situation);
    QFETCH(int, status);
    QFETCH(QString, message);
    QFETCH(bool, replaced);

    QTemporaryDir dir, inputs;
    const QString output = dir.filePath(u"1.jpg"_s);
    const QByteArray earlier = testing::makeJpeg({40, 40});
    QVERIFY(testing::writeFile(output, earlier));
    QByteArray picture = testing::makeJpeg({300, 200});
    QString inputPath = inputs.filePath(u"dump.txt"_s);
    QStringList args = {u"--dir"_s, dir.path(), inputPath};
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QProcess process;
    const QByteArray largeDump = testing::dumpOf(QByteArray(1 << 20, '\x5a')).toUtf8();
    auto preload = [&](const QStringList &settings) {
        env.insert(u"LD_PRELOAD"_s, QStringLiteral(IO_FAULTS));
        for (const QString &setting : settings)
            env.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
    };

    QByteArray input;
    QString target; // what a planted link points to
    if (situation == u"memory bomb")
        picture = testing::withClaimedSize(testing::makeJpeg({64, 64}, true), 45000, 45000);
    else if (situation == u"scans")
        picture = testing::withExtraScans(testing::makeJpeg({64, 64}, true), 2000);
    input = testing::dumpOf(picture).toUtf8();
    if (situation == u"no picture") {
        input.clear(); // the input file is made sparse below
    } else if (situation == u"endless") {
        args.last() = u"/dev/zero"_s;
    } else if (situation == u"truncate" || situation == u"eio") {
        input = largeDump;
        preload({u"HEXJPG_FAULT_PATH="_s + inputPath, u"HEXJPG_FAULT_AFTER=1000000"_s,
                 u"HEXJPG_FAULT="_s + situation});
    } else if (situation == u"fsize") {
        input = largeDump;
        process.setChildProcessModifier([] {
            const rlimit limit = {64 * 1024, 64 * 1024};
            setrlimit(RLIMIT_FSIZE, &limit);
        });
    } else if (situation == u"sigterm") {
        input = largeDump;
        preload({u"HEXJPG_NO_TMPFILE=1"_s, u"HEXJPG_TERM_AFTER_WRITE=200000"_s});
    } else if (situation == u"empty dir") {
        args[1].clear();
    } else if (situation == u"utf16") {
        const QString text = testing::dumpOf(picture);
        input = QByteArray("\xff\xfe") +
                QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    } else if (situation == u"link") {
        if (geteuid() != 0)
            QSKIP("making a link owned by another user needs root");
        target = inputs.filePath(u"precious.txt"_s);
        QVERIFY(testing::writeFile(target, "precious"));
        QVERIFY(QFile::remove(output));
        QVERIFY(QFile::link(target, output));
        QCOMPARE(lchown(QFile::encodeName(output).constData(), 65534, 65534), 0);
        QCOMPARE(chmod(QFile::encodeName(dir.path()).constData(), 01777), 0);
    }
    QVERIFY(testing::writeFile(inputPath, input));
    if (situation == u"no picture")
        QVERIFY(QFile::resize(inputPath, 80 << 20));
    process.setProcessEnvironment(env);

    const ChildUsage before = childUsage();
    const Run run = runCli(QStringLiteral(HEXJPG_CLI), args, {}, process);
    const ChildUsage after = childUsage();
    QCOMPARE(run.status, status);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    if (situation == u"no picture") // made only now: a child's memory counts its parent's at fork
        picture = QByteArray(40 << 20, '\0'); // NUL characters pair up into zero bytes
    if (situation == u"link") {
        QCOMPARE(readAll(target), QByteArray("precious"));
        QVERIFY(QFileInfo(output).isSymLink());
    } else {
        QCOMPARE(readAll(output), replaced ? picture : earlier);
    }
    // Nothing left beside 1.jpg, whatever happened.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
             QStringList{u"1.jpg"_s});
    // A hostile picture is refused within a second of work and a bounded amount of memory.
    // A long input may take longer; memory stays bounded whatever the output's length.
    const bool longInput = situation == u"endless" || situation == u"no picture";
    QVERIFY2(after.cpuSeconds - before.cpuSeconds < (longInput ? 10.0 : 1.0),
             qPrintable(QString::number(after.cpuSeconds - before.cpuSeconds)));
    QVERIFY2(after.maxKilobytes < (situation == u"no picture" ? 45 : 300) * 1024,
             qPrintable(QString::number(after.maxKilobytes)));
#endif
}

// Two runs in one folder at once: each checks the bytes it wrote, never the other's.
void TestCli::concurrentRunsKeepTheirVerdicts()
{
    QTemporaryDir dir;
    // The same length, so that the two runs reach their commits together.
    const QByteArray jpeg = testing::makeJpeg({320, 240});
    const QByteArray picture = testing::dumpOf(jpeg).toUtf8();
    QByteArray noise(jpeg.size() - 4, Qt::Uninitialized);
    QRandomGenerator random(8);
    for (char &byte : noise)
        byte = char(random.bounded(256));
    const QByteArray notAPicture = testing::dumpOf("\xff\xd8\xff\xe0" + noise).toUtf8();
    QTemporaryDir inputs;
    const QString good = inputs.filePath(u"good.txt"_s), bad = inputs.filePath(u"bad.txt"_s);
    QVERIFY(testing::writeFile(good, picture) && testing::writeFile(bad, notAPicture));
    for (int round = 0; round < 30; ++round) {
        QProcess a, b;
        a.start(QStringLiteral(HEXJPG_CLI), {u"--dir"_s, dir.path(), good});
        b.start(QStringLiteral(HEXJPG_CLI), {u"--dir"_s, dir.path(), bad});
        QVERIFY(a.waitForFinished(30000) && b.waitForFinished(30000));
#ifdef Q_OS_WIN
        // Windows refuses to replace a file the other run has open for its check: that run
        // fails to write (status 1), but neither may tell the other's verdict.
        QVERIFY2(a.exitCode() == 0 || a.exitCode() == 1, qPrintable(QString::number(a.exitCode())));
        QVERIFY2(b.exitCode() == 3 || b.exitCode() == 1, qPrintable(QString::number(b.exitCode())));
#else
        QCOMPARE(a.exitCode(), 0);
        QCOMPARE(b.exitCode(), 3);
#endif
    }
}

// Runs that decode nothing, fail, or find very many pictures: what is said (always one JSON
// object with --json), what is written, and that an earlier 1.jpg stays when nothing is.
void TestCli::damagedAndEmptyRuns_data()
{
    QTest::addColumn<QStringList>("args"); // DIR: the test's folder; --json is added
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("earlier"); // files in the folder before the run
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("files"); // N.jpg in the folder afterwards; -1: 1.jpg is the earlier

    const QStringList dir{u"--dir"_s, u"DIR"_s};
    const QByteArray dump = testing::dumpOf(testing::makeJpeg({64, 48})).toUtf8();
    QTest::newRow("blanks only") << dir << QByteArray("  \r\n\t ") << QStringList{u"1.jpg"_s} << 2
                                 << u"请将数据粘贴文本框中"_s << -1;
    QTest::newRow("a UTF-16 byte-order mark and one byte")
        << dir << QByteArray("\xff\xfe\x41") << QStringList{u"1.jpg"_s} << 2
        << u"UTF-16 文本的最后多出一个字节"_s << -1;
    QTest::newRow("words only, forgiving")
        << (dir + QStringList{u"-f"_s}) << QByteArray("no bytes here\r\nnone at all\r\n")
        << QStringList{u"1.jpg"_s} << 2 << u"请将数据粘贴文本框中"_s << -1;
    QTest::newRow("a folder that cannot be written")
        << QStringList{u"--dir"_s, u"DIR/missing"_s} << dump << QStringList{u"1.jpg"_s} << 1
        << u"无法写入文件："_s << -1;
    QTest::newRow("bad usage") << QStringList{u"--bogus"_s} << dump << QStringList{u"1.jpg"_s} << 2
                               << u"用法"_s << -1;
    const QByteArray tiny =
        testing::dumpOf(QByteArray::fromHex("ffd8ffc0000b080001000101011100ffd9")).toUtf8();
    QTest::newRow("1,001 tiny pictures, each saved")
        << (dir + QStringList{u"-f"_s, u"--all"_s}) << tiny.repeated(1001) << QStringList() << 3
        << u"文本中共有 1,001 张图片，只写入了前 1,000 张"_s << 1000;
    QTest::newRow("1,001 tiny pictures, none decodes")
        << (dir + QStringList{u"-f"_s}) << tiny.repeated(1001) << QStringList() << 3
        << u"另有 981 张图片的开头，不一一列出"_s << 1;
    QTest::newRow("each saved beside files of an earlier run")
        << (dir + QStringList{u"-f"_s, u"--all"_s}) << dump << QStringList{u"2.jpg"_s, u"3.jpg"_s}
        << 0 << u"以前留下的 2.jpg 到 3.jpg"_s << 3;
    const QString wide = QString::fromUtf8(dump);
    const QByteArray utf16(reinterpret_cast<const char *>(wide.utf16()), wide.size() * 2);
    QTest::newRow("UTF-16 with an odd last byte")
        << dir << "\xff\xfe" + utf16 + "A" << QStringList() << 0 << u"多出一个字节"_s << 1;
    QTest::newRow("UTF-16 without its byte-order mark")
        << dir << utf16 << QStringList() << 3 << u"没有字节顺序标记的 UTF-16"_s << 1;
}

void TestCli::damagedAndEmptyRuns()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(QStringList, earlier);
    QFETCH(int, status);
    QFETCH(QString, message);
    QFETCH(int, files);

    QTemporaryDir dir;
    for (const QString &name : earlier)
        QVERIFY(testing::writeFile(dir.filePath(name), "earlier"));
    for (QString &arg : args)
        arg.replace(u"DIR"_s, dir.path());
    const Run run = runCli(QStringLiteral(HEXJPG_CLI), args << u"--json"_s, input);
    QCOMPARE(run.status, status);
    QVERIFY2(run.err.contains(message), qPrintable(run.err.left(2000)));

    QJsonParseError error;
    const QJsonObject json = QJsonDocument::fromJson(run.out.toUtf8(), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(json[u"status"_s].toInt(), status);
    if (status == 1 || status == 2)
        QVERIFY(!json[u"reason"_s].toString().isEmpty());
    QVERIFY(json[u"pictures"_s].toArray().size() <= 1000);
    QVERIFY(json[u"diagnosis"_s].toArray().size() <= 100);
    QVERIFY(run.err.size() < 200000); // a line a file at most

    const QStringList after = QDir(dir.path()).entryList(QDir::Files);
    if (files < 0) {
        QCOMPARE(after, earlier);
        QCOMPARE(readAll(dir.filePath(u"1.jpg"_s)), QByteArray("earlier"));
    } else {
        QCOMPARE(after.size(), files);
    }
}

// A stop asked for while a huge picture decodes ends the run at once, by the signal, and leaves
// nothing beside the files written whole.
void TestCli::stopsAtOnceWhileDecoding()
{
#ifndef Q_OS_LINUX
    QSKIP("needs POSIX signals");
#else
    // A 65500 x 65500 picture with almost no data: decoding it takes seconds.
    const QByteArray bomb = testing::withClaimedSize(testing::makeJpeg({64, 64}), 65500, 65500);
    QTemporaryDir dir;
    QProcess process;
    process.start(QStringLiteral(HEXJPG_CLI), {u"--dir"_s, dir.path(), u"-f"_s, u"--all"_s});
    process.write(testing::dumpOf(bomb).repeated(5).toUtf8());
    process.closeWriteChannel();
    // The first file is written before its decoding starts.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(dir.filePath(u"1.jpg"_s)), 10000);
    QTest::qWait(100);
    QElapsedTimer timer;
    timer.start();
    ::kill(pid_t(process.processId()), SIGTERM);
    QVERIFY(process.waitForFinished(10000));
    const qint64 took = timer.elapsed();
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);
    QVERIFY2(took < 1000, qPrintable(QString::number(took)));
    for (const QString &name : QDir(dir.path()).entryList(QDir::Files))
        QVERIFY2(QRegularExpression(u"^\\d+\\.jpg$"_s).match(name).hasMatch(), qPrintable(name));
#endif
}

// A folder and an input whose names are not UTF-8 (made on another system): the bytes are kept.
void TestCli::pathsThatAreNotText()
{
#ifndef Q_OS_LINUX
    QSKIP("file names are bytes on Linux only");
#else
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path()) + "/caf\xe9";
    const QByteArray input = QFile::encodeName(dir.path()) + "/dump\xff.txt";
    QVERIFY(::mkdir(folder.constData(), 0700) == 0);
    const QByteArray jpeg = testing::makeJpeg({64, 48});
    FILE *file = std::fopen(input.constData(), "wb");
    QVERIFY(file);
    const QByteArray dump = testing::dumpOf(jpeg).toUtf8();
    std::fwrite(dump.constData(), 1, std::size_t(dump.size()), file);
    std::fclose(file);
    QVERIFY(testing::writeFile(dir.filePath(u"folder-name"_s), folder));
    QVERIFY(testing::writeFile(dir.filePath(u"input-name"_s), input));
    // Through the shell, which passes the bytes as they are.
    QProcess process;
    process.start(u"/bin/sh"_s,
                  {u"-c"_s, u"exec \"$0\" --dir \"$(cat \"$1\")\" \"$(cat \"$2\")\""_s,
                   QStringLiteral(HEXJPG_CLI), dir.filePath(u"folder-name"_s),
                   dir.filePath(u"input-name"_s)});
    QVERIFY(process.waitForFinished(30000));
    QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
    FILE *written = std::fopen((folder + "/1.jpg").constData(), "rb");
    QVERIFY(written);
    QByteArray bytes(jpeg.size() + 1, 0);
    bytes.resize(qsizetype(std::fread(bytes.data(), 1, std::size_t(bytes.size()), written)));
    std::fclose(written);
    ::unlink((folder + "/1.jpg").constData());
    ::unlink(input.constData());
    ::rmdir(folder.constData());
    QCOMPARE(bytes, jpeg);
#endif
}

// On Windows a 1.jpg that another program holds open without sharing its deletion (an image
// viewer, say) cannot be replaced: the run says so, the earlier file stays whole, and nothing is
// left beside it.
void TestCli::fileHeldOpenByAnotherProgram()
{
#ifndef Q_OS_WIN
    QSKIP("an open file is replaced all the same on POSIX systems");
#else
    QTemporaryDir dir;
    const QString path = QDir::toNativeSeparators(dir.filePath(u"1.jpg"_s));
    QVERIFY(testing::writeFile(path, "earlier"));
    const HANDLE held = ::CreateFileW(path.toStdWString().c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    QVERIFY(held != INVALID_HANDLE_VALUE);
    const Run run = runCli(QStringLiteral(HEXJPG_CLI), {u"--dir"_s, dir.path()},
                           testing::dumpOf(testing::makeJpeg({64, 48})).toUtf8());
    ::CloseHandle(held);
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(u"另一个程序正在使用这个文件"_s), qPrintable(run.err));
    QVERIFY2(run.err.contains(path), qPrintable(run.err));
    QCOMPARE(readAll(path), QByteArray("earlier"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{u"1.jpg"_s});
#endif
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
