#include "tests/windows/bed.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

static std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string ReaderPort() {
    return Env("VARNEK_COM");
}

std::string BedPath(const char* name) {
    return Env("VARNEK_RUN_DIR") + "\\" + name;
}

void SetReader(const std::string& lines) {
    static int seq = 0;
    std::ofstream control(Env("VARNEK_CONTROL"), std::ios::trunc);
    control << "seq " << ++seq << "\n" << lines << "\n";
}

std::vector<TranscriptEvent> Transcript() {
    std::vector<TranscriptEvent> events;
    std::ifstream in(Env("VARNEK_TRANSCRIPT"));
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        TranscriptEvent e{};
        fields >> e.time >> e.kind;
        std::getline(fields, e.rest);
        if (!e.rest.empty() && e.rest[0] == ' ') e.rest.erase(0, 1);
        events.push_back(e);
    }
    // The modem-line helper's lines reach the file a little later than they happen.
    std::stable_sort(
        events.begin(), events.end(),
        [](const TranscriptEvent& a, const TranscriptEvent& b) { return a.time < b.time; });
    return events;
}

int CountEvents(const std::vector<TranscriptEvent>& events, const char* kind) {
    int n = 0;
    for (const TranscriptEvent& e : events)
        n += e.kind == kind;
    return n;
}

std::vector<TranscriptEvent> TranscriptSince(double mark) {
    std::vector<TranscriptEvent> events;
    for (const TranscriptEvent& e : Transcript())
        if (e.time >= mark) events.push_back(e);
    return events;
}

bool WaitForEvents(double mark, const char* kind, int count, int timeoutMs) {
    for (int waited = 0;; waited += 10) {
        if (CountEvents(TranscriptSince(mark), kind) >= count) return true;
        if (waited >= timeoutMs) return false;
        Sleep(10);
    }
}

std::string HexOf(const std::string& bytes) {
    return HexOf(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

double Seconds() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / double(frequency.QuadPart);
}

double UnixNow() {
    FILETIME ft;
    GetSystemTimePreciseAsFileTime(&ft);
    ULONGLONG t = (ULONGLONG(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return double(t - 116444736000000000ULL) / 1e7;
}

// The modem-line helper stalls the line while this file exists.
StalledWrites::StalledWrites() {
    std::ofstream(BedPath("stall-writes")) << "stalled\n";
}

StalledWrites::~StalledWrites() {
    DeleteFileA(BedPath("stall-writes").c_str());
}

static DWORD WINAPI RunWork(LPVOID work) {
    (*static_cast<const std::function<void()>*>(work))();
    return 0;
}

void RunWithin(int ms, const std::function<void()>& work) {
    HANDLE thread =
        CreateThread(nullptr, 0, RunWork, const_cast<std::function<void()>*>(&work), 0, nullptr);
    if (thread && WaitForSingleObject(thread, static_cast<DWORD>(ms)) == WAIT_OBJECT_0) {
        CloseHandle(thread);
        return;
    }
    std::fprintf(stderr, "still running after %d ms: the test hangs; ending it\n", ms);
    std::fflush(stderr);
    std::_Exit(1);
}
