// The window and files: a dump or a picture opened into the panel (asking before the panel's text
// goes), a picture dropped on the panel, the panel's bytes copied as a C array, and the picture
// area's menu: the picture copied at its own size, and saved as its bytes, PNG or BMP.

#include "forgiving_reader.h"
#include "main_window.h"
#include "picture_loader.h"
#include "test_support.h"
#include "window_fixture.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QImageWriter>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;
using testing::readAll;

namespace {

// A picture whose pixels survive exactly (PNG), larger than the picture area, and not smooth:
// scaled, copied at the wrong size or saved lossily, it would not be the same.
QByteArray makePng(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb((x * 7) & 255, (y * 5) & 255, ((x ^ y) & 1) * 255));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return bytes;
}

QImage decoded(const QByteArray &bytes)
{
    return hexjpg::PictureLoader()
        .load(QByteArrayView(bytes))
        .image.convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestWindowFiles : public QObject {
    Q_OBJECT

private slots:
    void init() { m_fixture.setUp(); }
    void cleanup() { m_fixture.tearDown(); }

    void openFile_data();
    void openFile();
    void pictureDropped();
    void copyAsCArray();
    void pictureCopiedAtItsSize();
    void pictureSaved_data();
    void pictureSaved();

private:
    testing::WindowFixture m_fixture;
};

void TestWindowFiles::openFile_data()
{
    QTest::addColumn<QByteArray>("file"); // null: no such file
    QTest::addColumn<QString>("before");  // in the panel
    QTest::addColumn<bool>("replace");    // the user's answer when asked
    QTest::addColumn<bool>("taken");
    QTest::addColumn<QString>("said"); // part of the box shown, if any
    const QByteArray jpeg = testing::makeJpeg({80, 60});
    QTest::newRow("a picture") << jpeg << QString() << true << true << QString();
    QTest::newRow("a PNG") << makePng({30, 20}) << QString() << true << true << QString();
    QTest::newRow("a dump") << QByteArray("\xef\xbb\xbf"
                                          "ff d8 ff d9\r\n")
                            << QString() << true << true << QString();
    QTest::newRow("over text, replaced")
        << jpeg << u"old text"_s << true << true << u"已经有内容"_s;
    QTest::newRow("over text, kept") << jpeg << u"old text"_s << false << false << u"已经有内容"_s;
    QTest::newRow("bytes that are no picture and no text")
        << QByteArray("\x00\x01\x02\xfe", 4) << QString() << true << false << u"不是文本文件"_s;
    QTest::newRow("no such file") << QByteArray() << QString() << true << false << u"无法读取"_s;
}

// Opened, a picture's pairs convert back to the picture; a dump comes as its text.
void TestWindowFiles::openFile()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, before);
    QFETCH(bool, replace);
    QFETCH(bool, taken);
    QFETCH(QString, said);
    const QString path = m_fixture.folder->filePath(u"opened.jpg"_s);
    if (!file.isNull())
        testing::writeFile(path, file);
    m_fixture.window->Text1->setPlainText(before);
    m_fixture.answerer->takeOffers = replace;
    QCOMPARE(m_fixture.window->openFile(path), taken);
    QCOMPARE(m_fixture.answerer->shown.isEmpty(), said.isEmpty());
    if (!said.isEmpty())
        QVERIFY2(m_fixture.answerer->shown.front().text.contains(said),
                 qPrintable(m_fixture.answerer->shown.front().text));
    if (!taken) {
        QCOMPARE(m_fixture.window->Text1->toPlainText(), before);
        return;
    }
    const bool picture = !file.startsWith("\xef\xbb\xbf");
    if (!picture) {
        QCOMPARE(m_fixture.window->Text1->toPlainText(), u"ff d8 ff d9\n"_s);
        return;
    }
    QTest::mouseClick(m_fixture.window->Command1, Qt::LeftButton);
    QTRY_COMPARE(readAll(m_fixture.folder->filePath(u"1.jpg"_s)), file);
    QVERIFY(!m_fixture.window->Image1->pixmap().isNull());
}

// A picture dropped on the panel is opened; its pairs replace nothing when the panel is empty.
void TestWindowFiles::pictureDropped()
{
    const QByteArray jpeg = testing::makeJpeg({64, 48});
    const QString path = m_fixture.folder->filePath(u"dropped photo.jpg"_s);
    testing::writeFile(path, jpeg);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    QWidget *viewport = m_fixture.window->Text1->viewport();
    const QPoint at = viewport->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    QVERIFY(drop.isAccepted());
    QTRY_VERIFY(!m_fixture.window->Text1->toPlainText().isEmpty());
    QCOMPARE(hexjpg::readForgiving(QStringView(m_fixture.window->Text1->toPlainText())).bytes,
             jpeg);
    QVERIFY(m_fixture.window->Text1->toPlainText().startsWith(u"FF D8 FF"_s));
}

// The bytes the panel's text holds, however it lays them out, go to the clipboard as a C array.
void TestWindowFiles::copyAsCArray()
{
    const QByteArray jpeg = testing::makeJpeg({32, 24});
    m_fixture.window->Text1->setPlainText(u"cam: photo follows\n"_s +
                                          QString::fromLatin1(jpeg.toHex(',')));
    QApplication::clipboard()->clear();
    m_fixture.window->copyAsCArrayAction->trigger();
    QTRY_VERIFY(!QApplication::clipboard()->text().isEmpty());
    const QString array = QApplication::clipboard()->text();
    QVERIFY(array.startsWith(u"const unsigned char image[] = {\n  0xFF, 0xD8, 0xFF"_s));
    QVERIFY(array.endsWith(u"const unsigned int image_len = %1;\n"_s.arg(jpeg.size())));
    QCOMPARE(hexjpg::readForgiving(QStringView(array)).bytes, jpeg);
}

// 复制图片 copies the picture at its own size, not as the area shows it.
void TestWindowFiles::pictureCopiedAtItsSize()
{
    const QByteArray png = makePng({600, 500});
    m_fixture.convert(testing::dumpOf(png));
    QTRY_VERIFY(!m_fixture.window->Image1->pixmap().isNull());
    QVERIFY(m_fixture.window->Image1->actions().contains(m_fixture.window->copyPictureAction));
    m_fixture.window->copyPictureAction->trigger();
    QCOMPARE(QApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32),
             decoded(png));
}

void TestWindowFiles::pictureSaved_data()
{
    QTest::addColumn<int>("as");
    QTest::addColumn<QByteArray>("format"); // null: the bytes as they came
    QTest::newRow("the bytes") << int(Form1::SaveAs::Original) << QByteArray();
    QTest::newRow("PNG") << int(Form1::SaveAs::Png) << QByteArray("png");
    QTest::newRow("BMP") << int(Form1::SaveAs::Bmp) << QByteArray("bmp");
}

// 另存为… saves the picture as its bytes, or as its pixels in PNG or BMP; a folder that is not
// there is told, and nothing is left behind.
void TestWindowFiles::pictureSaved()
{
    QFETCH(int, as);
    QFETCH(QByteArray, format);
    const QByteArray jpeg = testing::makeJpeg({90, 70});
    m_fixture.convert(testing::dumpOf(jpeg));
    QTRY_VERIFY(!m_fixture.window->Image1->pixmap().isNull());
    const QString path = m_fixture.folder->filePath(u"saved.picture"_s);
    QVERIFY(m_fixture.window->savePicture(path, Form1::SaveAs(as)));
    const QByteArray saved = readAll(path);
    if (format.isNull())
        QCOMPARE(saved, jpeg);
    else
        QCOMPARE(QImage::fromData(saved, format.constData()).convertToFormat(QImage::Format_RGB32),
                 decoded(jpeg));
    const QString nowhere = m_fixture.folder->filePath(u"no such folder/saved.picture"_s);
    QVERIFY(!m_fixture.window->savePicture(nowhere, Form1::SaveAs(as)));
    QVERIFY(m_fixture.answerer->shown.back().text.startsWith(u"无法保存图片"_s));
    QVERIFY(!QFileInfo::exists(nowhere));
}

QTEST_MAIN(TestWindowFiles)
#include "tst_window_files.moc"
