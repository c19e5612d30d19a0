// A serial link for the native tests: the reader model sits behind the link's
// functions, and every open, close, set-up, pulse, write and read is recorded.
#pragma once
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "tools/readersim/hex.h"
#include "tools/readersim/reader_model.h"

enum LinkEventType { kEvOpen, kEvOpenFailed, kEvConfigure, kEvPulse, kEvWrite, kEvRead, kEvClose };

struct LinkEvent {
    LinkEventType type;
    int value;                        // open: port number; configure: baud; read: bytes returned
    std::vector<unsigned char> bytes; // write: the bytes written
};

struct RecordingBed {
    ReaderModel reader;
    std::set<int> existingPorts{3};
    bool pulseFails = false;
    bool writeFails = false;
    bool useScript = false;                        // answers come from script, not the reader
    std::deque<std::vector<unsigned char>> script; // one entry per read attempt
    std::vector<LinkEvent> events;
    std::deque<unsigned char> pending; // answer bytes not yet read
    int holdAttempts = 0;              // empty reads before pending bytes show
    bool splitPending = false;         // the next read returns one byte only
    int emptyReads = 0;
    int openLinks = 0;
    int misuse = 0; // calls on a handle that is not open
    int currentBaud = 0;

    std::vector<std::vector<unsigned char>> Writes() const;
    int Count(LinkEventType type) const;
};

// The bed the link functions use; Reset() gives a fresh one with a reader at version 0x11.
RecordingBed& Bed();
void ResetBed();
inline std::string Hex(const std::vector<unsigned char>& bytes) {
    return HexOf(bytes.data(), bytes.size());
}
