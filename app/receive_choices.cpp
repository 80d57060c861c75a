#include "receive_choices.h"

#include "baud.h"
#include "command.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
constexpr int kMaxReconnectSeconds = 3600;
const QString kIniName = u"hexjpg.ini"_s;
} // namespace

std::optional<QByteArray> ReceiveChoices::commandBytes() const
{
    return commandIsHex ? hexjpg::commandFromHex(command) : hexjpg::commandFromText(command);
}

std::optional<ReceiveChoices::RawFrames> ReceiveChoices::rawFrames() const
{
    const std::optional<hexjpg::RawFormat> format = hexjpg::rawFormatNamed(rawFormat);
    const std::optional<QSize> size = hexjpg::rawSizeFromText(rawSize);
    if (!format || !size || hexjpg::rawFrameBytes(*format, *size) == 0 ||
        (hexjpg::isYuv(*format) && size->width() % 2 != 0))
        return std::nullopt;
    return RawFrames{*format, *size};
}

ReceiveChoices ReceiveChoices::load(const QSettings &settings)
{
    ReceiveChoices choices;
    choices.port = settings.value(u"receive/port"_s).toString();
    const qint32 baud = hexjpg::baudRate(settings.value(u"receive/baud"_s).toString());
    choices.settings.baud = baud > 0 ? baud : hexjpg::kDefaultBaud;
    choices.settings.dtr = settings.value(u"receive/dtr"_s, false).toBool();
    choices.settings.rts = settings.value(u"receive/rts"_s, false).toBool();
    choices.command = settings.value(u"receive/command"_s).toString();
    choices.commandIsHex = settings.value(u"receive/commandIsHex"_s, false).toBool();
    bool ok = false;
    const int seconds =
        settings.value(u"receive/reconnectSeconds"_s, kDefaultReconnectSeconds).toInt(&ok);
    choices.reconnectSeconds =
        ok ? std::clamp(seconds, 0, kMaxReconnectSeconds) : kDefaultReconnectSeconds;
    choices.saveEach = settings.value(u"receive/saveEach"_s, false).toBool();
    choices.saveFolder = settings.value(u"receive/saveFolder"_s).toString();
    // A format that is none is no choice of one.
    choices.rawFormat = settings.value(u"receive/rawFormat"_s).toString();
    if (!hexjpg::rawFormatNamed(choices.rawFormat))
        choices.rawFormat.clear();
    choices.rawSize = settings.value(u"receive/rawSize"_s).toString();
    choices.frameMarker = settings.value(u"receive/frameMarker"_s).toString();
    return choices;
}

void ReceiveChoices::save(QSettings &settings) const
{
    settings.setValue(u"receive/port"_s, port);
    settings.setValue(u"receive/baud"_s, this->settings.baud);
    settings.setValue(u"receive/dtr"_s, this->settings.dtr);
    settings.setValue(u"receive/rts"_s, this->settings.rts);
    settings.setValue(u"receive/command"_s, command);
    settings.setValue(u"receive/commandIsHex"_s, commandIsHex);
    settings.setValue(u"receive/reconnectSeconds"_s, reconnectSeconds);
    settings.setValue(u"receive/saveEach"_s, saveEach);
    settings.setValue(u"receive/saveFolder"_s, saveFolder);
    settings.setValue(u"receive/rawFormat"_s, rawFormat);
    settings.setValue(u"receive/rawSize"_s, rawSize);
    settings.setValue(u"receive/frameMarker"_s, frameMarker);
}

std::unique_ptr<QSettings> openSettings(const QString &programFolder, bool installed)
{
    if (installed)
        return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                           u"hexjpg"_s, u"hexjpg"_s);
    const QString beside = QDir(programFolder).filePath(kIniName);
    // Whether the folder takes the file is found by opening it, as permissions may not tell.
    if (QFile file(beside); file.open(QIODevice::ReadWrite | QIODevice::Append))
        return std::make_unique<QSettings>(beside, QSettings::IniFormat);
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u"/hexjpg"_s;
    QDir().mkpath(folder);
    return std::make_unique<QSettings>(QDir(folder).filePath(kIniName), QSettings::IniFormat);
}
