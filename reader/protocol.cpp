#include "reader/protocol.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "reader/settings.h"

static const char kConfigGetWord[] = "CONFIG_GET";
static const char kConfigSetWord[] = "CONFIG_SET";
constexpr int kConfigWordLength = 10;
constexpr int kProbeAttempts = 2;
constexpr int kConfigAttempts = 10;

int ParsePortNumber(const char* portName, int* portNumber) {
    if (!portName || std::strncmp(portName, "COM", 3) != 0) return -1;
    // strtol takes the same text as %d (spaces, a sign, digits) but reports overflow
    // instead of leaving it undefined.
    const char* digits = portName + 3;
    char* end = nullptr;
    errno = 0;
    long long n = std::strtoll(digits, &end, 10);
    if (end == digits || errno == ERANGE || n < INT_MIN || n > INT_MAX) return -1;
    *portNumber = static_cast<int>(n);
    return 0;
}

SerialLink ConnectReader(const char* portName) {
    int portNumber = 0;
    if (ParsePortNumber(portName, &portNumber) < 0) return InvalidLink();
    SerialLink link = OpenReaderPort(portNumber);
    if (!LinkIsOpen(link)) return InvalidLink();
    // Its result is not needed: a reader that does not hear us fails the pulse or the talk.
    ConfigureLine(link, kTalkBaudRate);
    if (!PulseRts(link)) {
        CloseLink(link);
        return InvalidLink();
    }
    return link;
}

// Sends a command word and waits for the two-byte answer 0x99, x. Returns x or -1.
static int AskTwoByteAnswer(SerialLink link, const char* word) {
    WriteAll(link, reinterpret_cast<const unsigned char*>(word),
             static_cast<int>(std::strlen(word)));
    unsigned char answer[kAnswerBufferSize];
    for (int attempt = 0; attempt < kProbeAttempts; ++attempt) {
        std::memset(answer, 0, sizeof answer);
        int got = ReadChunk(link, answer);
        if (got < 1) continue;
        if (got != 2 || answer[0] != kAck) return -1;
        return answer[1];
    }
    return -1;
}

int ProbeReaderVersion(const char* portName) {
    SerialLink link = ConnectReader(portName);
    if (!LinkIsOpen(link)) return -1;
    int result = -1;
    if (AskTwoByteAnswer(link, "system") >= 0) {
        int version = AskTwoByteAnswer(link, "version");
        if (version >= 0) result = static_cast<signed char>(version);
    }
    CloseLink(link);
    return result;
}

// "CONFIG_xxx", 0x00, index: the 12 bytes every CONFIG request starts with.
static int PutConfigHeader(unsigned char* request, const char* word, int index) {
    std::memcpy(request, word, kConfigWordLength);
    request[kConfigWordLength] = 0x00;
    request[kConfigWordLength + 1] = static_cast<unsigned char>(index);
    return kConfigWordLength + 2;
}

int ConfigGet(SerialLink link, int index, unsigned char* buffer) {
    if (!LinkIsOpen(link)) return -1;
    unsigned char request[kConfigWordLength + 2];
    WriteAll(link, request, PutConfigHeader(request, kConfigGetWord, index));
    unsigned char answer[kAnswerBufferSize];
    for (int attempt = 0; attempt < kConfigAttempts; ++attempt) {
        std::memset(answer, 0, sizeof answer);
        int got = ReadChunk(link, answer);
        if (got < 1) continue;
        // A reader that pauses between a value's two bytes ends the read after the
        // first; one more read takes the second, which would otherwise be taken
        // for the next answer.
        if (got == 1 && index != kDeviceNameIndex) {
            int more = ReadChunk(link, answer + 1);
            if (more > 0) got += more;
        }
        std::memcpy(buffer, answer, got);
        return got;
    }
    return -1;
}

// Sends a CONFIG_SET request and waits for an answer that starts with the acknowledge.
static int SendConfigSet(SerialLink link, const unsigned char* request, int length) {
    WriteAll(link, request, length);
    unsigned char answer[kAnswerBufferSize];
    for (int attempt = 0; attempt < kConfigAttempts; ++attempt) {
        std::memset(answer, 0, sizeof answer);
        int got = ReadChunk(link, answer);
        if (got >= 1 && answer[0] == kAck) return got;
    }
    return -1;
}

int ConfigSetValue(SerialLink link, int index, int32_t value) {
    if (!LinkIsOpen(link)) return -1;
    unsigned char request[kConfigWordLength + 4];
    int length = PutConfigHeader(request, kConfigSetWord, index);
    request[length++] = static_cast<unsigned char>((value >> 8) & 0xFF);
    request[length++] = static_cast<unsigned char>(value & 0xFF);
    return SendConfigSet(link, request, length);
}

int ConfigSetName(SerialLink link, const char* name) {
    if (!LinkIsOpen(link)) return -1;
    unsigned char request[kConfigWordLength + 2 + kDeviceNameSize];
    int length = PutConfigHeader(request, kConfigSetWord, kDeviceNameIndex);
    size_t nameLength = strnlen(name, kDeviceNameSize - 1);
    std::memcpy(request + length, name, nameLength);
    return SendConfigSet(link, request, length + static_cast<int>(nameLength));
}

int ReadAllSettings(const char* portName) {
    SerialLink link = ConnectReader(portName);
    if (!LinkIsOpen(link)) return -1;
    int answered = 0;
    unsigned char buffer[kAnswerBufferSize];
    for (int index = 0; index < kNumericSettingCount; ++index) {
        std::memset(buffer, 0, sizeof buffer);
        if (ConfigGet(link, index, buffer) > 0) {
            SetValue(index, DecodeWireValue(buffer[0], buffer[1]));
            ++answered;
        }
    }
    std::memset(buffer, 0, sizeof buffer);
    if (ConfigGet(link, kDeviceNameIndex, buffer) > 0) {
        // An answer is at most one chunk, so the cleared buffer always ends it.
        SetDeviceName(reinterpret_cast<const char*>(buffer));
        ++answered;
    }
    CloseLink(link);
    // One unanswered request is tolerated when reading.
    return answered >= kNumericSettingCount ? 0 : -1;
}

int WriteAllSettings(const char* portName) {
    int portNumber = 0;
    if (ParsePortNumber(portName, &portNumber) < 0) return -1;
    if (ProbeReaderVersion(portName) < kLowestUsableVersion) return -1;
    SerialLink link = ConnectReader(portName);
    if (!LinkIsOpen(link)) return -1;
    int acknowledged = 0;
    for (int index = 0; index < kNumericSettingCount; ++index)
        if (ConfigSetValue(link, index, GetValue(index)) >= 0) ++acknowledged;
    if (ConfigSetName(link, GetDeviceName()) >= 0) ++acknowledged;
    CloseLink(link);
    return acknowledged == kNumericSettingCount + 1 ? 0 : -1;
}
