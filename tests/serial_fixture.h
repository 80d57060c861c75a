#pragma once

// The serial tests' part of the world: socat's pty pairs, one end the port the console tool opens
// and the other the camera the test plays, and the tool itself, run natively or, with
// HEXJPG_CLI_UNDER_TEST (the .exe), HEXJPG_EMULATOR (wine) and HEXJPG_COM_LINKS (the folder whose
// com7 and com12 the Wine prefix maps to COM7 and COM12), the Windows one under Wine.

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace testing {

class SerialFixture {
public:
    // Why the tests cannot run here, or nothing.
    QString setUp()
    {
        m_socat = QStandardPaths::findExecutable(QStringLiteral("socat"));
        if (m_socat.isEmpty())
            return QStringLiteral("socat is not installed");
        // The tool's words, as these checks read them: no language set, the described Chinese
        // (under Wine, whose C locale is English: Chinese).
        qputenv("LC_ALL", "C");
        qunsetenv("LANGUAGE");
        m_emulator = qEnvironmentVariable("HEXJPG_EMULATOR");
        if (underWine()) {
            m_cli = qEnvironmentVariable("HEXJPG_CLI_UNDER_TEST");
            m_links = qEnvironmentVariable("HEXJPG_COM_LINKS");
            qunsetenv("LC_ALL");
            qputenv("LANG", "zh_CN.UTF-8");
        }
        m_camera = m_dir.filePath(QStringLiteral("camera"));
        return {};
    }

    bool underWine() const { return !m_emulator.isEmpty(); }

    // The bytes as a camera prints them: pairs, sixteen to a line.
    static QByteArray pairsInLines(const QByteArray &bytes)
    {
        QByteArray text;
        for (qsizetype i = 0; i < bytes.size(); i += 16)
            text += bytes.mid(i, 16).toHex(' ').toUpper() + "\r\n";
        return text;
    }

    // A pty pair: the port the tool opens, and the camera's end.
    void startPty(const QString &programEnd)
    {
        QFile::remove(programEnd);
        QFile::remove(m_camera);
        m_pty.start(m_socat, {QStringLiteral("pty,raw,echo=0,link=") + programEnd,
                              QStringLiteral("pty,raw,echo=0,link=") + m_camera});
        QTRY_VERIFY(QFileInfo::exists(programEnd) && QFileInfo::exists(m_camera));
        QTest::qWait(50); // socat links each end as it makes it: both are made, and set up
    }
    void stopPty()
    {
        m_pty.kill();
        m_pty.waitForFinished();
    }
    void startCli(QProcess &cli, const QStringList &arguments) const
    {
        if (underWine())
            cli.start(m_emulator, QStringList{m_cli} + arguments);
        else
            cli.start(m_cli, arguments);
    }
    // The port the tool opens: its end of the pty pair, and the name it is given (COM7 under Wine).
    QString com7End() const
    {
        return underWine() ? m_links + QStringLiteral("/com7")
                           : m_dir.filePath(QStringLiteral("port"));
    }
    QString com7Name(const QString &end) const
    {
        return underWine() ? QStringLiteral("COM7") : end;
    }
    QString shownPath(const QString &path) const
    {
        return (underWine() ? QStringLiteral("Z:") : QString()) + path;
    }

    QString m_socat;
    QTemporaryDir m_dir;
    QProcess m_pty;
    QString m_camera;
    QString m_cli = QStringLiteral(HEXJPG_CLI);
    QString m_emulator, m_links; // under Wine
};

} // namespace testing
