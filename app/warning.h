#pragma once

#include <QString>

class QWidget;

// The warning message: a modal box titled "警告" with the text, a single 确定 button and no icon,
// and the details behind a button of their own when there are any. Returns when the user has
// closed it.
void showWarning(QWidget *parent, const QString &message, const QString &details = {});

// The same box offering something: accept (the default button, which Enter presses) and 取消.
// True when the user takes the offer.
bool offerWarning(QWidget *parent, const QString &message, const QString &accept,
                  const QString &details = {});

// The offer with a third choice beside it (another reading, say): which the user took.
enum class OfferAnswer { Take, Other, Cancel };
OfferAnswer offerWarning(QWidget *parent, const QString &message, const QString &accept,
                         const QString &other, const QString &details);
