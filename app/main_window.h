#pragma once

// Form1, the tool's only window: the text panel for the dump, the picture area, the progress
// bar, two labels and three buttons. Its controls keep the names they have everywhere.

#include "forgiving_reader.h"
#include "hex_to_jpeg.h"
#include "picture_finder.h"
#include "picture_loader.h"
#include "progress_bar.h"
#include "text_panel.h"

#include <QString>
#include <QStringDecoder>
#include <QWidget>

#include <atomic>
#include <memory>
#include <optional>

class QAction;
class QLabel;
class QPushButton;
class QTimer;
class SerialSource;
template <typename T> class QFutureWatcher;

class Form1 : public QWidget {
    Q_OBJECT

public:
    // outputFolder: where 1.jpg is written; by default the folder that holds the program.
    explicit Form1(const QString &outputFolder = {}, QWidget *parent = nullptr);

    QPushButton *Command4;
    ProgressBar ProgressBar1;
    QPushButton *Command2;
    QPushButton *Command1;
    TextPanel *Text1;
    QLabel *Label2;
    QLabel *Label1;
    QLabel *Image1;
    QLabel *Image2;

    // Receiving from a serial port: what arrives goes to the end of the panel, and each picture
    // is converted as it comes, as though 转换 had been pressed. Returns false, having said why,
    // when the port does not open (or this build cannot receive).
    bool startReceiving(const QString &port, qint32 baud);
    void stopReceiving();
    bool isReceiving() const;
    // The panel's menu entries: 从串口接收… and, while receiving, 停止接收.
    QAction *receiveAction = nullptr;
    QAction *stopAction = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // What the check after writing found: the bytes written as a picture, or, where they are
    // none, the text read again forgivingly and the newest picture in it.
    struct Checked {
        hexjpg::LoadedPicture picture;
        bool readAgain = false;
        hexjpg::ForgivingRead read;
        hexjpg::FoundPictures found;
        qsizetype chosen = -1; // in found
        hexjpg::LoadedPicture newest;
        bool cancelled = false;
        bool outOfMemory = false;
    };

    // The window's font: 宋体 9 pt, or the first installed stand-in with its metrics.
    static QFont windowFont();

    void createControls();
    void Command1_Click();
    void Command2_Click();
    void Command4_Click();
    void Text1_Change();
    void showPicture(const hexjpg::LoadedPicture &picture, qint64 bytes);
    Checked checkAside(const hexjpg::ConversionResult &written);
    void offerForgivingReading(const Checked &checked);
    void warnNotWritten(const hexjpg::ConversionResult &written);

    // A picture that came from the serial port, written and checked off the window's thread.
    struct SerialChecked {
        hexjpg::FoundPicture found;
        hexjpg::WrittenPicture checked;
    };
    void createReceiveActions();
    void chooseSerialPort();
    void serialText(const QByteArray &utf8);
    void flushSerialText();
    void serialPicture(const hexjpg::ArrivedPicture &picture);
    void checkNextSerialPicture();
    void serialPictureChecked();
    void serialEnded(const QString &reason);
    void warnLater(const QString &message, const QString &details = {}, bool always = false);
    void showNextWarning();

    QString m_outputFolder;
    SerialSource *m_serial = nullptr;
    QStringDecoder m_serialDecoder{QStringDecoder::Utf8};
    QString m_serialPending; // arrived, not yet in the panel
    QTimer *m_serialFlush = nullptr;
    std::optional<hexjpg::ArrivedPicture> m_nextPicture; // the newest one waiting to be checked
    QFutureWatcher<SerialChecked> *m_serialCheck = nullptr;
    QList<std::pair<QString, QString>> m_warnings; // message and details, waiting their turn
    bool m_warningOpen = false;
    hexjpg::PictureLoader m_loader;
    bool m_busy = false; // a check runs aside: the buttons wait for it
    std::atomic<bool> *m_cancelCheck = nullptr;
};
