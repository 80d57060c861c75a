#pragma once

// 从串口接收: which port, at which baud rate, with which levels of DTR and RTS, a command for the
// board to send once the port is open, how long a port lost is waited for, a folder that keeps
// every picture, and raw camera frames of a format and size where the board sends them. The ports
// the system lists, with what they are; a port it does not list (a pty, say) may be typed in.

#include "receive_choices.h"
#include "serial_port.h"

#include <QByteArray>
#include <QDialog>

#include <optional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

class SerialDialog : public QDialog {
    Q_OBJECT

public:
    explicit SerialDialog(QWidget *parent = nullptr);

    // The dialog shows choices (the last ones kept); choices() is what it shows now.
    void setChoices(const ReceiveChoices &choices);
    ReceiveChoices choices() const;

    QString port() const;
    qint32 baud() const; // 0 when what was typed is no rate
    hexjpg::SerialPort::Settings settings() const;
    // The command's bytes (empty when there is none); nothing when what was typed is no command.
    std::optional<QByteArray> command() const;

    QComboBox *ports;
    QComboBox *baudRate;
    QCheckBox *dtr;
    QCheckBox *rts;
    QLineEdit *commandText; // text with \r \n \xNN escapes, or hex pairs
    QCheckBox *commandIsHex;
    QSpinBox *reconnectSeconds; // 0: a port lost ends receiving
    QCheckBox *saveEach;
    QLineEdit *saveFolder;
    QComboBox *rawFormat; // first: pictures as they come, raw frames judged
    QLineEdit *rawSize;
    QLineEdit *frameMarker;

private:
    void chooseFolder();
    void check();
};
