#pragma once

// Answers every modal message box that a test brings up, and remembers what it said, so that no
// test ever waits for a person.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace testing {

struct ShownMessage {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QMessageBox::StandardButton> buttons;
};

class MessageBoxAnswerer : public QObject {
public:
    MessageBoxAnswerer()
    {
        connect(&m_timer, &QTimer::timeout, this, &MessageBoxAnswerer::answer);
        m_timer.start(10);
    }

    QList<ShownMessage> shown;

private:
    void answer()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        ShownMessage message{box->windowTitle(), box->text(), box->icon(), {}};
        for (QAbstractButton *button : box->buttons())
            message.buttons.append(box->standardButton(button));
        shown.append(message);
        if (QAbstractButton *ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->reject();
    }

    QTimer m_timer;
};

} // namespace testing
