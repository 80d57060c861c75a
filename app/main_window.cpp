#include "main_window.h"

#include "diagnosis.h"
#include "forgiving_reader.h"
#include "hex_to_jpeg.h"
#include "picture_finder.h"
#include "warning.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFontDatabase>
#include <QFutureWatcher>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(Form1)
};
} // namespace

namespace {

// Binds the conversion's progress to ProgressBar1: the range is set up before the first pair,
// and the bar hears of a pair only where its drawing would change, and of the last one.
class BarProgress : public hexjpg::ProgressSink {
public:
    explicit BarProgress(ProgressBar &bar)
        : m_bar(bar)
    {
    }

    void started(qint64 workingLength) override
    {
        m_bar.setMax(float(workingLength));
        m_bar.setMin(0);
        m_bar.setValue(0);
        m_bar.setVisible(true);
    }

    qint64 reached(qint64 position) override
    {
        m_bar.setValue(float(position));
        return qint64(std::ceil(m_bar.nextDrawnValue(double(position))));
    }

private:
    ProgressBar &m_bar;
};

// A push button that Enter and Return press while it has the focus, as Space does: the buttons
// of the platform the tool was made for behave so. None of them is a default button, which Enter
// would press wherever the focus is.
class Button : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        if (enter && !(event->modifiers() & ~Qt::KeypadModifier)) {
            click();
            return;
        }
        QPushButton::keyPressEvent(event);
    }
};

QPushButton *button(QWidget *parent, const QString &name, const QString &caption, QRect rect)
{
    auto *b = new Button(caption, parent);
    b->setObjectName(name);
    b->setGeometry(rect);
    b->setAutoDefault(false);
    return b;
}

// A label draws its caption from its top-left corner, as the platform's labels do (QLabel would
// centre it vertically).
QLabel *label(QWidget *parent, const QString &name, QRect rect)
{
    auto *l = new QLabel(parent);
    l->setObjectName(name);
    l->setGeometry(rect);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

} // namespace

Form1::Form1(const QString &outputFolder, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , ProgressBar1(this, u"ProgressBar1"_s)
    , m_outputFolder(outputFolder.isEmpty() ? hexjpg::defaultOutputFolder() : outputFolder)
    , m_loader(hexjpg::kPictureAreaSize * devicePixelRatio())
{
    setObjectName(u"Form1"_s);
    setWindowTitle(Words::tr("图片转换工具--hexjpg@example.com"));
    setWindowIcon(QIcon(u":/icon.ico"_s));
    setFont(windowFont());
    setGeometry(303, 153, 757, 543);
    setFixedSize(757, 543);
    createControls();
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(Text1, &TextPanel::textChanged, this, &Form1::Text1_Change);
    connect(Text1, &TextPanel::refused, this,
            [this](const QString &why) { showWarning(this, why); });
    createReceiveActions();
    createFileActions();
    createPictureMenu();
    Text1->setMenuActions(
        {openAction, copyAsCArrayAction, receiveAction, sendAgainAction, stopAction});
    Command1->setFocus();
}

QFont Form1::windowFont()
{
    // 宋体 where Windows has it, then the CJK faces other Windows systems and Linux have: never a
    // Western face that draws boxes for the Chinese captions.
    static const QStringList candidates = {u"SimSun"_s,
                                           u"NSimSun"_s,
                                           u"Microsoft YaHei"_s,
                                           u"AR PL UMing CN"_s,
                                           u"Noto Sans Mono CJK SC"_s,
                                           u"WenQuanYi Zen Hei Mono"_s};
    QString family = candidates.first();
    for (const QString &candidate : candidates) {
        if (QFontDatabase::hasFamily(candidate)) {
            family = candidate;
            break;
        }
    }
    QFont font(family);
    font.setPointSizeF(9);
    return font;
}

// The controls from the bottom of the stack to the top, each at its place in pixels.
void Form1::createControls()
{
    Image2 = label(this, u"Image2"_s, {320, 8, 425, 345});
    Image2->setPixmap(QPixmap(u":/brown.bmp"_s));
    Image2->setScaledContents(true);

    Image1 = label(this, u"Image1"_s, {320, 8, 425, 345});
    Image1->setScaledContents(true);
    Image1->hide(); // the brown panel shows until the first conversion

    Label1 = label(this, u"Label1"_s, {24, 392, 268, 14});
    QFont bold = font();
    bold.setPointSizeF(10.5);
    bold.setBold(true);
    Label1->setFont(bold);
    Label1->setText(Words::tr("请将“FF D8 。。。FF D9”放入文本框"));
    Label1->adjustSize();

    Label2 = label(this, u"Label2"_s, {544, 392, 185, 17});
    Label2->setText(Words::tr("文本总行数：0"));

    Text1 = new TextPanel(this);
    Text1->setObjectName(u"Text1"_s);
    Text1->setGeometry(8, 8, 313, 369);

    Command1 = button(this, u"Command1"_s, Words::tr("转换"), {56, 416, 137, 121});
    Command2 = button(this, u"Command2"_s, Words::tr("清除"), {288, 416, 137, 121});
    ProgressBar1.widget()->setGeometry(320, 360, 425, 17);
    ProgressBar1.widget()->raise(); // created first, it lies above the text panel's edge
    Command4 = button(this, u"Command4"_s, Words::tr("退出"), {536, 416, 137, 121});

    setTabOrder(Command1, Text1);
    setTabOrder(Text1, Command2);
    setTabOrder(Command2, Command4);
}

void Form1::Command1_Click()
{
    if (m_busy)
        return;
    if (Text1->text().isEmpty()) {
        showWarning(this, Words::tr("请将数据粘贴文本框中"));
        return;
    }
    const bool pictureShown = !Image1->isHidden();
    Image1->setVisible(true);

    BarProgress progress(ProgressBar1);
    hexjpg::ConversionResult written;
    {
        // The core reads the panel's own buffer, which stays put until it is done.
        const TextPanel::Reading reading(*Text1);
        written = hexjpg::convertHexDump(reading.text(), m_outputFolder, &progress);
    }
    if (!written.ok()) {
        // The earlier 1.jpg is not shown as though it were this result, nor a picture that was
        // cleared away brought back: the picture area stays as it was before the click.
        Image1->setVisible(pictureShown);
        if (written.empty) // blanks only: as good as an empty panel, and nothing is written
            showWarning(this, Words::tr("请将数据粘贴文本框中"));
        else
            warnNotWritten(written);
        return;
    }

    const Checked checked = checkAside(written);
    written.written.reset(); // let go of 1.jpg: Windows replaces no file that is open
    if (checked.cancelled)
        return;
    if (checked.outOfMemory) {
        showWarning(this, Words::tr("内存不足：无法检查这么多的数据"));
        return;
    }
    if (const hexjpg::FoundPicture *whole = wholeAfterCut(checked)) {
        showWholeAfterCut(checked, *whole);
        return;
    }
    const hexjpg::LoadedPicture &picture = checked.picture;
    if (picture.error == 0) {
        showPicture(picture, checked.bytes);
        // A picture cut short is shown, and then said to be so.
        if (const QString missing = hexjpg::incompleteness(picture, written.bytesWritten);
            !missing.isEmpty())
            showWarning(
                this, missing,
                hexjpg::diagnosePicture(picture, 0, written.bytesWritten, written.bytesWritten)
                    .join(u'\n'));
    } else if (checked.readAgain) {
        offerForgivingReading(checked);
    }
}

// The check of the bytes written and, where they are no picture, the forgiving reading of the
// text run aside, off the window's thread: the window repaints and answers meanwhile, and a
// progress box with 取消 comes up when it takes longer than half a second. The panel's text
// stays put until it is done.
Form1::Checked Form1::checkAside(const hexjpg::ConversionResult &written)
{
    m_busy = true;
    const TextPanel::Reading reading(*Text1);
    std::atomic<bool> cancel{false};
    hexjpg::DecodeLimits limits = m_loader.limits();
    limits.cancel = &cancel;
    const hexjpg::PictureLoader loader(m_loader.displaySize(), limits);
    const QStringView text = reading.text();
    const std::shared_ptr<QIODevice> device = written.written;
    auto work = [&loader, text, device, &cancel] {
        Checked c;
        try {
            c.picture =
                device ? loader.load(*device) : hexjpg::failedLoad(hexjpg::kFileAccessError, {});
            // A picture is kept as its bytes too: copied and saved as it came.
            if (c.picture.error == 0 && device->seek(0))
                c.bytes = device->readAll();
            // A picture cut short may have a whole one after it: the text is read again too.
            const bool cutShort = c.picture.error == 0 && !c.picture.complete;
            if (c.picture.error != hexjpg::kInvalidPicture && !cutShort)
                return c;
            c.readAgain = true;
            c.read = hexjpg::readForgiving(text, &cancel);
            c.found = hexjpg::findPictures(c.read.bytes, &cancel);
            if (const hexjpg::FoundPicture *chosen =
                    loader.loadNewest(c.read.bytes, c.found, c.newest))
                c.chosen = chosen - c.found.data();
            else if (c.found.empty() && !cancel)
                judgeRawFrame(c, loader);
        } catch (const std::bad_alloc &) {
            c = Checked();
            c.outOfMemory = true;
        }
        return c;
    };

    QProgressDialog dialog(Words::tr("正在检查图片……"), Words::tr("取消"), 0, 0, this);
    dialog.setWindowTitle(windowTitle());
    dialog.setWindowModality(Qt::WindowModal);
    // A busy box has no value for its own delay to go by: it comes up after half a second.
    QTimer::singleShot(500, &dialog, &QProgressDialog::show);
    connect(&dialog, &QProgressDialog::canceled, this, [&cancel] { cancel = true; });
    QFutureWatcher<Checked> watcher;
    watcher.setFuture(QtConcurrent::run(work));
    m_cancelCheck = &cancel; // 退出, or closing the window, stops it
    while (!watcher.isFinished())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    m_cancelCheck = nullptr;
    m_busy = false;
    Checked checked = watcher.result();
    checked.cancelled = cancel;
    return checked;
}

// The picture in Image1, and in the picture area's tooltip what it is.
void Form1::showPicture(const hexjpg::LoadedPicture &picture, const QByteArray &bytes)
{
    m_shownBytes = bytes;
    m_shownFormat = picture.format;
    Image1->setPixmap(QPixmap::fromImage(picture.image));
    Image1->setToolTip(hexjpg::describePicture(picture, bytes.size()) +
                       (picture.complete ? Words::tr("，完整") : Words::tr("，不完整")));
}

// The dump as written gives no picture, and the text was read again forgivingly. A picture found
// that way is offered; without one, the warning says what is wrong.
void Form1::offerForgivingReading(const Checked &checked)
{
    const hexjpg::ForgivingRead &read = checked.read;
    const hexjpg::FoundPictures &found = checked.found;
    const QStringList readingNotes = hexjpg::diagnoseReading(read);
    if (checked.chosen < 0 && offerRawFrame(checked))
        return;
    if (checked.chosen < 0) {
        QStringList details{Words::tr("按原来的读法：%1").arg(checked.picture.errorString),
                            Words::tr("换一种读法（%1）：%2 字节")
                                .arg(read.layout, hexjpg::number(read.bytes.size()))};
        details << hexjpg::diagnoseNoPicture(read.bytes, found, {}) << readingNotes;
        showWarning(this, Words::tr("照片不正确！"), details.join(u'\n'));
        return;
    }

    const hexjpg::FoundPicture *chosen = &found[std::size_t(checked.chosen)];
    const hexjpg::LoadedPicture &picture = checked.newest;
    const QByteArrayView bytes = QByteArrayView(read.bytes).sliced(chosen->offset, chosen->length);
    QString message = Words::tr("照片不正确！\n%1，可以得到一张 %2×%3 的 %4 图片，%5 字节")
                          .arg(read.layout)
                          .arg(picture.size.width())
                          .arg(picture.size.height())
                          .arg(picture.format, hexjpg::number(bytes.size()));
    if (found.total > 1)
        message += Words::tr("\n文本中共有 %1 张图片，这是最后一张%2。")
                       .arg(found.total)
                       .arg(chosen->whole ? Words::tr("完整的") : QString());
    if (const QString missing = hexjpg::incompleteness(picture, bytes.size()); !missing.isEmpty())
        message += u'\n' + missing;
    const QStringList details =
        hexjpg::diagnosePicture(picture, chosen->offset, chosen->length, read.bytes.size()) +
        readingNotes;
    if (!offerWarning(this, message, Words::tr("使用这张图片"), details.join(u'\n')))
        return;
    const hexjpg::ConversionResult written = hexjpg::writeOutput(bytes, m_outputFolder);
    if (!written.ok()) {
        warnNotWritten(written);
        return;
    }
    showPicture(picture, bytes.toByteArray());
}

// The newest picture found in the text read again, when it is whole and a picture before it was
// cut short: a capture that broke off and began again.
const hexjpg::FoundPicture *Form1::wholeAfterCut(const Checked &checked)
{
    if (!checked.readAgain || checked.chosen < 0)
        return nullptr;
    const hexjpg::FoundPictures &found = checked.found;
    const auto chosen = found.begin() + checked.chosen;
    if (!chosen->whole || std::all_of(found.begin(), chosen, [](const auto &p) { return p.whole; }))
        return nullptr;
    return &*chosen;
}

// The whole picture becomes 1.jpg and is shown; the one cut short before it is told.
void Form1::showWholeAfterCut(const Checked &checked, const hexjpg::FoundPicture &whole)
{
    const QByteArrayView bytes =
        QByteArrayView(checked.read.bytes).sliced(whole.offset, whole.length);
    const hexjpg::ConversionResult written = hexjpg::writeOutput(bytes, m_outputFolder);
    if (!written.ok()) {
        warnNotWritten(written);
        return;
    }
    showPicture(checked.newest, bytes.toByteArray());
    const auto cut = std::find_if(checked.found.begin(), checked.found.end(),
                                  [](const auto &p) { return !p.whole; });
    showWarning(this,
                Words::tr("第 %1 张图片不完整，显示的是它后面完整的第 %2 张图片（已写入 1.jpg）")
                    .arg(cut->number)
                    .arg(whole.number),
                Words::tr("第 %1 张图片：%2").arg(cut->number).arg(cut->problem));
}

// The file could not be written: where, and the system's reason.
void Form1::warnNotWritten(const hexjpg::ConversionResult &written)
{
    showWarning(this, hexjpg::notWritten(written.path, written.error));
}

void Form1::closeEvent(QCloseEvent *event)
{
    if (m_cancelCheck)
        *m_cancelCheck = true;
    stopReceiving();
    QWidget::closeEvent(event);
}

// Clear: an empty panel, an empty bar, the brown panel in the picture area. The counter runs on
// the panel's change before the bar is reset, and once more after it.
void Form1::Command2_Click()
{
    if (m_busy)
        return;
    Text1->clear();
    ProgressBar1.setValue(0);
    Text1_Change();
    Image1->hide();
    m_shownBytes.clear();
}

// Exit: the window goes and the program ends; 1.jpg stays where it is.
void Form1::Command4_Click()
{
    if (m_cancelCheck)
        *m_cancelCheck = true;
    close();
    QCoreApplication::exit(0);
}

// The line counter: one line, and one more for every 48 characters (96 bytes of UTF-16), line
// breaks counting two characters each (CR LF). Both counts are the panel's own, so the count
// costs nothing however much the panel holds.
void Form1::Text1_Change()
{
    const qint64 characters = Text1->content().size() + Text1->content().lineBreaks();
    const auto lines = qint64(std::floor(double(2 * characters) / 96.0 + 1.0));
    Label2->setText(Words::tr("文本总行数：") + QString::number(lines));
}
