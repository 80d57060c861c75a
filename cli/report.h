#pragma once

// What a run that reads a file found and did: said on standard error as it goes, and with --json
// as one object on standard output at the end, whatever happened.

#include "forgiving_reader.h"
#include "output.h"
#include "picture_finder.h"
#include "picture_loader.h"
#include "raw_frame.h"
#include "raw_judge.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

class Report {
public:
    explicit Report(const Output &output)
        : m_output(output)
    {
    }

    // Why the run failed, in the words said on standard error.
    void failed(const QString &reason);
    void found(qint64 pictures) { m_found = pictures; }
    void reading(const QString &how, qint64 bytes);
    void forgiving(const hexjpg::ForgivingRead &read);
    void note(const QStringList &lines);
    void picture(const QString &file, const hexjpg::FoundPicture &found,
                 const hexjpg::LoadedPicture &picture);
    // A raw frame of format and size, length bytes from offset, written to file as chosen.
    void rawFrame(const QString &file, hexjpg::RawFormat format, QSize size, qint64 offset,
                  qint64 length);
    // What the bytes may be as a raw frame, and the readings weighed.
    void rawGuess(const hexjpg::RawJudgement &judged);
    // Ends the report; returns status.
    int finish(int status);

private:
    const Output &m_output;
    QString m_reading, m_layout, m_reason;
    qint64 m_found = -1;
    qint64 m_bytes = 0, m_skippedSpans = 0, m_skippedCharacters = 0;
    QJsonArray m_pictures, m_skipped, m_diagnosis;
    QJsonObject m_rawGuess;
};
