#pragma once

#include <QString>

class QWidget;

// The warning message: a modal box titled "警告" with the text, a single 确定 button and no icon.
// Returns when the user has closed it.
void showWarning(QWidget *parent, const QString &message);
