// Form1's picture area: drawn at the screen's own pixels, and its menu: the picture shown copied to
// the clipboard, or saved elsewhere as the bytes it came in, or as a PNG or BMP of its pixels.

#include "main_window.h"

#include "receiver.h"
#include "warning.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageWriter>
#include <QLabel>
#include <QSaveFile>
#include <QScreen>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(Form1)
};
} // namespace

// Pictures are decoded at the picture area's size in the screen's own pixels; a window moved to a
// screen of another scale decodes the picture shown again for it.
void Form1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (QWindow *window = windowHandle())
        connect(window, &QWindow::screenChanged, this, &Form1::screenChanged, Qt::UniqueConnection);
}

void Form1::screenChanged()
{
    const QSize display = hexjpg::kPictureAreaSize * devicePixelRatio();
    if (display == m_loader.displaySize())
        return;
    m_loader = hexjpg::PictureLoader(display, m_loader.limits());
    m_receiver->setLoader(m_loader);
    if (Image1->isVisible() && !m_shownBytes.isEmpty())
        if (const hexjpg::LoadedPicture again = m_loader.load(QByteArrayView(m_shownBytes));
            again.error == 0)
            Image1->setPixmap(QPixmap::fromImage(again.image));
}

void Form1::createPictureMenu()
{
    copyPictureAction = new QAction(Words::tr("复制图片(&C)"), this);
    copyPictureAction->setObjectName(u"copyPictureAction"_s);
    savePictureAction = new QAction(Words::tr("另存为(&A)…"), this);
    savePictureAction->setObjectName(u"savePictureAction"_s);
    connect(copyPictureAction, &QAction::triggered, this, &Form1::copyPicture);
    connect(savePictureAction, &QAction::triggered, this, &Form1::savePictureAs);
    Image1->setContextMenuPolicy(Qt::ActionsContextMenu);
    Image1->addActions({copyPictureAction, savePictureAction});
}

// The picture shown, at its own size (the area shows it fitted to itself), decoded again from its
// bytes within the loader's limits; a null image where it no longer decodes.
QImage Form1::pictureAtItsSize()
{
    return hexjpg::PictureLoader({}, m_loader.limits()).load(QByteArrayView(m_shownBytes)).image;
}

void Form1::copyPicture()
{
    const QImage picture = pictureAtItsSize();
    if (picture.isNull()) {
        showWarning(this, Words::tr("没有可以复制的图片"));
        return;
    }
    QApplication::clipboard()->setImage(picture);
}

void Form1::savePictureAs()
{
    const QString format = m_shownFormat.toLower();
    const QString suffix = format == u"jpeg" ? u"jpg"_s : format;
    const QString original = Words::tr("原来的字节 (*.%1)").arg(suffix);
    const QString png = Words::tr("PNG 图片 (*.png)"), bmp = Words::tr("BMP 图片 (*.bmp)");
    QString chosen;
    const QString path = QFileDialog::getSaveFileName(
        this, Words::tr("另存为"), QDir(m_outputFolder).filePath(u"picture."_s + suffix),
        QStringList{original, png, bmp}.join(u";;"_s), &chosen);
    if (path.isEmpty())
        return;
    const SaveAs as = chosen == png ? SaveAs::Png : chosen == bmp ? SaveAs::Bmp : SaveAs::Original;
    // A PNG or BMP named after what it is, whatever name the dialog offered.
    const QString wanted = as == SaveAs::Png ? u"png"_s : u"bmp"_s;
    const QFileInfo info(path);
    savePicture(as == SaveAs::Original || info.suffix().compare(wanted, Qt::CaseInsensitive) == 0
                    ? path
                    : info.dir().filePath(info.completeBaseName() + u'.' + wanted),
                as);
}

bool Form1::savePicture(const QString &path, SaveAs as)
{
    const QString shown = QDir::toNativeSeparators(path);
    QSaveFile file(path);
    QString error;
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
    } else if (as == SaveAs::Original) {
        if (file.write(m_shownBytes) != m_shownBytes.size())
            error = file.errorString();
    } else {
        const QImage picture = pictureAtItsSize();
        QImageWriter writer(&file, as == SaveAs::Png ? "png" : "bmp");
        if (picture.isNull())
            error = Words::tr("图片不能解码");
        else if (!writer.write(picture))
            error = writer.errorString();
    }
    if (error.isEmpty() && !file.commit())
        error = file.errorString();
    if (!error.isEmpty()) {
        file.cancelWriting();
        showWarning(this, Words::tr("无法保存图片：%1\n%2").arg(shown, error));
        return false;
    }
    return true;
}
