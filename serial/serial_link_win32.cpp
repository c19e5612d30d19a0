// The serial link on Windows: one COM port, synchronous transfers, fixed time-outs.
#include <windows.h>

#include <cstdio>

#include "serial/serial_link.h"

constexpr DWORD kInputQueue = 64;
constexpr DWORD kOutputQueue = 1200;
constexpr int kOpenTimeoutMs = 100;
constexpr int kSettleTimeoutMs = 10;

static HANDLE H(SerialLink link) {
    return static_cast<HANDLE>(link);
}

SerialLink OpenReaderPort(int portNumber) {
    // "\\.\COMn" rather than "COMn": the plain name only reaches COM1 to COM9.
    char path[64];
    std::snprintf(path, sizeof path, "\\\\.\\COM%d", portNumber);
    // Share mode 0: no other program may talk to the reader while we do.
    HANDLE handle =
        CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return InvalidLink();
    SerialLink link = handle;
    bool ready = ConfigureLine(link, kSetupBaudRate) &&
                 SetupComm(handle, kInputQueue, kOutputQueue) &&
                 SetLineTimeouts(link, kOpenTimeoutMs) && SetLineTimeouts(link, kSettleTimeoutMs) &&
                 ConfigureLine(link, kSetupBaudRate);
    if (!ready) {
        CloseHandle(handle);
        return InvalidLink();
    }
    return link;
}

bool ConfigureLine(SerialLink link, int baudRate) {
    DCB dcb;
    ZeroMemory(&dcb, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(H(link), &dcb)) return false;
    dcb.BaudRate = static_cast<DWORD>(baudRate);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = 1;
    dcb.fParity = 0;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = 0;
    dcb.fTXContinueOnXoff = 0;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fErrorChar = 0;
    dcb.fNull = 0;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = 0;
    return SetCommState(H(link), &dcb) && SetupComm(H(link), kInputQueue, kOutputQueue) &&
           SetLineTimeouts(link, kLineTimeoutMs);
}

bool SetLineTimeouts(SerialLink link, int constantMs) {
    COMMTIMEOUTS timeouts;
    timeouts.ReadIntervalTimeout = 10;
    timeouts.ReadTotalTimeoutMultiplier = 1;
    timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(constantMs);
    timeouts.WriteTotalTimeoutMultiplier = 1;
    timeouts.WriteTotalTimeoutConstant = static_cast<DWORD>(constantMs);
    return SetCommTimeouts(H(link), &timeouts) != 0;
}

bool PulseRts(SerialLink link) {
    // The reader wakes on the falling and rising edge; no pause is needed between them.
    return EscapeCommFunction(H(link), CLRRTS) && EscapeCommFunction(H(link), SETRTS);
}

int WriteAll(SerialLink link, const unsigned char* bytes, int length) {
    int written = 0;
    while (written < length) {
        DWORD moved = 0;
        if (!WriteFile(H(link), bytes + written, static_cast<DWORD>(length - written), &moved,
                       nullptr))
            return -1;
        // A write that timed out moves nothing; trying again would loop for ever.
        if (moved == 0) return -1;
        written += static_cast<int>(moved);
    }
    return written;
}

int ReadChunk(SerialLink link, unsigned char* buffer) {
    DWORD got = 0;
    if (!ReadFile(H(link), buffer, kReadChunkSize, &got, nullptr)) return -1;
    return static_cast<int>(got);
}

void CloseLink(SerialLink link) {
    if (LinkIsOpen(link)) CloseHandle(H(link));
}
