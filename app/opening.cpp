// Form1 and files: a dump opened into the panel as its text, a picture as its pairs, from 打开…,
// from a picture dropped on the panel, or from the command line; and the other direction, the
// bytes the panel's text holds copied as a C array.

#include "main_window.h"

#include "dropped_files.h"
#include "dump_writer.h"
#include "warning.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QMimeData>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

using namespace Qt::StringLiterals;

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(Form1)
};

// Enough of a file's start for the finder to know a picture's header (a BMP's is 30 bytes).
constexpr qint64 kHeadBytes = 64;
constexpr int kPairsPerLine = 16;

// A file's first bytes begin a picture: JPEG, PNG, GIF or BMP, its header sound, its structure
// running on past them or ending inside them.
bool beginsPicture(QFile &file)
{
    const hexjpg::FoundPictures found = hexjpg::findPictures(file.peek(kHeadBytes));
    return found.runsOnFirst == 0 || (!found.empty() && found.front().offset == 0);
}

bool isPicture(const QString &path)
{
    QFile file(path);
    return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly) && beginsPicture(file);
}

// The one local picture a drag carries, or nothing.
QString draggedPicture(const QMimeData *mime)
{
    const QList<QUrl> urls = mime ? mime->urls() : QList<QUrl>();
    if (urls.size() != 1 || !urls.front().isLocalFile())
        return {};
    const QString path = urls.front().toLocalFile();
    return isPicture(path) ? path : QString();
}

} // namespace

void Form1::createFileActions()
{
    openAction = new QAction(Words::tr("打开(&O)…"), this);
    openAction->setObjectName(u"openAction"_s);
    openAction->setShortcut(QKeySequence::Open);
    addAction(openAction); // Ctrl+O anywhere in the window
    copyAsCArrayAction = new QAction(Words::tr("复制为 C 数组"), this);
    copyAsCArrayAction->setObjectName(u"copyAsCArrayAction"_s);
    connect(openAction, &QAction::triggered, this, &Form1::chooseFileToOpen);
    connect(copyAsCArrayAction, &QAction::triggered, this, &Form1::copyAsCArray);
    // A picture dropped on the panel is opened; any other drop is the panel's own.
    Text1->viewport()->installEventFilter(this);
}

void Form1::chooseFileToOpen()
{
    const QString path = QFileDialog::getOpenFileName(
        this, Words::tr("打开"), QString(),
        Words::tr("十六进制文本或图片 (*.txt *.log *.hex *.h *.c *.jpg *.jpeg *.png *.gif *.bmp);;"
                  "所有文件 (*)"));
    if (!path.isEmpty())
        openFile(path);
}

bool Form1::openFile(const QString &path)
{
    if (m_busy) // a check reads the panel: its text stays until the check is done
        return false;
    const QString shown = QDir::toNativeSeparators(path);
    const qint64 room = Text1->maximumLength();
    QString text;
    if (QFile file(path);
        QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly) && beginsPicture(file)) {
        // Three characters a byte: "FF ".
        if (file.size() > room / 3) {
            showWarning(this, Words::tr("图片太大，它的十六进制文本放不进文本框：%1\n图片有 %2 "
                                        "字节，文本框最多放 %3 个字符。")
                                  .arg(shown)
                                  .arg(file.size())
                                  .arg(room));
            return false;
        }
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            showWarning(this, Words::tr("无法读取文件：%1\n%2").arg(shown, file.errorString()));
            return false;
        }
        text = QString::fromLatin1(
            hexjpg::dumpBytes(bytes, hexjpg::DumpLayout::Pairs, kPairsPerLine, {}));
    } else {
        panel::DroppedText read = panel::readTextFile(path, room);
        if (!read.refusal.isEmpty()) {
            showWarning(this, read.refusal);
            return false;
        }
        text = std::move(read.text);
    }
    if (Text1->content().size() > 0 &&
        !offerWarning(
            this,
            Words::tr("文本框里已经有内容。换成 %1 的内容吗？").arg(QFileInfo(path).fileName()),
            Words::tr("替换")))
        return false;
    bool refused = false; // the panel tells it, and takes nothing
    const auto watch =
        connect(Text1, &TextPanel::refused, this, [&refused](const QString &) { refused = true; });
    Text1->setPlainText(text);
    disconnect(watch);
    return !refused;
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched != Text1->viewport() || (type != QEvent::DragEnter && type != QEvent::DragMove &&
                                         type != QEvent::Drop && type != QEvent::DragLeave))
        return QWidget::eventFilter(watched, event);
    // The file is looked at once, as the drag enters, not at every move.
    if (type == QEvent::DragEnter)
        m_draggedPicture = draggedPicture(static_cast<QDropEvent *>(event)->mimeData());
    const QString picture = m_draggedPicture;
    if (type == QEvent::DragLeave || type == QEvent::Drop)
        m_draggedPicture.clear();
    if (type == QEvent::DragLeave || picture.isEmpty())
        return false;
    auto *drag = static_cast<QDropEvent *>(event);
    drag->setDropAction(Qt::CopyAction);
    drag->accept();
    // Asked after the drop has ended: no box opens inside the system's drag and drop.
    if (type == QEvent::Drop)
        QTimer::singleShot(0, this, [this, picture] { openFile(picture); });
    return true;
}

// The text read as the forgiving reading reads it, off the window's thread; its bytes go to the
// clipboard as a C array, named image.
void Form1::copyAsCArray()
{
    auto *watcher = new QFutureWatcher<QByteArray>(this);
    copyAsCArrayAction->setEnabled(false);
    connect(watcher, &QFutureWatcher<QByteArray>::finished, this, [this, watcher] {
        watcher->deleteLater();
        copyAsCArrayAction->setEnabled(true);
        const QByteArray array = watcher->result();
        if (array.isEmpty()) {
            showWarning(this, Words::tr("文本框里没有能读成字节的内容"));
            return;
        }
        QApplication::clipboard()->setText(QString::fromLatin1(array));
    });
    watcher->setFuture(QtConcurrent::run([text = Text1->toPlainText()] {
        const hexjpg::ForgivingRead read = hexjpg::readForgiving(QStringView(text));
        if (read.bytes.isEmpty())
            return QByteArray();
        return hexjpg::dumpBytes(read.bytes, hexjpg::DumpLayout::C,
                                 hexjpg::defaultPerLine(hexjpg::DumpLayout::C), "image");
    }));
}
