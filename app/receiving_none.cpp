// Form1 in a build without Qt's serial-port module: it cannot receive, and says so.

#include "main_window.h"

#include "warning.h"
#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(Form1)
};
} // namespace

void Form1::createReceiveActions() {}

bool Form1::isReceiving() const
{
    return false;
}

bool Form1::startReceiving(const QString &, qint32)
{
    showWarning(this, Words::tr("这个版本不能从串口接收"));
    return false;
}

void Form1::stopReceiving() {}
