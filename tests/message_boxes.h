#pragma once

// Answers every modal message box that a test brings up, and remembers what it said, so that no
// test ever waits for a person.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace testing {

struct ShownMessage {
    QString title;
    QString text;
    QString details;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QMessageBox::StandardButton> buttons; // the details button left out
    QStringList buttonTexts;
};

class MessageBoxAnswerer : public QObject {
public:
    MessageBoxAnswerer()
    {
        connect(&m_timer, &QTimer::timeout, this, &MessageBoxAnswerer::answer);
        m_timer.start(10);
    }

    QList<ShownMessage> shown;
    bool takeOffers = true; // press the default button where there is one, as Enter does
    QString press;          // else the button of this text, where a box has one

private:
    void answer()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        ShownMessage message{box->windowTitle(), box->text(), box->detailedText(),
                             box->icon(),        {},          {}};
        for (QAbstractButton *button : box->buttons()) {
            const bool detailsButton = box->buttonRole(button) == QMessageBox::ActionRole &&
                                       box->standardButton(button) == QMessageBox::NoButton;
            if (detailsButton)
                continue;
            message.buttons.append(box->standardButton(button));
            message.buttonTexts.append(button->text());
        }
        shown.append(message);
        for (QAbstractButton *button : box->buttons())
            if (!press.isEmpty() && button->text() == press)
                return button->click();
        if (box->defaultButton() && takeOffers)
            box->defaultButton()->click();
        else if (QAbstractButton *ok = box->button(QMessageBox::Ok))
            ok->click();
        else if (box->escapeButton())
            box->escapeButton()->click();
        else
            box->reject();
    }

    QTimer m_timer;
};

} // namespace testing
