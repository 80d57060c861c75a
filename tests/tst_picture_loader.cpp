// The picture loader: a picture, or the number of the failure.

#include "picture_loader.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace hexjpg;
using namespace Qt::StringLiterals;

using testing::withClaimedSize;

class TestPictureLoader : public QObject {
    Q_OBJECT

private slots:
    void load_data();
    void load();
    void damagedFilesNeverCrash_data();
    void damagedFilesNeverCrash();
};

void TestPictureLoader::load_data()
{
    QTest::addColumn<QByteArray>("contents"); // null: no file at all
    QTest::addColumn<bool>("folder");         // a folder stands at the path
    QTest::addColumn<int>("error");           // -1: any number but 0 and 481

    const QByteArray jpeg = testing::makeJpeg({640, 480});
    QTest::newRow("baseline JPEG") << jpeg << false << 0;
    QTest::newRow("progressive JPEG") << testing::makeJpeg({300, 200}, true) << false << 0;
    QTest::newRow("start and end markers only")
        << QByteArray::fromHex("ffd8ffd9") << false << kInvalidPicture;
    QTest::newRow("starts like a JPEG, then noise")
        << QByteArray::fromHex("ffd8ffe0") + QByteArray(5000, '\x5a') << false << kInvalidPicture;
    QTest::newRow("empty file") << QByteArray("") << false << kInvalidPicture;
    QTest::newRow("text") << QByteArray("FF D8 FF D9") << false << kInvalidPicture;
    QTest::newRow("missing file") << QByteArray() << false << kFileNotFound;
    QTest::newRow("folder") << QByteArray() << true << -1;
    // Refused by their headers, before any decoder allocates; a real large picture still loads.
    const QByteArray progressive = testing::makeJpeg({64, 64}, true);
    QTest::newRow("progressive, claiming 45000 x 45000")
        << withClaimedSize(progressive, 45000, 45000) << false << kInvalidPicture;
    QTest::newRow("2,000 extra scans")
        << testing::withExtraScans(progressive, 2000) << false << kInvalidPicture;
    QTest::newRow("baseline, 45000 x 45000") << testing::makeGreyJpeg(45000, 45000) << false << 0;
}

void TestPictureLoader::load()
{
    QFETCH(QByteArray, contents);
    QFETCH(bool, folder);
    QFETCH(int, error);

    QTemporaryDir dir;
    const QString path = dir.filePath(u"1.jpg"_s);
    if (folder)
        QVERIFY(QDir(dir.path()).mkdir(u"1.jpg"_s));
    if (!contents.isNull())
        QVERIFY(testing::writeFile(path, contents));

    const LoadedPicture picture = PictureLoader(kPictureAreaSize).load(path);
    if (error == -1) {
        QVERIFY(picture.error != 0 && picture.error != kInvalidPicture);
    } else {
        QCOMPARE(picture.error, error);
    }
    QCOMPARE(picture.image.isNull(), error != 0);
    QCOMPARE(picture.errorString.isEmpty(), error == 0);
    if (error == 0) // decoded straight to the size it is shown at
        QCOMPARE(picture.image.size(), kPictureAreaSize);
}

void TestPictureLoader::damagedFilesNeverCrash_data()
{
    QTest::addColumn<QByteArray>("contents");

    const QByteArray jpeg = testing::makeJpeg({640, 480});
    QTest::newRow("truncated") << jpeg.left(jpeg.size() / 2);
    QTest::newRow("corrupt scan") << QByteArray(jpeg).replace(jpeg.size() / 2, 400,
                                                              QByteArray(400, '\xff'));
    QTest::newRow("header claims 65535 x 65535") << withClaimedSize(jpeg, 65535, 65535);
    QTest::newRow("header claims 1 x 65535") << withClaimedSize(jpeg, 1, 65535);
    QTest::newRow("header claims 0 x 0") << withClaimedSize(jpeg, 0, 0);
}

void TestPictureLoader::damagedFilesNeverCrash()
{
    QFETCH(QByteArray, contents);
    QVERIFY(!contents.isEmpty());

    QTemporaryDir dir;
    const QString path = dir.filePath(u"1.jpg"_s);
    QVERIFY(testing::writeFile(path, contents));

    const LoadedPicture picture = PictureLoader(kPictureAreaSize).load(path);
    QVERIFY(picture.error == 0 || picture.error == kInvalidPicture);
    if (picture.error == 0)
        QCOMPARE(picture.image.size(), kPictureAreaSize);
}

QTEST_GUILESS_MAIN(TestPictureLoader)
#include "tst_picture_loader.moc"
