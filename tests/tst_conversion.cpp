// The conversion core with its output file.

#include "hex_to_jpeg.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace hexjpg;
using testing::readAll;
using testing::writeFile;
using namespace Qt::StringLiterals;

namespace {

class LengthSink : public ProgressSink {
public:
    void started(qint64 n) override { length = n; }
    qint64 reached(qint64 position) override { return last = position, position + 2; }
    qint64 length = -1, last = 0;
};

} // namespace

class TestConversion : public QObject {
    Q_OBJECT

private slots:
    void writesTheDecodedBytes_data();
    void writesTheDecodedBytes();
    void failedWriteLeavesEarlierFile_data();
    void failedWriteLeavesEarlierFile();
    void fullDiskLeavesEarlierFile();
};

void TestConversion::writesTheDecodedBytes_data()
{
    QTest::addColumn<QByteArray>("earlier"); // null: no earlier file
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("lastPosition");

    QTest::newRow("created") << QByteArray() << u"FF D8 FF D9 "_s << QByteArray::fromHex("ffd8ffd9")
                             << qint64(7);
    QTest::newRow("longer earlier file leaves no tail")
        << QByteArray(1000, 'x') << u"AB "_s.repeated(600) << QByteArray(600, '\xab')
        << qint64(1199);
    // Not a byte: nothing is written, and the earlier file stays.
    QTest::newRow("blanks only write nothing")
        << QByteArray(10, 'x') << u"   "_s << QByteArray() << qint64(0);
    QTest::newRow("line breaks separate")
        << QByteArray() << u"FF D8\r\nFF D9\r\n"_s << QByteArray::fromHex("ffd8ffd9") << qint64(7);
}

void TestConversion::writesTheDecodedBytes()
{
    QFETCH(QByteArray, earlier);
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, lastPosition);

    QTemporaryDir folder;
    const QString path = folder.filePath(u"1.jpg"_s);
    if (!earlier.isNull())
        QVERIFY(writeFile(path, earlier));

    LengthSink sink;
    const ConversionResult result = convertHexDump(text, folder.path(), &sink);
    if (bytes.isNull()) {
        QVERIFY(result.empty && !result.ok());
        QCOMPARE(readAll(path), earlier);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{u"1.jpg"_s});
        return;
    }
    QVERIFY2(result.ok(), qPrintable(result.error));
    QCOMPARE(result.path, QDir::toNativeSeparators(path));
    QCOMPARE(result.bytesWritten, bytes.size());
    QCOMPARE(readAll(path), bytes);
    QCOMPARE(sink.length, result.workingLength);
    QCOMPARE(sink.last, lastPosition);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::NoDotAndDotDot),
             QStringList{u"1.jpg"_s});
}

void TestConversion::failedWriteLeavesEarlierFile_data()
{
    QTest::addColumn<QString>("subfolder");
    QTest::addColumn<bool>("folderAsFile");

    QTest::newRow("missing folder") << u"missing/deeper"_s << false;
    QTest::newRow("a folder stands where the file should") << u""_s << true;
}

void TestConversion::failedWriteLeavesEarlierFile()
{
    QFETCH(QString, subfolder);
    QFETCH(bool, folderAsFile);

    QTemporaryDir root;
    const QString folder = root.filePath(subfolder);
    if (folderAsFile)
        QVERIFY(QDir(root.path()).mkpath(u"1.jpg/inside"_s));

    const ConversionResult result = convertHexDump(u"FF D8 FF D9"_s, folder);
    QVERIFY(!result.ok());
    QVERIFY(!result.error.isEmpty());
    QCOMPARE(result.path, QDir::toNativeSeparators(QDir(folder).filePath(u"1.jpg"_s)));
    QCOMPARE(result.bytesWritten, 0);
    // Nothing was left behind, and the folder standing in the way is untouched.
    QCOMPARE(QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             folderAsFile ? QStringList{u"1.jpg"_s} : QStringList{});
    if (folderAsFile)
        QVERIFY(QFileInfo::exists(root.filePath(u"1.jpg/inside"_s)));
}

void TestConversion::fullDiskLeavesEarlierFile()
{
#ifdef Q_OS_LINUX
    // A file size limit makes the write fail part-way, as a full disk would, even for root.
    QTemporaryDir folder;
    const QString path = folder.filePath(u"1.jpg"_s);
    const QByteArray earlier(1000, 'e');
    QVERIFY(writeFile(path, earlier));

    const ConversionResult result = [&] {
        testing::FileSizeLimit limit(4096);
        return convertHexDump(u"AB"_s.repeated(10000), folder.path());
    }();

    QVERIFY(!result.ok());
    QVERIFY(!result.error.isEmpty());
    QCOMPARE(readAll(path), earlier);
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{u"1.jpg"_s});
#else
    QSKIP("needs RLIMIT_FSIZE");
#endif
}

QTEST_GUILESS_MAIN(TestConversion)
#include "tst_conversion.moc"
