// hexjpg-cli as a script runs it: its exit statuses, messages and the file it leaves.

#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using testing::readAll;

namespace {

struct Run {
    int status = -1;
    QString out, err;
};

Run runCli(const QString &program, const QStringList &args, const QByteArray &input)
{
    QProcess process;
    process.start(program, args);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void exitStatus_data();
    void exitStatus();
    void writesBesideItselfByDefault();
};

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
    QTest::newRow("missing folder") << QStringList{u"--dir"_s, u"DIR/missing"_s} << dump << 1
                                    << QByteArray() << u"无法写入文件："_s;
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
    const QString program = dir.filePath(u"hexjpg-cli"_s);
    QVERIFY(QFile::copy(QStringLiteral(HEXJPG_CLI), program));
    const QByteArray jpeg = testing::makeJpeg({64, 64});
    const Run run = runCli(program, {}, testing::dumpOf(jpeg).toUtf8());
    QCOMPARE(run.status, 0);
    QCOMPARE(readAll(dir.filePath(u"1.jpg"_s)), jpeg);

    const Run help = runCli(program, {u"--help"_s}, {});
    QCOMPARE(help.status, 0);
    QVERIFY(help.out.contains(u"退出状态"_s));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
