#include "warning.h"

#include <QMessageBox>
#include <QPushButton>

using namespace Qt::StringLiterals;

void showWarning(QWidget *parent, const QString &message, const QString &details)
{
    QMessageBox box(QMessageBox::NoIcon, u"警告"_s, message, QMessageBox::Ok, parent);
    // Qt's own translation says the same; this holds where none is installed.
    box.button(QMessageBox::Ok)->setText(u"确定"_s);
    box.setDetailedText(details);
    box.exec();
}

bool offerWarning(QWidget *parent, const QString &message, const QString &accept,
                  const QString &details)
{
    QMessageBox box(QMessageBox::NoIcon, u"警告"_s, message, QMessageBox::NoButton, parent);
    QPushButton *take = box.addButton(accept, QMessageBox::AcceptRole);
    QPushButton *cancel = box.addButton(u"取消"_s, QMessageBox::RejectRole);
    box.setDefaultButton(take);
    box.setEscapeButton(cancel);
    box.setDetailedText(details);
    box.exec();
    return box.clickedButton() == take;
}
