#include "tests/native/recording_link.h"

#include <cstring>

#include "serial/serial_link.h"

static RecordingBed* bed = nullptr;

RecordingBed& Bed() {
    if (!bed) ResetBed();
    return *bed;
}

void ResetBed() {
    delete bed;
    bed = new RecordingBed();
    ResetReaderModel(&bed->reader, 0x11);
}

std::vector<std::vector<unsigned char>> RecordingBed::Writes() const {
    std::vector<std::vector<unsigned char>> writes;
    for (const LinkEvent& e : events)
        if (e.type == kEvWrite) writes.push_back(e.bytes);
    return writes;
}

int RecordingBed::Count(LinkEventType type) const {
    int n = 0;
    for (const LinkEvent& e : events)
        n += e.type == type;
    return n;
}

static const intptr_t kHandleBase = 0x1000;

static bool IsOpen(SerialLink link) {
    intptr_t n = reinterpret_cast<intptr_t>(link) - kHandleBase;
    bool open = LinkIsOpen(link) && Bed().openLinks > 0 && Bed().existingPorts.count(int(n));
    if (!open) ++Bed().misuse;
    return open;
}

SerialLink OpenReaderPort(int portNumber) {
    RecordingBed& b = Bed();
    if (!b.existingPorts.count(portNumber) || b.openLinks > 0) {
        b.events.push_back({kEvOpenFailed, portNumber, {}});
        return InvalidLink();
    }
    b.events.push_back({kEvOpen, portNumber, {}});
    ++b.openLinks;
    ConfigureLine(reinterpret_cast<SerialLink>(kHandleBase + portNumber), kSetupBaudRate);
    return reinterpret_cast<SerialLink>(kHandleBase + portNumber);
}

bool ConfigureLine(SerialLink link, int baudRate) {
    if (!IsOpen(link)) return false;
    Bed().events.push_back({kEvConfigure, baudRate, {}});
    Bed().currentBaud = baudRate;
    return true;
}

bool SetLineTimeouts(SerialLink link, int) {
    return IsOpen(link);
}

bool PulseRts(SerialLink link) {
    if (!IsOpen(link)) return false;
    Bed().events.push_back({kEvPulse, 0, {}});
    return !Bed().pulseFails;
}

int WriteAll(SerialLink link, const unsigned char* bytes, int length) {
    if (!IsOpen(link)) return -1;
    RecordingBed& b = Bed();
    b.events.push_back({kEvWrite, length, std::vector<unsigned char>(bytes, bytes + length)});
    if (b.writeFails) return -1;
    if (b.useScript || b.currentBaud != kTalkBaudRate) return length; // the reader hears noise
    Frame frame = FrameRequest(bytes, length, true);
    if (frame.status != kFrameComplete) return length;
    unsigned char answer[kModelAnswerMax];
    int hold = 0;
    int n = AnswerRequest(&b.reader, bytes, length, frame.kind, answer, &hold);
    b.pending.insert(b.pending.end(), answer, answer + n);
    b.holdAttempts = n > 0 ? hold : 0;
    b.splitPending = n > 1 && SplitPauseMs(&b.reader, frame.kind) > 0;
    return length;
}

int ReadChunk(SerialLink link, unsigned char* buffer) {
    if (!IsOpen(link)) return -1;
    RecordingBed& b = Bed();
    int n = 0;
    if (b.useScript) {
        if (!b.script.empty()) {
            const std::vector<unsigned char>& chunk = b.script.front();
            n = static_cast<int>(chunk.size() < kReadChunkSize ? chunk.size() : kReadChunkSize);
            if (n > 0) std::memcpy(buffer, chunk.data(), n);
            b.script.pop_front();
        }
    } else if (b.holdAttempts > 0) {
        --b.holdAttempts;
    } else {
        int most = b.splitPending ? 1 : kReadChunkSize;
        b.splitPending = false;
        while (n < most && !b.pending.empty()) {
            buffer[n++] = b.pending.front();
            b.pending.pop_front();
        }
    }
    if (n == 0) ++b.emptyReads;
    b.events.push_back({kEvRead, n, std::vector<unsigned char>(buffer, buffer + n)});
    return n;
}

void CloseLink(SerialLink link) {
    if (!LinkIsOpen(link)) return;
    if (!IsOpen(link)) return;
    Bed().events.push_back({kEvClose, 0, {}});
    --Bed().openLinks;
    Bed().pending.clear(); // what the reader sent after we stopped listening is lost
}
