// The reader's serial line: open a COM port by number, set the line up, pulse RTS,
// move bytes with fixed time-outs. The protocol is written against these functions
// only; the program links the Windows body, the native tests a recording one.
#pragma once
#include <cstdint>

typedef void* SerialLink;

// The value that stands for a port that is not open (the platform's invalid handle).
inline SerialLink InvalidLink() {
    return reinterpret_cast<SerialLink>(static_cast<intptr_t>(-1));
}
inline bool LinkIsOpen(SerialLink link) {
    return link != InvalidLink();
}

constexpr int kSetupBaudRate = 115200;
constexpr int kTalkBaudRate = 4800;
constexpr int kReadChunkSize = 64; // one read returns at most this many bytes
constexpr int kLineTimeoutMs = 30;

SerialLink OpenReaderPort(int portNumber);
bool ConfigureLine(SerialLink link, int baudRate);
bool SetLineTimeouts(SerialLink link, int constantMs);
bool PulseRts(SerialLink link);
int WriteAll(SerialLink link, const unsigned char* bytes, int length);
int ReadChunk(SerialLink link, unsigned char* buffer); // buffer holds kReadChunkSize bytes
void CloseLink(SerialLink link);
