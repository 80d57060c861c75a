#include "main_window.h"
#include "translations.h"

#include <QApplication>
#include <QLoggingCategory>

#include <csignal>

int main(int argc, char *argv[])
{
#ifdef SIGXFSZ
    // A write past a file size limit fails with its reason, told to the user, instead of killing
    // the program.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    QApplication app(argc, argv);
    installQtTranslations(app);
    // The image plug-ins' warnings only repeat in English what the window tells the user.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));
    Form1 window;
    window.show();
    return app.exec();
}
