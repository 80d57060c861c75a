// hexjpg-cli: the conversion without the window, for scripts and for many dumps: from a file or
// standard input (file_run.h), or from a camera on a serial port (serial_run.h); and the other
// direction, a file's bytes as text (dump_run.h).

#include "console.h"

#include "dump_run.h"
#include "file_run.h"
#include "options.h"
#include "output.h"
#include "serial_run.h"
#include "startup.h"

#include <QCoreApplication>
#include <QLoggingCategory>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    hexjpg::system::installStopHandlers();
    QCoreApplication app(argc, argv);
    app.setApplicationName(u"hexjpg-cli"_s);
    app.setApplicationVersion(QStringLiteral(HEXJPG_VERSION));
    installTranslations(app);
    // The image plug-ins' own warnings would only repeat "照片不正确！" in English.
    QLoggingCategory::setFilterRules(u"qt.gui.imageio*=false"_s);
    Options options;
    if (const int status = parse(app.arguments(), options); status >= 0)
        return status;
    if (!keepRawPaths(argc, argv, options))
        return WriteFailed;
    const Output output(options);
    if (options.listPorts)
        return listPorts(output);
    if (options.dump)
        return dumpFile(options, output);
    if (options.serial.isEmpty())
        return readFromFile(options, output);
    return receiveFromSerial(options, output);
}
