#include "warning.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(Warning)
};
} // namespace

void showWarning(QWidget *parent, const QString &message, const QString &details)
{
    QMessageBox box(QMessageBox::NoIcon, Words::tr("警告"), message, QMessageBox::Ok, parent);
    // Qt's own translation says the same; this holds where none is installed.
    box.button(QMessageBox::Ok)->setText(Words::tr("确定"));
    box.setDetailedText(details);
    box.exec();
}

bool offerWarning(QWidget *parent, const QString &message, const QString &accept,
                  const QString &details)
{
    return offerWarning(parent, message, accept, {}, details) == OfferAnswer::Take;
}

OfferAnswer offerWarning(QWidget *parent, const QString &message, const QString &accept,
                         const QString &other, const QString &details)
{
    QMessageBox box(QMessageBox::NoIcon, Words::tr("警告"), message, QMessageBox::NoButton, parent);
    QPushButton *take = box.addButton(accept, QMessageBox::AcceptRole);
    QPushButton *instead = other.isEmpty() ? nullptr : box.addButton(other, QMessageBox::ApplyRole);
    QPushButton *cancel = box.addButton(Words::tr("取消"), QMessageBox::RejectRole);
    box.setDefaultButton(take);
    box.setEscapeButton(cancel);
    box.setDetailedText(details);
    box.exec();
    if (box.clickedButton() == take)
        return OfferAnswer::Take;
    return instead && box.clickedButton() == instead ? OfferAnswer::Other : OfferAnswer::Cancel;
}
