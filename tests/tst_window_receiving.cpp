// The window receiving from a serial port (a pty pair from socat): the panel fed, pictures shown,
// the command sent and marked, a port lost and opened again, every picture kept, how receiving
// goes shown, and the receive dialog's choices kept from one run to the next. These tests run
// before any test presses 退出, whose QCoreApplication::exit() ends every modal box after it.

#include "main_window.h"
#include "picture_loader.h"
#include "raw_frames.h"
#include "receive_choices.h"
#include "serial_dialog.h"
#include "test_support.h"
#include "window_fixture.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;
using testing::readAll;

namespace {

// A pty pair from socat in folder: port, the end the window opens, and the board's end, where a
// test hears what the window sends and says what the board prints. It can be stopped and started
// again on the same links, as a board that resets.
class Pty {
public:
    explicit Pty(const QString &folder)
        : port(folder + u"/port"_s)
        , board(folder + u"/board"_s)
    {
        start();
    }
    ~Pty() { stop(); }

    bool started() const { return m_fd >= 0; }
    void start()
    {
#ifdef Q_OS_UNIX
        const QString socat = QStandardPaths::findExecutable(u"socat"_s);
        if (socat.isEmpty())
            return;
        m_socat.start(socat, {u"pty,raw,echo=0,link="_s + port, u"pty,raw,echo=0,link="_s + board});
        QDeadlineTimer deadline(5000);
        while (!(QFileInfo::exists(port) && QFileInfo::exists(board)) && !deadline.hasExpired())
            QTest::qWait(10);
        QTest::qWait(50); // the pair set up behind its links
        m_fd = ::open(QFile::encodeName(board).constData(), O_RDWR | O_NONBLOCK | O_NOCTTY);
#endif
    }
    void stop()
    {
#ifdef Q_OS_UNIX
        if (m_fd >= 0)
            ::close(m_fd);
#endif
        m_fd = -1;
        m_socat.kill();
        m_socat.waitForFinished();
        QFile::remove(port);
        QFile::remove(board);
    }
    ReceiveChoices choices(const QString &command = {}) const
    {
        ReceiveChoices choices;
        choices.port = port;
        choices.command = command;
        return choices;
    }
    // All the window has sent so far.
    QByteArray heard()
    {
#ifdef Q_OS_UNIX
        char block[256];
        for (ssize_t n; m_fd >= 0 && (n = ::read(m_fd, block, sizeof block)) > 0;)
            m_heard.append(block, n);
#endif
        return m_heard;
    }
    void say(const QByteArray &bytes)
    {
        Q_UNUSED(bytes) // on POSIX systems only
#ifdef Q_OS_UNIX
        for (qsizetype done = 0; m_fd >= 0 && done < bytes.size();) {
            const ssize_t n = ::write(m_fd, bytes.constData() + done, bytes.size() - done);
            if (n > 0)
                done += n;
            else
                QTest::qWait(5);
        }
#endif
    }

    const QString port, board;

private:
    QProcess m_socat;
    int m_fd = -1;
    QByteArray m_heard;
};

QByteArray dumpLines(const QByteArray &bytes)
{
    QByteArray text;
    for (qsizetype i = 0; i < bytes.size(); i += 16)
        text += bytes.mid(i, 16).toHex(' ') + "\r\n";
    return text;
}

} // namespace

class TestWindowReceiving : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture.setUp();
        m_fixture.window->keepSettingsIn(m_fixture.folder->path());
    }
    void cleanup() { m_fixture.tearDown(); }

    void receiving_data();
    void receiving();
    void receivingSendsTheCommand();
    void portLostAndBack();
    void everyPictureKeptAndCounted();
    void receiveDialogReadsTheCommand_data();
    void receiveDialogReadsTheCommand();
    void rawFramesReceived_data();
    void rawFramesReceived();
    void rawChoiceNeedsAFrameSize_data();
    void rawChoiceNeedsAFrameSize();
    void choicesKept();
    void keptChoicesReadSafely_data();
    void keptChoicesReadSafely();
    void settingsPlace();

private:
    testing::WindowFixture m_fixture;
};

// Receiving from a serial port (a pty pair from socat): what comes goes into the panel, each
// picture is written and shown with its diagnosis, and a lost port is told, what came kept.
void TestWindowReceiving::receiving_data()
{
    QTest::addColumn<bool>("port"); // a pty pair, or a port that does not exist
    QTest::addColumn<QString>("said");

    QTest::newRow("a picture, then the device goes") << true << u"断开"_s;
    QTest::newRow("no such port") << false << u"找不到串口"_s;
}

void TestWindowReceiving::receiving()
{
    QFETCH(bool, port);
    QFETCH(QString, said);
    Pty pty(m_fixture.folder->path());
    if (!pty.started())
        QSKIP("socat is not installed, or this is no POSIX system");
    if (!port)
        pty.stop();
    ReceiveChoices choices = pty.choices();
    choices.reconnectSeconds = 0;
    QCOMPARE(m_fixture.window->startReceiving(choices), port);
    QCOMPARE(m_fixture.window->stopAction->isVisible(), port);
    if (port) {
        const QByteArray jpeg = testing::makeJpeg({120, 90});
        pty.say("cam ready\r\n" + dumpLines(jpeg) + jpeg.first(100));
        QTRY_COMPARE(readAll(m_fixture.folder->filePath(u"1.jpg"_s)), jpeg);
        QTRY_VERIFY(m_fixture.window->Image1->isVisible());
        QVERIFY(m_fixture.window->Image1->toolTip().contains(u"第 1 张图片"_s));
        QTRY_VERIFY(m_fixture.window->Text1->toPlainText().startsWith(u"cam ready\nff d8"_s));
        QCOMPARE(m_fixture.window->Label2->text(),
                 u"文本总行数：%1"_s.arg(
                     std::floor(2.0 *
                                    (m_fixture.window->Text1->content().size() +
                                     m_fixture.window->Text1->content().lineBreaks()) /
                                    96.0 +
                                1.0)));
        pty.stop();
    }
    QTRY_VERIFY(std::any_of(m_fixture.answerer->shown.begin(), m_fixture.answerer->shown.end(),
                            [&](const auto &shown) { return shown.text.contains(said); }));
    QTRY_VERIFY(m_fixture.window->receiveAction->isVisible());
    QVERIFY(!m_fixture.window->stopAction->isVisible());
}

// The command for the board goes out once the port is open, and again with 再次发送, which shows
// only while receiving with a command.
void TestWindowReceiving::receivingSendsTheCommand()
{
    Pty pty(m_fixture.folder->path());
    if (!pty.started())
        QSKIP("socat is not installed, or this is no POSIX system");
    QVERIFY(m_fixture.window->startReceiving(pty.choices("c\\r\\n")));
    QTRY_COMPARE(pty.heard(), QByteArray("c\r\n"));
    QVERIFY(m_fixture.window->sendAgainAction->isVisible());
    pty.say("ff d8 ff");
    QTRY_VERIFY(m_fixture.window->Text1->toPlainText().endsWith(u"ff d8 ff"_s));
    m_fixture.window->sendAgainAction->trigger();
    QTRY_COMPARE(pty.heard(), QByteArray("c\r\nc\r\n"));
    // On a line of its own, the panel's text as it was around it.
    QTRY_COMPARE(m_fixture.window->Text1->toPlainText(),
                 u"\u2192 已发送：c\\r\\n\nff d8 ff\n\u2192 已发送：c\\r\\n\n"_s);
    m_fixture.window->stopReceiving();
    QTRY_VERIFY(!m_fixture.window->sendAgainAction->isVisible());
}

void TestWindowReceiving::receiveDialogReadsTheCommand_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QByteArray>("command"); // null: 开始 stays off
    QTest::newRow("none") << QString() << false << QByteArray("");
    QTest::newRow("text with escapes") << u"c\\r\\n"_s << false << QByteArray("c\r\n");
    QTest::newRow("a broken escape") << u"c\\q"_s << false << QByteArray();
    QTest::newRow("hex pairs") << u"56 00 36 01 00"_s << true
                               << QByteArray("\x56\x00\x36\x01\x00", 5);
    QTest::newRow("a hex digit left over") << u"56 0"_s << true << QByteArray();
}

void TestWindowReceiving::receiveDialogReadsTheCommand()
{
    QFETCH(QString, typed);
    QFETCH(bool, hex);
    QFETCH(QByteArray, command);
    SerialDialog dialog;
    dialog.ports->setCurrentText(u"/dev/ttyUSB0"_s);
    dialog.commandIsHex->setChecked(hex);
    dialog.commandText->setText(typed);
    auto *start = dialog.findChild<QPushButton *>(u"start"_s);
    QVERIFY(start);
    QCOMPARE(start->isEnabled(), !command.isNull());
    if (!command.isNull())
        QCOMPARE(dialog.command().value(), command);
    dialog.dtr->setChecked(true);
    QVERIFY(dialog.settings().dtr && !dialog.settings().rts);
}

// A board that resets: the port lost is told in the panel and beside the labels, opened again by
// the same name, the command sent again, and receiving goes on.
void TestWindowReceiving::portLostAndBack()
{
    Pty pty(m_fixture.folder->path());
    if (!pty.started())
        QSKIP("socat is not installed, or this is no POSIX system");
    ReceiveChoices choices = pty.choices(u"c"_s);
    choices.reconnectSeconds = 20;
    QVERIFY(m_fixture.window->startReceiving(choices));
    QTRY_COMPARE(pty.heard(), QByteArray("c"));
    pty.stop();
    QTRY_VERIFY(m_fixture.window->receivingStatus->toolTip().contains(u"正在重新打开"_s));
    QVERIFY(m_fixture.window->stopAction->isVisible());
    QVERIFY(m_fixture.window->isReceiving());
    QTRY_VERIFY(m_fixture.window->Text1->toPlainText().contains(u"\u203b 每半秒试一次"_s));
    pty.start();
    QTRY_COMPARE(pty.heard(), QByteArray("c"));
    QTRY_VERIFY(m_fixture.window->Text1->toPlainText().contains(u"又打开了"_s));
    const QByteArray jpeg = testing::makeJpeg({64, 48});
    pty.say(dumpLines(jpeg));
    QTRY_COMPARE(readAll(m_fixture.folder->filePath(u"1.jpg"_s)), jpeg);
    QVERIFY(m_fixture.answerer->shown.isEmpty());
    // Stopped while the port is away, it waits no more.
    pty.stop();
    QTRY_VERIFY(m_fixture.window->receivingStatus->toolTip().contains(u"正在重新打开"_s));
    m_fixture.window->stopReceiving();
    QVERIFY(!m_fixture.window->isReceiving());
    QVERIFY(m_fixture.window->receiveAction->isVisible());
    QVERIFY(!m_fixture.window->receivingStatus->isVisible());
}

// With every picture kept, each is written in the folder under the time it came, in order, 1.jpg
// holding the newest; how receiving goes is counted beside the labels while it lasts.
void TestWindowReceiving::everyPictureKeptAndCounted()
{
    Pty pty(m_fixture.folder->path());
    if (!pty.started())
        QSKIP("socat is not installed, or this is no POSIX system");
    const QString series = m_fixture.folder->filePath(u"series"_s);
    QVERIFY(QDir().mkpath(series));
    ReceiveChoices choices = pty.choices();
    choices.saveEach = true;
    choices.saveFolder = series;
    choices.settings.baud = 921600; // a cut picture at this rate brings advice on it
    QVERIFY(m_fixture.window->startReceiving(choices));
    QVERIFY(m_fixture.window->receivingStatus->isVisible());
    QList<QByteArray> sent;
    QByteArray text;
    for (const int width : {40, 48, 56}) {
        sent << testing::makeJpeg({width, 30});
        text += dumpLines(sent.back());
    }
    sent << sent.back().first(sent.back().size() / 2); // cut short, then silence
    pty.say(text + dumpLines(sent.back()));
    QTRY_COMPARE_WITH_TIMEOUT(QDir(series).entryList(QDir::Files).size(), 4, 10000);
    const QStringList names = QDir(series).entryList(QDir::Files, QDir::Name);
    for (qsizetype i = 0; i < sent.size(); ++i) {
        QVERIFY2(names[i].contains(QRegularExpression(u"^\\d{8}-\\d{6}-\\d{3}\\.jpg$"_s)),
                 qPrintable(names[i]));
        QCOMPARE(readAll(QDir(series).filePath(names[i])), sent[i]);
    }
    QTRY_COMPARE(readAll(m_fixture.folder->filePath(u"1.jpg"_s)), sent.back());
    QTRY_VERIFY2(m_fixture.window->receivingStatus->toolTip().contains(u"，4 张，"_s) &&
                     m_fixture.window->receivingStatus->toolTip().endsWith(u"1 张不完整"_s),
                 qPrintable(m_fixture.window->receivingStatus->toolTip()));
    QTRY_VERIFY(std::any_of(
        m_fixture.answerer->shown.begin(), m_fixture.answerer->shown.end(),
        [](const auto &shown) { return (shown.text + shown.details).contains(u"CH340"_s); }));
    m_fixture.window->stopReceiving();
    QVERIFY(!m_fixture.window->receivingStatus->isVisible());
}

// A board without JPEG output: its frames become pictures, chosen in the dialog or judged at a
// pause, each told in the panel.
void TestWindowReceiving::rawFramesReceived_data()
{
    QTest::addColumn<QString>("format"); // empty: judged
    QTest::addColumn<QString>("note");
    QTest::newRow("chosen, after its marker")
        << u"rgb565"_s << u"由 160×120 RGB565 原始图像编码\n"_s;
    QTest::newRow("judged at a pause") << QString() << u"由 160×120 RGB565 原始图像编码（把握"_s;
}

void TestWindowReceiving::rawFramesReceived()
{
    QFETCH(QString, format);
    QFETCH(QString, note);
    Pty pty(m_fixture.folder->path());
    if (!pty.started())
        QSKIP("socat is not installed, or this is no POSIX system");
    ReceiveChoices choices = pty.choices();
    choices.rawFormat = format;
    choices.rawSize = u"160x120"_s;
    choices.frameMarker = u"*RDY*"_s;
    QVERIFY(m_fixture.window->startReceiving(choices));
    const QByteArray frame =
        testing::rawFrameOf(testing::photoLike({160, 120}, 8), hexjpg::RawFormat::Rgb565);
    pty.say("*RDY*" + frame);
    QTRY_VERIFY_WITH_TIMEOUT(m_fixture.window->Text1->toPlainText().contains(note), 10000);
    const QImage held = hexjpg::rawFrameImage(frame, hexjpg::RawFormat::Rgb565, {160, 120});
    QTRY_VERIFY(
        testing::psnr(held,
                      hexjpg::PictureLoader().load(m_fixture.folder->filePath(u"1.jpg"_s)).image) >=
        38);
    QTRY_VERIFY(m_fixture.window->Image1->isVisible());
    m_fixture.window->stopReceiving();
}

// For raw frames, 开始 waits for a size that fits the format.
void TestWindowReceiving::rawChoiceNeedsAFrameSize_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("size");
    QTest::addColumn<bool>("ready");
    QTest::newRow("pictures") << QString() << QString() << true;
    QTest::newRow("RGB565 160x120") << u"rgb565"_s << u"160x120"_s << true;
    QTest::newRow("no size") << u"rgb565"_s << QString() << false;
    QTest::newRow("YUV, an odd width") << u"yuyv"_s << u"95x96"_s << false;
}

void TestWindowReceiving::rawChoiceNeedsAFrameSize()
{
    QFETCH(QString, format);
    QFETCH(QString, size);
    QFETCH(bool, ready);
    ReceiveChoices choices;
    choices.port = u"COM3"_s;
    choices.rawFormat = format;
    choices.rawSize = size;
    SerialDialog dialog;
    dialog.setChoices(choices);
    QCOMPARE(dialog.findChild<QPushButton *>(u"start"_s)->isEnabled(), ready);
    QCOMPARE(dialog.rawSize->isEnabled(), !format.isEmpty());
}

// The receive dialog shows what was chosen last time, in the settings beside the program here.
void TestWindowReceiving::choicesKept()
{
    ReceiveChoices chosen;
    chosen.port = m_fixture.folder->filePath(u"no-such-port"_s);
    chosen.settings = {1000000, true, false};
    chosen.command = u"56 00 36 01 00"_s;
    chosen.commandIsHex = true;
    chosen.reconnectSeconds = 5;
    chosen.saveEach = true;
    chosen.saveFolder = m_fixture.folder->path();
    chosen.rawFormat = u"uyvy"_s;
    chosen.rawSize = u"320x240"_s;
    chosen.frameMarker = u"*RDY*"_s;
    ReceiveChoices shown;
    bool started = false;
    auto inDialog = [&](bool start) {
        QTimer::singleShot(50, [&, start] {
            auto *dialog = qobject_cast<SerialDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            shown = dialog->choices();
            if (start) {
                dialog->setChoices(chosen);
                auto *button = dialog->findChild<QPushButton *>(u"start"_s);
                started = button->isEnabled();
                button->click();
            } else {
                dialog->reject();
            }
        });
        m_fixture.window->receiveAction->trigger();
    };
    inDialog(true);
    QVERIFY(started);
    QTRY_VERIFY(!m_fixture.answerer->shown.isEmpty()); // the port does not open
    QVERIFY(QFile::exists(m_fixture.folder->filePath(u"hexjpg.ini"_s)));
    inDialog(false);
    QCOMPARE(shown.port, chosen.port);
    QCOMPARE(shown.settings.baud, chosen.settings.baud);
    QCOMPARE(shown.settings.dtr, true);
    QCOMPARE(shown.settings.rts, false);
    QCOMPARE(shown.command, chosen.command);
    QCOMPARE(shown.commandIsHex, true);
    QCOMPARE(shown.reconnectSeconds, 5);
    QCOMPARE(shown.saveEach, true);
    QCOMPARE(shown.saveFolder, chosen.saveFolder);
    QCOMPARE(shown.rawFormat, chosen.rawFormat);
    QCOMPARE(shown.rawSize, chosen.rawSize);
    QCOMPARE(shown.frameMarker, chosen.frameMarker);
}

void TestWindowReceiving::keptChoicesReadSafely_data()
{
    QTest::addColumn<QString>("ini");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("reconnect");
    QTest::newRow("nothing kept") << QString() << 115200 << 30;
    QTest::newRow("no numbers") << u"baud=fast\nreconnectSeconds=soon"_s << 115200 << 30;
    QTest::newRow("out of range") << u"baud=-9600\nreconnectSeconds=-5"_s << 115200 << 0;
    QTest::newRow("too long a wait")
        << u"baud=2000000\nreconnectSeconds=999999"_s << 2000000 << 3600;
}

void TestWindowReceiving::keptChoicesReadSafely()
{
    QFETCH(QString, ini);
    QFETCH(int, baud);
    QFETCH(int, reconnect);
    const QString path = m_fixture.folder->filePath(u"hexjpg.ini"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(("[receive]\n" + ini + "\n").toUtf8());
    file.close();
    const ReceiveChoices read = ReceiveChoices::load(QSettings(path, QSettings::IniFormat));
    QCOMPARE(read.settings.baud, baud);
    QCOMPARE(read.reconnectSeconds, reconnect);
}

// Run from a folder of its own, the program keeps its settings beside it, or in the user's
// configuration folder where that folder takes no file; installed, in the system's place.
void TestWindowReceiving::settingsPlace()
{
    QStandardPaths::setTestModeEnabled(true);
    const QString folder = m_fixture.folder->path();
    QCOMPARE(openSettings(folder, false)->fileName(), folder + u"/hexjpg.ini"_s);
    // A folder that takes no file here: hexjpg.ini is a folder.
    const QString taken = m_fixture.folder->filePath(u"taken"_s);
    QVERIFY(QDir().mkpath(taken + u"/hexjpg.ini"_s));
    const QString elsewhere = openSettings(taken, false)->fileName();
    QVERIFY2(elsewhere.startsWith(
                 QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)),
             qPrintable(elsewhere));
    QCOMPARE(openSettings(folder, true)->format(), QSettings::NativeFormat);
    QStandardPaths::setTestModeEnabled(false);
}

QTEST_MAIN(TestWindowReceiving)
#include "tst_window_receiving.moc"
