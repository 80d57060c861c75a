#pragma once

// Form1, the tool's only window: the text panel for the dump, the picture area, the progress
// bar, two labels and three buttons. Its controls keep the names they have everywhere.

#include "forgiving_reader.h"
#include "picture_finder.h"
#include "picture_loader.h"
#include "progress_bar.h"
#include "text_panel.h"

#include <QString>
#include <QWidget>

#include <atomic>

class QLabel;
class QPushButton;

namespace hexjpg {
struct ConversionResult;
}

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

    QString m_outputFolder;
    hexjpg::PictureLoader m_loader;
    bool m_busy = false; // a check runs aside: the buttons wait for it
    std::atomic<bool> *m_cancelCheck = nullptr;
};
