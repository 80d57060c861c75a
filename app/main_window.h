#pragma once

// Form1, the tool's only window: the text panel for the dump, the picture area, the progress
// bar, two labels and three buttons. Its controls keep the names they have everywhere.

#include "forgiving_reader.h"
#include "hex_to_jpeg.h"
#include "picture_finder.h"
#include "picture_loader.h"
#include "progress_bar.h"
#include "raw_judge.h"
#include "receive_choices.h"
#include "serial_port.h"
#include "text_panel.h"

#include <QString>
#include <QWidget>

#include <atomic>
#include <memory>
#include <optional>

class QAction;
class QLabel;
class QPushButton;
class QSettings;
class Receiver;

class Form1 : public QWidget {
    Q_OBJECT

public:
    // outputFolder: where 1.jpg is written; by default the folder that holds the program.
    explicit Form1(const QString &outputFolder = {}, QWidget *parent = nullptr);

    // The controls, in their stacking order from the top, by the names they have everywhere:
    QPushButton *Command4;    // 退出: ends the program
    ProgressBar ProgressBar1; // follows the decoding, under the picture area
    QPushButton *Command2;    // 清除: empties the panel and hides the picture
    QPushButton *Command1;    // 转换: converts the panel's dump into 1.jpg
    TextPanel *Text1;         // the text panel the dump is pasted into
    QLabel *Label2;           // the line count
    QLabel *Label1;           // what to paste, in bold
    QLabel *Image1;           // the picture converted, over Image2
    QLabel *Image2;           // the brown panel that fills the picture area

    // Receiving from a serial port: what arrives goes to the end of the panel, and each picture
    // is converted as it comes, as though 转换 had been pressed. Returns false, having said why,
    // when the port does not open (or this build cannot receive).
    bool startReceiving(const QString &port, qint32 baud);
    // As chosen: the modem lines' levels, a command sent once the port is open (再次发送 sends it
    // again), how long a port lost is waited for, and a folder that keeps every picture.
    bool startReceiving(const ReceiveChoices &choices);
    void stopReceiving();
    bool isReceiving() const;
    // The panel's menu entries: 从串口接收… and, while receiving, 停止接收.
    QAction *receiveAction = nullptr;
    QAction *stopAction = nullptr;
    QAction *sendAgainAction = nullptr; // 再次发送
    QLabel *receivingStatus = nullptr;  // how receiving goes, while it lasts

    // A file into the panel, as its text, or a picture as its pairs (so that 转换 gives it back),
    // asking first where the panel holds text. From 打开…, a picture dropped on the panel, and
    // the command line. False when the panel did not take it (said why, or the user said no).
    bool openFile(const QString &path);
    QAction *openAction = nullptr;         // 打开…, in the panel's menu
    QAction *copyAsCArrayAction = nullptr; // 复制为 C 数组: the bytes the panel's text holds
    // The picture area's menu: the picture shown copied, or saved elsewhere.
    QAction *copyPictureAction = nullptr;
    QAction *savePictureAction = nullptr;
    enum class SaveAs { Original, Png, Bmp };
    // The picture shown saved at path: as the bytes it came in, or as a PNG or BMP of its pixels.
    // False, having said why, when it could not be.
    bool savePicture(const QString &path, SaveAs as);

    // The receive dialog's choices are kept in folder (hexjpg.ini), not where the program's are.
    void keepSettingsIn(const QString &folder);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // What the check after writing found: the bytes written as a picture, or, where they are
    // none, the text read again forgivingly and the newest picture in it.
    struct Checked {
        hexjpg::LoadedPicture picture;
        QByteArray bytes; // what 1.jpg holds, where it is a picture
        bool readAgain = false;
        hexjpg::ForgivingRead read;
        hexjpg::FoundPictures found;
        qsizetype chosen = -1; // in found
        hexjpg::LoadedPicture newest;
        // Where the bytes hold no picture at all: what they may be as a raw camera frame, and the
        // best reading encoded and loaded, ready to be offered.
        hexjpg::RawJudgement raw;
        QByteArray rawJpeg;
        hexjpg::LoadedPicture rawPicture;
        std::vector<QImage> rawThumbnails; // of the first readings, to choose another
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
    void showPicture(const hexjpg::LoadedPicture &picture, const QByteArray &bytes);
    Checked checkAside(const hexjpg::ConversionResult &written);
    void offerForgivingReading(const Checked &checked);
    static void judgeRawFrame(Checked &checked, const hexjpg::PictureLoader &loader);
    bool offerRawFrame(const Checked &checked);
    int chooseRawReading(const Checked &checked);
    void useRawReading(const Checked &checked, std::size_t reading);
    static const hexjpg::FoundPicture *wholeAfterCut(const Checked &checked);
    void showWholeAfterCut(const Checked &checked, const hexjpg::FoundPicture &whole);
    void warnNotWritten(const hexjpg::ConversionResult &written);

    void createReceiveActions();
    void createFileActions();
    void chooseFileToOpen();
    void copyAsCArray();
    void createPictureMenu();
    QImage pictureAtItsSize();
    void copyPicture();
    void savePictureAs();
    void screenChanged();
    void chooseSerialPort();
    void showReceivingStatus(const QString &words);
    std::unique_ptr<QSettings> settings() const;

    QByteArray m_shownBytes;  // the picture shown, as its file holds it
    QString m_shownFormat;    // and its format: JPEG, PNG, GIF, BMP
    QString m_draggedPicture; // the picture a drag over the panel carries, found as it entered
    QString m_outputFolder;
    QString m_settingsFolder; // empty: the program's own place
    hexjpg::PictureLoader m_loader;
    Receiver *m_receiver = nullptr; // receiving from a serial port
    bool m_busy = false;            // a check runs aside: the buttons wait for it
    std::atomic<bool> *m_cancelCheck = nullptr;
};
