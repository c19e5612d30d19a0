// The reader's side of the protocol: whole requests in, answer bytes out, the six
// settings as state, and faults that can be switched on to test the program.
#pragma once
#include <cstdint>

// What kind of request a frame is; CONFIG requests add their index.
enum RequestKind {
    kRequestNone = -1,
    kRequestSystem = 0,
    kRequestVersion = 1,
    kRequestGet0 = 2, // CONFIG_GET index i is kRequestGet0 + i, i from 0 to 5
    kRequestSet0 = 8, // CONFIG_SET index i is kRequestSet0 + i
    kRequestKindCount = 14,
};

struct ReaderFaults {
    int silentFrom = -1;         // requests numbered from this on (0 = first) get no answer
    int muteKind = kRequestNone; // this kind of request never gets an answer
    int wrongAck = 0;            // acknowledge with 0x98 in place of 0x99
    int answerLength = 0;        // 1: every answer cut to one byte; above 2: padded to this
    int delayAttempts = 0;       // the answer arrives only on read attempt delayAttempts + 1
    int delayConfigOnly = 0;     // the delay applies to CONFIG requests only
    int splitMs = 0;             // a value's first byte, then the second this much later
    int vanishAfter = 0;         // on a line: the reader goes away after answering this many
    int longSystemAnswer = 0;    // "system" answered with three bytes
    int nameWithoutZero = 0;     // the name is sent without its terminating zero
    int garbage = 0;             // every answer replaced by this many pseudo-random bytes
    int versionOverride = -1;    // used instead of the version when 0 to 255
};

constexpr int kModelNameSize = 32;
constexpr int kModelAnswerMax = 512;

struct ReaderModel {
    int16_t values[5];
    char name[kModelNameSize];
    unsigned char version;
    ReaderFaults faults;
    int requestCount; // requests framed so far
    uint32_t noise;   // state of the garbage generator
};

void ResetReaderModel(ReaderModel* model, unsigned char version);

enum FrameStatus { kFrameNeedMore, kFrameComplete, kFrameGarbage };
struct Frame {
    FrameStatus status;
    int length; // complete: the request's length; garbage: bytes to drop
    int kind;   // complete: its RequestKind
};

// Finds where the request at the start of bytes ends. A name ends only with a pause
// on the line, so it is complete only when pauseSeen is true.
Frame FrameRequest(const unsigned char* bytes, int length, bool pauseSeen);

// True for a CONFIG_GET of one of the five numbers, whose answer is a 16-bit value.
inline bool IsValueRequest(int kind) {
    return kind >= kRequestGet0 && kind < kRequestGet0 + 5;
}

// The pause, in ms, between the two bytes of the answer to a request of this kind
// (the split-ms fault); 0: the answer goes out whole. Only values are split.
inline int SplitPauseMs(const ReaderModel* model, int kind) {
    return IsValueRequest(kind) ? model->faults.splitMs : 0;
}

// Applies one complete request, of the kind FrameRequest found, and writes the
// answer; returns its length (0: silent). *delayAttempts tells how many read
// attempts the answer holds back.
int AnswerRequest(ReaderModel* model, const unsigned char* request, int length, int kind,
                  unsigned char* answer, int* delayAttempts);

// Parses a request kind name such as "system", "version", "get5", "set0".
int ParseRequestKind(const char* text);
// Applies one "key value" setting line (values, name, version, faults); -1 if unknown.
int ApplyModelSetting(ReaderModel* model, const char* line);
// Writes the settings as setting lines that ApplyModelSetting reads back.
int FormatModelSettings(const ReaderModel* model, char* text, int size);
