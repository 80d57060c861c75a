#include "startup.h"

#include "hex_to_jpeg.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

using namespace Qt::StringLiterals;

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(Startup)
};
} // namespace

namespace {

// Where 1.jpg goes, in words: see outputFolder.
const char kWhereOutputGoes[] = QT_TRANSLATE_NOOP(
    "Startup",
    "1.jpg 写在哪里：给了 --dir 时写在那个文件夹；从构建目录或解开的文件夹运行时写在本程序所在\n"
    "的文件夹；安装到系统之后写在用户的图片文件夹（没有时建立），不会写进系统的程序文件夹。");

} // namespace

bool speaksChinese(const QLocale &system)
{
    const QString first = system.uiLanguages().value(0);
    return first.isEmpty() || first == u"C" || first == u"POSIX" ||
           QLocale(first).language() == QLocale::Chinese;
}

bool installTranslations(QCoreApplication &app, const QLocale &system)
{
    auto *translator = new QTranslator(&app);
    bool loaded = false;
    if (speaksChinese(system)) {
        // Qt's own Chinese: its folder (Debian's qt6-translations-l10n), or the catalogue carried
        // in the program where no Qt is installed beside it (Windows).
        const QLocale chinese(QLocale::Chinese, QLocale::China);
        const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
        loaded = translator->load(chinese, u"qtbase"_s, u"_"_s, folder) ||
                 translator->load(chinese, u"qtbase"_s, u"_"_s, u":/qt-translations"_s);
    } else {
        // The program's English, carried in it; Qt's own texts are English already.
        loaded = translator->load(u":/i18n/hexjpg_en.qm"_s);
    }
    if (loaded && app.installTranslator(translator))
        return true;
    delete translator;
    return false;
}

CommonOptions addCommonOptions(QCommandLineParser &parser)
{
    CommonOptions options{
        parser.addHelpOption(), parser.addVersionOption(),
        QCommandLineOption(u"dir"_s, Words::tr("把 1.jpg 写入该文件夹。"), Words::tr("文件夹"))};
    parser.addOption(options.folder);
    return options;
}

QCommandLineOption baudOption()
{
    return QCommandLineOption(u"baud"_s, Words::tr("串口的波特率（默认 115200）。"),
                              Words::tr("波特率"));
}

QString helpText(const QCommandLineParser &parser, QStringView more)
{
    QString text = parser.helpText();
    const QString path = QCoreApplication::arguments().value(0);
    const qsizetype at = text.indexOf(path);
    if (!path.isEmpty() && at >= 0 && at < text.indexOf(u'\n'))
        text.replace(at, path.size(), QCoreApplication::applicationName());
    text += u'\n';
    text += Words::tr(kWhereOutputGoes);
    text += u'\n';
    text += more;
    return text;
}

QString versionText()
{
    return QCoreApplication::applicationName() + u' ' + QCoreApplication::applicationVersion();
}

QString outputFolder(const QCommandLineParser &parser, const QCommandLineOption &dir,
                     QString &problem)
{
    if (!parser.isSet(dir))
        return hexjpg::defaultOutputFolder();
    if (parser.value(dir).isEmpty())
        problem = Words::tr("--dir 后面的文件夹是空的");
    return parser.value(dir);
}
