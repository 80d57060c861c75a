#pragma once

// Form1, the tool's only window: the text panel for the dump, the picture area, the progress
// bar, two labels and three buttons. Its controls keep the names they have everywhere.

#include "picture_loader.h"
#include "progress_bar.h"
#include "text_panel.h"

#include <QString>
#include <QWidget>

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

private:
    // The window's font: 宋体 9 pt, or the first installed stand-in with its metrics.
    static QFont windowFont();

    void createControls();
    void Command1_Click();
    void Command2_Click();
    void Command4_Click();
    void Text1_Change();
    void showPicture(const hexjpg::LoadedPicture &picture, qint64 bytes);
    void offerForgivingReading(const QString &decoderSays);
    void warnNotWritten(const hexjpg::ConversionResult &written);

    QString m_outputFolder;
    hexjpg::PictureLoader m_loader;
};
