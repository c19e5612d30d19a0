// What a Windows test sees of the test bed: the virtual reader's COM port, its
// control file and its transcript.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "tools/readersim/hex.h"

struct TranscriptEvent {
    double time;      // seconds, the reader's clock
    std::string kind; // open, close, request, answer, noise, rts, dtr, control, vanish
    std::string rest; // bytes in hex, line=..., or the line's new value
};

std::string ReaderPort();                 // "COM5"
std::string BedPath(const char* name);    // a file in this run's folder
void SetReader(const std::string& lines); // faults and settings; all else back to normal
std::vector<TranscriptEvent> Transcript();
// The events from a moment on: a mark is UnixNow() taken earlier.
std::vector<TranscriptEvent> TranscriptSince(double mark);
// Waits until the transcript holds at least count events of kind; false on time-out.
bool WaitForEvents(double mark, const char* kind, int count, int timeoutMs = 3000);
int CountEvents(const std::vector<TranscriptEvent>& events, const char* kind);
std::string HexOf(const std::string& bytes);
double Seconds(); // a monotonic clock for timing
double UnixNow(); // seconds since 1970 on the clock the transcript uses

// While one exists, nothing can be written to the reader's line: every write
// times out having moved nothing, as on a port whose output has stalled.
struct StalledWrites {
    StalledWrites();
    ~StalledWrites();
};

// Runs work on a thread of its own and waits at most ms for it. A test that would
// hang ends the test process at once, with a message, instead of at the suite's
// time-out.
void RunWithin(int ms, const std::function<void()>& work);
