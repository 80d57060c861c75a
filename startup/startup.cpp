#include "startup.h"

#include "hex_to_jpeg.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

// Where 1.jpg goes, in words: see outputFolder.
constexpr QStringView kWhereOutputGoes =
    u"1.jpg 写在哪里：给了 --dir 时写在那个文件夹；从构建目录或解开的文件夹运行时写在本程序所在\n"
    u"的文件夹；安装到系统之后写在用户的图片文件夹（没有时建立），不会写进系统的程序文件夹。";

} // namespace

bool installQtTranslations(QCoreApplication &app, const QLocale &system)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    const bool chinese = system.language() == QLocale::Chinese || system.language() == QLocale::C ||
                         system.language() == QLocale::AnyLanguage;
    const QLocale language = chinese ? QLocale(QLocale::Chinese, QLocale::China) : system;
    auto *translator = new QTranslator(&app);
    // Qt's own folder (Debian's qt6-translations-l10n), or the Chinese one carried in the program
    // where no Qt is installed beside it (Windows).
    const bool loaded =
        translator->load(language, QStringLiteral("qtbase"), QStringLiteral("_"), folder) ||
        translator->load(language, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QStringLiteral(":/qt-translations"));
    if (loaded && app.installTranslator(translator))
        return true;
    delete translator;
    return false;
}

QString helpText(const QCommandLineParser &parser, QStringView more)
{
    QString text = parser.helpText();
    const QString path = QCoreApplication::arguments().value(0);
    const qsizetype at = text.indexOf(path);
    if (!path.isEmpty() && at >= 0 && at < text.indexOf(u'\n'))
        text.replace(at, path.size(), QCoreApplication::applicationName());
    text += u'\n';
    text += kWhereOutputGoes;
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
        problem = QStringLiteral("--dir 后面的文件夹是空的");
    return parser.value(dir);
}
