// Form1 in a build without Qt's serial-port module: it cannot receive, and says so.

#include "main_window.h"

#include "warning.h"

using namespace Qt::StringLiterals;

void Form1::createReceiveActions() {}

bool Form1::isReceiving() const
{
    return false;
}

bool Form1::startReceiving(const QString &, qint32)
{
    showWarning(this, u"这个版本不能从串口接收"_s);
    return false;
}

void Form1::stopReceiving() {}
