#include "report.h"

#include <algorithm>

#include "cli_words.h"

#include "diagnosis.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

void Report::failed(const QString &reason)
{
    m_output.say(reason);
    m_reason = m_output.shown(reason);
}

void Report::reading(const QString &how, qint64 bytes)
{
    m_reading = how;
    m_bytes = bytes;
}

void Report::forgiving(const hexjpg::ForgivingRead &read)
{
    m_layout = read.layout;
    m_output.say(Words::tr("读法：") + read.layout);
    note(hexjpg::diagnoseReading(read));
    for (const hexjpg::SkippedSpan &span : read.skipped)
        m_skipped.append(QJsonObject{
            {u"line"_s, span.line}, {u"column"_s, span.column}, {u"length"_s, span.length}});
    m_skippedSpans = read.skippedSpans;
    m_skippedCharacters = read.skippedCharacters;
}

void Report::note(const QStringList &lines)
{
    for (const QString &line : lines) {
        m_output.say(line);
        m_diagnosis.append(line);
    }
}

void Report::picture(const QString &file, const hexjpg::FoundPicture &found,
                     const hexjpg::LoadedPicture &picture)
{
    QJsonArray warnings;
    for (const QString &warning : picture.warnings)
        warnings.append(warning);
    const QSize size = picture.size.isValid() ? picture.size : found.size;
    m_pictures.append(
        QJsonObject{{u"file"_s, file.isEmpty() ? QJsonValue() : QJsonValue(m_output.shown(file))},
                    {u"offset"_s, found.offset},
                    {u"length"_s, found.length},
                    {u"format"_s, picture.format.isEmpty() ? found.format : picture.format},
                    {u"width"_s, size.width()},
                    {u"height"_s, size.height()},
                    {u"decodes"_s, picture.error == 0},
                    {u"complete"_s, picture.error == 0 && picture.complete && found.whole},
                    {u"rows"_s, picture.rows},
                    {u"rowsDecoded"_s, picture.rowsWithData},
                    {u"warnings"_s, warnings}});
}

void Report::rawFrame(const QString &file, hexjpg::RawFormat format, QSize size, qint64 offset,
                      qint64 length)
{
    m_pictures.append(QJsonObject{{u"file"_s, m_output.shown(file)},
                                  {u"offset"_s, offset},
                                  {u"length"_s, length},
                                  {u"format"_s, u"raw"_s},
                                  {u"raw"_s, hexjpg::rawFormatName(format)},
                                  {u"width"_s, size.width()},
                                  {u"height"_s, size.height()},
                                  {u"judged"_s, u"chosen"_s}, // by --raw and --size
                                  {u"certainty"_s, 1.0},
                                  {u"decodes"_s, true},
                                  {u"complete"_s, true}});
}

void Report::rawGuess(const hexjpg::RawJudgement &judged)
{
    constexpr std::size_t kCandidatesTold = 5;
    QJsonArray weighed;
    for (std::size_t i = 0; i < std::min(judged.candidates.size(), kCandidatesTold); ++i) {
        const hexjpg::RawCandidate &c = judged.candidates[i];
        weighed.append(QJsonObject{{u"raw"_s, hexjpg::rawFormatName(c.format)},
                                   {u"width"_s, c.size.width()},
                                   {u"height"_s, c.size.height()},
                                   {u"offset"_s, c.offset},
                                   {u"roughness"_s, c.roughness}});
    }
    const hexjpg::RawCandidate &best = judged.best();
    m_rawGuess = {{u"raw"_s, hexjpg::rawFormatName(best.format)},
                  {u"width"_s, best.size.width()},
                  {u"height"_s, best.size.height()},
                  {u"offset"_s, best.offset},
                  {u"certainty"_s, judged.certainty},
                  {u"candidates"_s, weighed}};
}

int Report::finish(int status)
{
    if (!m_output.json())
        return status;
    QJsonObject out{{u"status"_s, status},
                    {u"reading"_s, m_reading},
                    {u"bytes"_s, m_bytes},
                    {u"pictures"_s, m_pictures},
                    {u"diagnosis"_s, m_diagnosis}};
    if (!m_reason.isEmpty())
        out.insert(u"reason"_s, m_reason);
    if (m_found >= 0)
        out.insert(u"picturesFound"_s, m_found);
    if (!m_rawGuess.isEmpty())
        out.insert(u"rawFrame"_s, m_rawGuess);
    if (!m_layout.isEmpty()) {
        out.insert(u"layout"_s, m_layout);
        out.insert(u"skipped"_s, m_skipped);
        out.insert(u"skippedSpans"_s, m_skippedSpans);
        out.insert(u"skippedCharacters"_s, m_skippedCharacters);
    }
    m_output.printJson(out);
    return status;
}
