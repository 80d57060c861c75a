// The picture on a high-DPI screen (a scale of 200 %): drawn at the screen's own pixels, each of
// the picture's pixels on one of the screen's where the picture has as many as the area, not
// drawn at the area's size and then blown up.

#include "main_window.h"
#include "test_support.h"
#include "window_fixture.h"

#include <QBuffer>
#include <QImageWriter>
#include <QLabel>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
// Before the application exists: the scale it is made with.
const bool kScaled = qputenv("QT_SCALE_FACTOR", "2");

constexpr int kScale = 2;
} // namespace

class TestHighDpi : public QObject {
    Q_OBJECT

private slots:
    void init() { m_fixture.setUp(); }
    void cleanup() { m_fixture.tearDown(); }
    void pictureDrawnAtTheScreensPixels();

private:
    testing::WindowFixture m_fixture;
};

void TestHighDpi::pictureDrawnAtTheScreensPixels()
{
    QVERIFY(kScaled);
    QCOMPARE(m_fixture.window->devicePixelRatio(), kScale);
    // As many pixels as the area has on this screen: a checkerboard of single pixels, which any
    // drawing at fewer pixels blurs to grey.
    const QSize device = m_fixture.window->Image1->size() * kScale;
    QImage picture(device, QImage::Format_RGB32);
    for (int y = 0; y < device.height(); ++y)
        for (int x = 0; x < device.width(); ++x)
            picture.setPixel(x, y, (x + y) % 2 ? qRgb(250, 250, 250) : qRgb(10, 40, (x / 4) & 255));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(QImageWriter(&buffer, "png").write(picture));
    m_fixture.convert(testing::dumpOf(png));
    QTRY_VERIFY(!m_fixture.window->Image1->pixmap().isNull());
    const QImage drawn =
        m_fixture.window->Image1->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(drawn.size(), device);
    int off = 0;
    for (int y = 0; y < device.height(); ++y)
        for (int x = 0; x < device.width(); ++x)
            off += qAbs(qRed(drawn.pixel(x, y)) - qRed(picture.pixel(x, y))) > 8;
    QVERIFY2(off == 0, qPrintable(QString::number(off)));
}

QTEST_MAIN(TestHighDpi)
#include "tst_high_dpi.moc"
