#pragma once

// 从串口接收: which port, at which baud rate. The ports the system lists, with what they are; a
// port it does not list (a pty, say) may be typed in.

#include <QDialog>

class QComboBox;

class SerialDialog : public QDialog {
    Q_OBJECT

public:
    explicit SerialDialog(QWidget *parent = nullptr);

    QString port() const;
    qint32 baud() const; // 0 when what was typed is no rate

    QComboBox *ports;
    QComboBox *baudRate;

private:
    void check();
};
