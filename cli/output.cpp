#include "output.h"

#include "cli_words.h"

#include "console.h"
#include "files.h"

#include <QCoreApplication>
#include <QJsonDocument>

#include <cstdio>

PictureState stateOf(const hexjpg::LoadedPicture &picture, bool whole)
{
    if (picture.error == hexjpg::kNotChecked)
        return PictureState::NotChecked;
    if (picture.error != 0)
        return PictureState::NotAPicture;
    return picture.complete && whole ? PictureState::Complete : PictureState::Incomplete;
}

QString stateWords(PictureState state)
{
    switch (state) {
    case PictureState::Complete:
        return Words::tr("完整");
    case PictureState::Incomplete:
        return Words::tr("不完整");
    case PictureState::NotAPicture:
        return Words::tr("不能解码");
    case PictureState::NotChecked:
        break;
    }
    return Words::tr("时间已用完，没有检查");
}

QString stateWords(PictureState state, const hexjpg::FoundPicture &found)
{
    QString words = stateWords(state);
    if (!found.whole && state == PictureState::NotAPicture) // cut short, and so undecodable
        words = Words::tr("不完整，%1").arg(words);
    if (!found.whole && !found.problem.isEmpty())
        words += Words::tr("（%1）").arg(found.problem);
    return words;
}

int statusOf(PictureState state)
{
    switch (state) {
    case PictureState::Complete:
    case PictureState::NotChecked:
        break;
    case PictureState::Incomplete:
        return Incomplete;
    case PictureState::NotAPicture:
        return NotAPicture;
    }
    return Picture;
}

QString Output::shown(QString text) const
{
    if (!m_folderShown.isEmpty())
        text.replace(hexjpg::system::kWorkingFolder, m_folderShown);
    return text;
}

void Output::say(const QString &text) const
{
    hexjpg::system::printLine(stderr, shown(text));
}

void Output::printJson(const QJsonObject &object) const
{
    const QByteArray json = QJsonDocument(object).toJson(QJsonDocument::Indented);
    std::fwrite(json.constData(), 1, std::size_t(json.size()), stdout);
}

void Output::printJsonLine(const QJsonObject &object) const
{
    const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    std::fwrite(line.constData(), 1, std::size_t(line.size()), stdout);
    std::fflush(stdout);
}
