// The serial port over the Windows API: CreateFileW on \\.\COMn (so COM10 and above open), the
// line set with SetCommState, a driver queue of a megabyte (SetupComm: a reader that stalls for a
// moment loses nothing), and overlapped reads and writes whose completion QWinEventNotifier tells
// the event loop, so that no thread ever waits on the port. A read returns once bytes have come and
// the line pauses, or its buffer, sized to about 50 ms of the rate, is full.

#include "serial_port.h"

#include <QWinEventNotifier>

#include <algorithm>

#include <windows.h>
// clang-format off: setupapi.h needs windows.h first, and devguid.h needs initguid.h for the GUID
#include <devguid.h>
#include <initguid.h>
#include <setupapi.h>
// clang-format on

namespace hexjpg {

namespace {

QString systemWords(DWORD error)
{
    wchar_t *text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    QString words = length ? QString::fromWCharArray(text, length).trimmed()
                           : QStringLiteral("error %1").arg(error);
    LocalFree(text);
    return words;
}

// COM5, com5 or \\.\COM5, as CreateFileW takes it.
std::wstring devicePath(const QString &name)
{
    const QString path =
        name.startsWith(QStringLiteral("\\\\")) ? name : QStringLiteral("\\\\.\\") + name.toUpper();
    return path.toStdWString();
}

int portNumber(const QString &name)
{
    return name.startsWith(u"COM", Qt::CaseInsensitive) ? name.mid(3).toInt() : 0;
}

QString registryString(HKEY key, const wchar_t *value)
{
    wchar_t data[256] = {};
    DWORD size = sizeof data - sizeof(wchar_t), type = 0;
    if (RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE *>(data), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    return QString::fromWCharArray(data);
}

// The ports the plug-and-play manager knows, with what they are.
void listDevices(QList<PortInfo> &ports)
{
    const HDEVINFO set =
        SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        const HKEY key =
            SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE)
            continue;
        const QString name = registryString(key, L"PortName");
        RegCloseKey(key);
        if (portNumber(name) <= 0)
            continue; // a printer port, say
        auto property = [&](DWORD which) {
            wchar_t text[256] = {};
            SetupDiGetDeviceRegistryPropertyW(set, &device, which, nullptr,
                                              reinterpret_cast<BYTE *>(text),
                                              sizeof text - sizeof(wchar_t), nullptr);
            return QString::fromWCharArray(text);
        };
        // "USB-SERIAL CH340 (COM5)": the name in brackets is said already.
        QString description = property(SPDRP_FRIENDLYNAME);
        description.remove(QStringLiteral(" (") + name + u')');
        if (description.isEmpty())
            description = property(SPDRP_DEVICEDESC);
        ports.append({name, name, description, property(SPDRP_MFG)});
    }
    SetupDiDestroyDeviceInfoList(set);
}

// The ports the serial drivers publish, those the plug-and-play manager did not list among them.
void listSerialComm(QList<PortInfo> &ports)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return;
    for (DWORD i = 0;; ++i) {
        wchar_t value[256], data[256];
        DWORD valueSize = 256, dataSize = sizeof data - sizeof(wchar_t), type = 0;
        if (RegEnumValueW(key, i, value, &valueSize, nullptr, &type, reinterpret_cast<BYTE *>(data),
                          &dataSize) != ERROR_SUCCESS)
            break;
        const QString name =
            QString::fromWCharArray(data, int(dataSize / sizeof(wchar_t))).section(QChar(0), 0, 0);
        const bool listed = std::any_of(ports.begin(), ports.end(),
                                        [&](const PortInfo &p) { return p.name == name; });
        if (type == REG_SZ && !listed && portNumber(name) > 0)
            ports.append({name, name, {}, {}});
    }
    RegCloseKey(key);
}

} // namespace

QList<PortInfo> availablePorts()
{
    QList<PortInfo> ports;
    listDevices(ports);
    listSerialComm(ports);
    std::sort(ports.begin(), ports.end(), [](const PortInfo &a, const PortInfo &b) {
        return portNumber(a.name) < portNumber(b.name);
    });
    return ports;
}

class SerialPort::Private {
public:
    // One overlapped operation, its event told to the event loop.
    struct Operation {
        OVERLAPPED overlapped{};
        QWinEventNotifier *notifier = nullptr;
        QByteArray buffer;
        bool pending = false;
    };

    explicit Private(SerialPort *port)
        : q(port)
    {
    }
    void startRead();
    void readDone();
    void startWrite();
    void writeDone();
    void fail(DWORD error);

    SerialPort *q;
    HANDLE handle = INVALID_HANDLE_VALUE;
    Operation read, write;
    QByteArray arrived; // read, not yet taken
    QByteArray queued;  // to be written after the write under way
    Failure failure = Failure::None;
    QString error;
};

SerialPort::SerialPort(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>(this))
{
}

SerialPort::~SerialPort()
{
    close();
}

bool SerialPort::open(const QString &name, const Settings &settings)
{
    close();
    d->failure = Failure::None;
    d->error.clear();
    auto fail = [this](Failure failure, DWORD error) {
        d->failure = failure;
        d->error = systemWords(error);
        close();
        return false;
    };
    d->handle = CreateFileW(devicePath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (d->handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        const bool refused = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
        return fail(missing   ? Failure::NoSuchPort
                    : refused ? Failure::Refused
                              : Failure::Other,
                    error);
    }
    DCB line{};
    line.DCBlength = sizeof line;
    if (!GetCommState(d->handle, &line))
        return fail(Failure::Other, GetLastError());
    line.BaudRate = DWORD(settings.baud);
    line.ByteSize = 8;
    line.Parity = NOPARITY;
    line.StopBits = ONESTOPBIT;
    line.fBinary = TRUE;
    line.fParity = FALSE;
    line.fOutxCtsFlow = FALSE;
    line.fOutxDsrFlow = FALSE;
    line.fDsrSensitivity = FALSE;
    line.fOutX = FALSE;
    line.fInX = FALSE;
    line.fNull = FALSE;
    line.fAbortOnError = FALSE;
    line.fDtrControl = settings.dtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    line.fRtsControl = settings.rts ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    if (!SetCommState(d->handle, &line))
        return fail(Failure::Settings, GetLastError());
    SetupComm(d->handle, 1 << 20, 1 << 16);
    // A read waits for the first byte, then returns at a pause of a few characters' time.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = std::max<DWORD>(10, DWORD(200000 / std::max(1, settings.baud)));
    if (!SetCommTimeouts(d->handle, &timeouts))
        return fail(Failure::Other, GetLastError());
    PurgeComm(d->handle, PURGE_RXABORT | PURGE_TXABORT);

    for (Private::Operation *op : {&d->read, &d->write}) {
        op->overlapped = {};
        op->overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        op->notifier = new QWinEventNotifier(op->overlapped.hEvent, this);
    }
    connect(d->read.notifier, &QWinEventNotifier::activated, this, [this] { d->readDone(); });
    connect(d->write.notifier, &QWinEventNotifier::activated, this, [this] { d->writeDone(); });
    // About 50 ms of the rate at a time.
    d->read.buffer.resize(std::clamp(settings.baud / 200, 64, 1 << 16));
    d->startRead();
    return isOpen();
}

void SerialPort::close()
{
    if (d->handle == INVALID_HANDLE_VALUE)
        return;
    CancelIoEx(d->handle, nullptr);
    for (Private::Operation *op : {&d->read, &d->write}) {
        DWORD ignored = 0;
        if (op->pending)
            GetOverlappedResult(d->handle, &op->overlapped, &ignored, TRUE);
        op->pending = false;
        // Closing may come from the notifier's own signal: it goes once the signal has returned.
        // An opening that failed half way made none.
        if (op->notifier) {
            op->notifier->setEnabled(false);
            op->notifier->deleteLater();
            op->notifier = nullptr;
        }
        if (op->overlapped.hEvent)
            CloseHandle(op->overlapped.hEvent);
        op->overlapped = {};
    }
    CloseHandle(d->handle);
    d->handle = INVALID_HANDLE_VALUE;
    d->queued.clear();
}

bool SerialPort::isOpen() const
{
    return d->handle != INVALID_HANDLE_VALUE;
}

void SerialPort::Private::startRead()
{
    if (!ReadFile(handle, read.buffer.data(), DWORD(read.buffer.size()), nullptr,
                  &read.overlapped) &&
        GetLastError() != ERROR_IO_PENDING) {
        fail(GetLastError());
        return;
    }
    read.pending = true; // done or not, the event tells
}

void SerialPort::Private::readDone()
{
    DWORD count = 0;
    if (!read.pending)
        return;
    if (!GetOverlappedResult(handle, &read.overlapped, &count, FALSE)) {
        if (GetLastError() != ERROR_IO_INCOMPLETE)
            fail(GetLastError());
        return;
    }
    read.pending = false;
    arrived.append(read.buffer.constData(), count);
    startRead();
    if (count > 0)
        emit q->readyRead();
}

// Reading or writing failed: the device went away, as a rule.
void SerialPort::Private::fail(DWORD error)
{
    read.pending = false;
    const QString why = systemWords(error);
    q->close();
    emit q->lost(why);
}

QByteArray SerialPort::readAll()
{
    return std::exchange(d->arrived, {});
}

bool SerialPort::write(QByteArrayView bytes)
{
    if (!isOpen())
        return false;
    d->queued.append(bytes.data(), bytes.size());
    if (!d->write.pending)
        d->startWrite();
    return true;
}

void SerialPort::Private::startWrite()
{
    if (queued.isEmpty())
        return;
    write.buffer = std::exchange(queued, {});
    if (!WriteFile(handle, write.buffer.constData(), DWORD(write.buffer.size()), nullptr,
                   &write.overlapped) &&
        GetLastError() != ERROR_IO_PENDING) {
        fail(GetLastError());
        return;
    }
    write.pending = true;
}

void SerialPort::Private::writeDone()
{
    DWORD count = 0;
    if (!write.pending)
        return;
    if (!GetOverlappedResult(handle, &write.overlapped, &count, FALSE)) {
        if (GetLastError() != ERROR_IO_INCOMPLETE)
            fail(GetLastError());
        return;
    }
    write.pending = false;
    startWrite();
}

bool SerialPort::setDtr(bool on)
{
    return isOpen() && EscapeCommFunction(d->handle, on ? SETDTR : CLRDTR);
}

bool SerialPort::setRts(bool on)
{
    return isOpen() && EscapeCommFunction(d->handle, on ? SETRTS : CLRRTS);
}

SerialPort::Failure SerialPort::failure() const
{
    return d->failure;
}

QString SerialPort::errorString() const
{
    return d->error;
}

} // namespace hexjpg
