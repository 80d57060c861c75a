#include "main_window.h"
#include "translations.h"

#include <QApplication>
#include <QLoggingCategory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    installQtTranslations(app);
    // The image plug-ins' warnings only repeat in English what the window tells the user.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));
    Form1 window;
    window.show();
    return app.exec();
}
