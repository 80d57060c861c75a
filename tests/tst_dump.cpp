// A file's bytes written as text (hexjpg-cli --dump): every layout read back by the tool gives the
// same bytes, whatever blocks the bytes come in; xxd's and base64's layouts match those tools'
// output; the C and Arduino arrays compile and hold the bytes; the console tool's options.

#include "dump_writer.h"
#include "forgiving_reader.h"
#include "hex_decode.h"
#include "test_support.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using hexjpg::DumpLayout;

namespace {

// What a command prints for a file of bytes; null when the command is not installed.
QByteArray printed(const QStringList &command, const QByteArray &bytes)
{
    if (QStandardPaths::findExecutable(command.first()).isEmpty())
        return {};
    QTemporaryDir dir;
    const QString path = dir.filePath(u"photo.jpg"_s);
    testing::writeFile(path, bytes);
    QProcess process;
    process.start(command.first(), command.mid(1) << path);
    process.waitForFinished(30000);
    return process.readAllStandardOutput();
}

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    for (char &c : bytes)
        c = char(random.bounded(256));
    return bytes;
}

} // namespace

class TestDump : public QObject {
    Q_OBJECT

private slots:
    void readBack_data();
    void readBack();
    void asTheToolsPrint_data();
    void asTheToolsPrint();
    void cArrayCompiles_data();
    void cArrayCompiles();
    void names_data();
    void names();
    void consoleTool_data();
    void consoleTool();
};

void TestDump::readBack_data()
{
    QTest::addColumn<int>("layout");
    QTest::addColumn<int>("perLine");
    QTest::addColumn<QByteArray>("bytes");
    const QList<std::pair<const char *, QByteArray>> inputs = {
        {"a picture", testing::makeJpeg({64, 48})},
        {"one byte", QByteArray("\xff", 1)},
        {"random bytes", randomBytes(1001, 7)}};
    for (const DumpLayout layout : hexjpg::dumpLayouts())
        for (const auto &[name, bytes] : inputs)
            // Base64 is told from words by a picture's signature in it: pictures only.
            if (layout != DumpLayout::Base64 || bytes.startsWith("\xff\xd8"))
                for (const int perLine :
                     {hexjpg::defaultPerLine(layout), layout == DumpLayout::Base64 ? 9 : 7})
                    QTest::addRow("%s, %s, %d a line", qPrintable(hexjpg::dumpLayoutName(layout)),
                                  name, perLine)
                        << int(layout) << perLine << bytes;
}

// Read back forgivingly, every layout gives the bytes; the pairs read strictly too, as 转换 reads
// them. Fed in blocks of any size, the text is the same as from the whole.
void TestDump::readBack()
{
    QFETCH(int, layout);
    QFETCH(int, perLine);
    QFETCH(QByteArray, bytes);
    const QByteArray text = hexjpg::dumpBytes(bytes, DumpLayout(layout), perLine, "photo_jpg");
    QCOMPARE(hexjpg::readForgiving(QByteArrayView(text)).bytes.toHex(' '), bytes.toHex(' '));
    if (DumpLayout(layout) == DumpLayout::Pairs)
        QCOMPARE(hexjpg::decodeHexReference(QString::fromLatin1(text)), bytes);
    hexjpg::DumpWriter writer(DumpLayout(layout), perLine, "photo_jpg");
    QByteArray blocks;
    QRandomGenerator random(uint(bytes.size()));
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype block = std::min<qsizetype>(bytes.size() - at, random.bounded(1, 40));
        writer.feed(QByteArrayView(bytes).sliced(at, block), blocks);
        at += block;
    }
    writer.finish(blocks);
    QCOMPARE(blocks, text);
}

void TestDump::asTheToolsPrint_data()
{
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<int>("layout");
    QTest::addColumn<int>("perLine");
    QTest::newRow("xxd") << QStringList{u"xxd"_s} << int(DumpLayout::Xxd) << 16;
    QTest::newRow("xxd -c 12") << QStringList{u"xxd"_s, u"-c"_s, u"12"_s} << int(DumpLayout::Xxd)
                               << 12;
    QTest::newRow("xxd -c 5") << QStringList{u"xxd"_s, u"-c"_s, u"5"_s} << int(DumpLayout::Xxd)
                              << 5;
    QTest::newRow("base64") << QStringList{u"base64"_s} << int(DumpLayout::Base64) << 57;
    QTest::newRow("python") << QStringList{u"python3"_s, u"-c"_s,
                                           u"import sys; exec(sys.stdin.read()); "
                                           "sys.stdout.buffer.write(photo_jpg == "
                                           "open(sys.argv[1], 'rb').read() and b'same' or b'no')"_s}
                            << int(DumpLayout::Python) << 16;
}

// xxd's and base64's layouts are those tools' own; the Python literal, run, is the bytes.
void TestDump::asTheToolsPrint()
{
    QFETCH(QStringList, command);
    QFETCH(int, layout);
    QFETCH(int, perLine);
    const QByteArray bytes = testing::makeJpeg({40, 30}) + randomBytes(77, 3);
    const QByteArray text = hexjpg::dumpBytes(bytes, DumpLayout(layout), perLine, "photo_jpg");
    if (DumpLayout(layout) == DumpLayout::Python) {
        if (QStandardPaths::findExecutable(command.first()).isEmpty())
            QSKIP("python3 is not installed here");
        QTemporaryDir dir;
        testing::writeFile(dir.filePath(u"photo.jpg"_s), bytes);
        QProcess python;
        python.start(command.first(), command.mid(1) << dir.filePath(u"photo.jpg"_s));
        python.write(text);
        python.closeWriteChannel();
        QVERIFY(python.waitForFinished(30000));
        QCOMPARE(python.readAllStandardOutput(), QByteArray("same"));
        return;
    }
    const QByteArray expected = printed(command, bytes);
    if (expected.isNull())
        QSKIP("the tool is not installed here");
    QCOMPARE(text, expected);
}

void TestDump::cArrayCompiles_data()
{
    QTest::addColumn<int>("layout");
    QTest::newRow("C") << int(DumpLayout::C);
    QTest::newRow("Arduino, PROGMEM") << int(DumpLayout::Arduino);
}

// The array compiles, as C and as C++, and holds the bytes and their count.
void TestDump::cArrayCompiles()
{
    QFETCH(int, layout);
    const QString cc = QStandardPaths::findExecutable(u"cc"_s);
    if (cc.isEmpty())
        QSKIP("no C compiler here");
    const QByteArray bytes = testing::makeJpeg({50, 40});
    QTemporaryDir dir;
    testing::writeFile(dir.filePath(u"image.h"_s),
                       hexjpg::dumpBytes(bytes, DumpLayout(layout), 12, "photo_jpg"));
    testing::writeFile(
        dir.filePath(u"main.c"_s),
        "#include <stdio.h>\n#define PROGMEM\n#include \"image.h\"\n"
        "int main(void) {\n"
        "  if (sizeof photo_jpg != photo_jpg_len) return 1;\n"
        "  return fwrite(photo_jpg, 1, photo_jpg_len, stdout) == photo_jpg_len ? 0 : 1;\n"
        "}\n");
    for (const QString &language : {u"c"_s, u"c++"_s}) {
        QProcess compiler;
        compiler.setWorkingDirectory(dir.path());
        compiler.start(
            cc, {u"-x"_s, language, u"-Wall"_s, u"-Werror"_s, u"main.c"_s, u"-o"_s, u"dumped"_s});
        QVERIFY(compiler.waitForFinished(60000));
        QVERIFY2(compiler.exitCode() == 0, compiler.readAllStandardError().constData());
        QProcess program;
        program.start(dir.filePath(u"dumped"_s));
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(program.readAllStandardOutput(), bytes);
    }
}

void TestDump::names_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("plain") << u"photo.jpg"_s << QByteArray("photo_jpg");
    QTest::newRow("a digit first") << u"1.jpg"_s << QByteArray("image_1_jpg");
    QTest::newRow("blanks and Chinese") << u"我的 照片-2.jpg"_s << QByteArray("______2_jpg");
    QTest::newRow("nothing") << QString() << QByteArray("image");
}

void TestDump::names()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, name);
    QCOMPARE(hexjpg::dumpName(file), name);
}

void TestDump::consoleTool_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("starts"); // the output's start, or the words on standard error
    QTest::newRow("pairs by default") << QStringList{} << 0 << QByteArray("FF D8 FF");
    QTest::newRow("C, named after the file")
        << QStringList{u"--layout"_s, u"c"_s} << 0
        << QByteArray("const unsigned char photo_jpg[] = {\n  0xFF, 0xD8,");
    QTest::newRow("no such layout")
        << QStringList{u"--layout"_s, u"hex"_s} << 2 << QByteArray("没有这种排列：hex");
    QTest::newRow("no bytes to a line")
        << QStringList{u"--per-line"_s, u"0"_s} << 2 << QByteArray("--per-line");
    QTest::newRow("base64, not a multiple of 3")
        << QStringList{u"--layout"_s, u"base64"_s, u"--per-line"_s, u"10"_s} << 2
        << QByteArray("--per-line");
    QTest::newRow("with --all") << QStringList{u"--all"_s} << 2 << QByteArray("--dump");
}

void TestDump::consoleTool()
{
    QFETCH(QStringList, options);
    QFETCH(int, status);
    QFETCH(QByteArray, starts);
    QTemporaryDir dir;
    const QByteArray bytes = testing::makeJpeg({30, 20});
    testing::writeFile(dir.filePath(u"photo.jpg"_s), bytes);
    QProcess cli;
    cli.setWorkingDirectory(dir.path());
    cli.start(QStringLiteral(HEXJPG_CLI), QStringList{u"--dump"_s, u"photo.jpg"_s} + options);
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), status);
    // Standard output is text on Windows: its lines end in CR LF there.
    const QByteArray out = cli.readAllStandardOutput().replace("\r\n", "\n"),
                     said = cli.readAllStandardError();
    QVERIFY2((status == 0 ? out : said).contains(starts), said.constData());
    if (status == 0)
        QCOMPARE(hexjpg::readForgiving(QByteArrayView(out)).bytes, bytes);
}

QTEST_GUILESS_MAIN(TestDump)
#include "tst_dump.moc"
