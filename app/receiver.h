#pragma once

// The window receiving from a serial port: what arrives goes to the end of the text panel a little
// at a time, and each picture is written and checked off the window's thread, then handed to the
// window to show. Warnings wait their turn, one box at a time.

#include "picture_finder.h"
#include "picture_loader.h"
#include "serial_port.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringDecoder>

#include <optional>
#include <utility>

class QTimer;
class QWidget;
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

    // Returns false, having said why, when the port does not open. command, when there is one, is
    // sent once it is open.
    bool start(const QString &port, const hexjpg::SerialPort::Settings &settings,
               const QByteArray &command = {});
    // The command sent again (再次发送).
    void sendAgain();
    void stop();
    bool isReceiving() const;

signals:
    // A picture came, was written and decodes: the window shows it, with what is known of it.
    void pictureShown(const hexjpg::LoadedPicture &picture, qint64 bytes, const QString &tooltip);
    // Receiving ended (the port lost, or stopped).
    void ended();

private:
    // A picture that came from the serial port, written and checked off the window's thread.
    struct Checked {
        hexjpg::FoundPicture found;
        hexjpg::WrittenPicture checked;
    };

    void text(const QByteArray &utf8);
    void flush();
    void picture(const hexjpg::ArrivedPicture &picture);
    void checkNext();
    void checked();
    void portEnded(const QString &reason);
    void warnLater(const QString &message, const QString &details = {}, bool always = false);
    void showNextWarning();

    TextPanel *m_panel;
    QString m_folder;
    hexjpg::PictureLoader m_loader;
    QWidget *m_window;
    SerialSource *m_source = nullptr;
    QStringDecoder m_decoder{QStringDecoder::Utf8};
    QString m_pending; // arrived, not yet in the panel
    QByteArray m_command;
    QTimer *m_flush;
    std::optional<hexjpg::ArrivedPicture> m_next; // the newest one waiting to be checked
    QFutureWatcher<Checked> *m_check;
    QList<std::pair<QString, QString>> m_warnings; // message and details, waiting their turn
    bool m_warningOpen = false;
};
