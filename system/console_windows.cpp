#include "console.h"

#include "interruption.h"

#include <windows.h>

namespace hexjpg::system {

namespace {

// Called on a thread of its own: the work under way sees the request and gives up.
BOOL WINAPI onConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
        requestInterruption();
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

void installStopHandlers()
{
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

void ignoreFileSizeLimit() {}

void endByStop()
{
    // As a console program that Ctrl+C ended: the status cmd.exe and PowerShell show for it
    // (STATUS_CONTROL_C_EXIT).
    ::ExitProcess(0xC000013A);
}

bool isTerminal(std::FILE *to)
{
    const HANDLE handle = ::GetStdHandle(to == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode);
}

void writeText(std::FILE *to, const QString &text)
{
    if (isTerminal(to)) {
        std::fflush(to);
        const std::wstring wide = text.toStdWString();
        DWORD written = 0;
        ::WriteConsoleW(::GetStdHandle(to == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE),
                        wide.data(), DWORD(wide.size()), &written, nullptr);
        return;
    }
    // A pipe gets each line as it is said: a script that reads the progress sees it at once.
    const QByteArray utf8 = text.toUtf8();
    std::fwrite(utf8.constData(), 1, std::size_t(utf8.size()), to);
    std::fflush(to);
}

} // namespace hexjpg::system
