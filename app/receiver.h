#pragma once

// The window receiving from a serial port: what arrives goes to the end of the text panel a little
// at a time, and each picture is written and checked off the window's thread, then handed to the
// window to show. What the window sends, and a port lost and back, go on lines of their own,
// marked. A port lost is opened again for as long as chosen. Warnings wait their turn, one box at
// a time.

#include "picture_finder.h"
#include "picture_loader.h"
#include "receive_choices.h"
#include "serial_port.h"
#include "series_names.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringDecoder>

#include <optional>
#include <utility>
#include <vector>

class QTimer;
class QWidget;
class Reconnector;
class SerialSource;
class TextPanel;
template <typename T> class QFutureWatcher;

class Receiver : public QObject {
    Q_OBJECT

public:
    // panel: where the text goes; folder: where 1.jpg goes; loader: how pictures are checked;
    // window: over which warnings show.
    Receiver(TextPanel *panel, const QString &folder, const hexjpg::PictureLoader &loader,
             QWidget *window);

    // Returns false, having said why, when the port does not open. The command, when there is one,
    // is sent once it is open.
    bool start(const ReceiveChoices &choices);
    // The command sent again (再次发送).
    void sendAgain();
    void stop();
    // Receiving, or waiting for the port to come back.
    bool isReceiving() const;
    // Pictures from now on are checked with loader (the window moved to a screen of another scale).
    void setLoader(const hexjpg::PictureLoader &loader) { m_loader = loader; }

signals:
    // A picture came, was written and decodes: the window shows it, with what is known of it.
    void pictureShown(const hexjpg::LoadedPicture &picture, const QByteArray &bytes,
                      const QString &tooltip);
    // Receiving ended (the port lost, or stopped).
    void ended();
    // How receiving goes, in a few words, kept up to date while it lasts.
    void status(const QString &words);

private:
    // A picture that came from the serial port, written and checked off the window's thread.
    struct Checked {
        hexjpg::FoundPicture found;
        QByteArray bytes;
        hexjpg::WrittenPicture checked;
        std::vector<hexjpg::ConversionResult> notSaved; // pictures of the series not written
    };
    // A picture waiting to be written, and its name in the series when every one is kept.
    struct Waiting {
        hexjpg::ArrivedPicture arrived;
        QString seriesName;
    };

    void text(const QByteArray &utf8);
    void flush();
    void picture(const hexjpg::ArrivedPicture &picture);
    void checkNext();
    void checked();
    void portEnded(const QString &reason);
    void portBack();
    void gaveUp();
    void note(const QString &line);
    void showStatus();
    void warnLater(const QString &message, const QString &details = {}, bool always = false);
    void showNextWarning();

    TextPanel *m_panel;
    QString m_folder;
    hexjpg::PictureLoader m_loader;
    QWidget *m_window;
    SerialSource *m_source = nullptr;
    QStringDecoder m_decoder{QStringDecoder::Utf8};
    QString m_pending; // arrived, not yet in the panel
    ReceiveChoices m_choices;
    QByteArray m_command;
    QString m_lost; // why the port went away, while it is waited for
    QTimer *m_flush;
    QTimer *m_statusTimer;
    Reconnector *m_reconnector = nullptr;
    hexjpg::SeriesNames m_series{QString()};
    std::vector<Waiting> m_waiting; // with every picture kept, all of them; else the newest
    QElapsedTimer m_clock;          // since receiving started
    qint64 m_bytesBefore = 0;       // received before the port was last opened
    qint64 m_pictures = 0, m_incomplete = 0;
    QFutureWatcher<Checked> *m_check;
    QList<std::pair<QString, QString>> m_warnings; // message and details, waiting their turn
    bool m_warningOpen = false;
};
