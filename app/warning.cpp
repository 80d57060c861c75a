#include "warning.h"

#include <QMessageBox>
#include <QPushButton>

using namespace Qt::StringLiterals;

void showWarning(QWidget *parent, const QString &message)
{
    QMessageBox box(QMessageBox::NoIcon, u"警告"_s, message, QMessageBox::Ok, parent);
    // Qt's own translation says the same; this holds where none is installed.
    box.button(QMessageBox::Ok)->setText(u"确定"_s);
    box.exec();
}
