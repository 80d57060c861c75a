#pragma once

// What hexjpg-cli says, whether it reads a file or a serial port: lines on standard error (the
// folder by the name it was given), JSON on standard output, a picture's state in words, and the
// exit statuses with the one rule they follow.

#include "options.h"
#include "picture_loader.h"

#include <QJsonObject>
#include <QString>

// The exit statuses, as --help lists them.
enum ExitStatus { Picture = 0, WriteFailed = 1, BadInput = 2, NotAPicture = 3, Incomplete = 4 };

// What a written picture is, once checked.
enum class PictureState { Complete, Incomplete, NotAPicture, NotChecked };

// The check's verdict, with the finder's: a picture its finder knows is not whole is not complete,
// however it decodes.
PictureState stateOf(const hexjpg::LoadedPicture &picture, bool whole = true);
// 完整, 不完整, 不能解码, 时间已用完，没有检查; with found, where the finder saw it break.
QString stateWords(PictureState state);
QString stateWords(PictureState state, const hexjpg::FoundPicture &found);
// The exit status of one picture; a run of many ends with the worst of them (a picture not checked
// counts as none).
int statusOf(PictureState state);

class Output {
public:
    explicit Output(const Options &options)
        : m_json(options.json)
        , m_folderShown(options.folderShown)
    {
    }

    bool json() const { return m_json; }
    // text as the user knows its paths: the folder by the name it was given.
    QString shown(QString text) const;
    // A line on standard error.
    void say(const QString &text) const;
    // The one JSON object of a run that reads a file.
    void printJson(const QJsonObject &object) const;
    // One JSON object on a line of its own, for each event of a run that receives.
    void printJsonLine(const QJsonObject &object) const;

private:
    bool m_json;
    QString m_folderShown;
};
