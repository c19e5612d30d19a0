// readersim: a virtual smart-card reader on a pseudo-terminal, for tests and demos.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/readersim/hex.h"
#include "tools/readersim/reader_model.h"

static const char kHelp[] = R"(usage: readersim [options]

Serves the reader's protocol on a new pseudo-terminal, as a reader on a serial
line would: it answers only while the line is set to 4800 baud, 8 data bits, no
parity, one stop bit. It prints the terminal's path, then "ready", and runs
until SIGINT or SIGTERM.

options:
  --link PATH          make PATH a symbolic link to the terminal (removed at exit)
  --transcript FILE    write every open, close, request, answer and RTS/DTR change
                       there, one timed line each ("-" for standard output)
  --state FILE         load the reader's settings from FILE and save them there
                       after every change
  --control FILE       re-read FILE before every request whenever it changed; its
                       lines are settings as below without the dashes
                       (e.g. "version 0x10", "mute get5"); faults it does not name
                       are switched off
  --modem-log FILE     merge the RTS/DTR changes the test bed's modem-line helper
                       writes to FILE into the transcript
  --wire-timing        take as long as a real 4800-baud line: a request is heard
                       only after its last byte would have arrived, and every
                       answer byte is paced at 10 bits
  --pause-ms N         silence that ends a name (default 5)

reader settings and faults:
  --version V          firmware version byte (default 0x11; 0x11 is version 1.1)
  --values M F H T E   the five numbers (mode, frequency, hidden, T mode, EGT)
  --name TEXT          the device name
  --silent-from K      no answer from the Kth request on (0 is the first)
  --mute KIND          never answer KIND: system, version, get0..get5, set0..set5
  --wrong-ack 1        acknowledge with 0x98
  --answer-length N    1: answer one byte only; above 2: pad every answer to N
  --delay-attempts N   answer only after N silent read attempts (about 94 ms each)
  --delay-config-only 1    hold back only the answers to CONFIG requests
  --split-ms N         send a value's first byte, the second N ms later
  --vanish-after N     after answering N requests the reader goes away: its
                       terminal closes under the program, and a fresh reader
                       takes its place at --link
  --long-system-answer 1   answer "system" with three bytes
  --name-without-zero 1    send the name without a zero byte
  --garbage N          answer N pseudo-random bytes instead
  --version-override V answer V to "version"
)";

static volatile sig_atomic_t stopping = 0;
static void OnSignal(int) {
    stopping = 1;
}

static double Now() {
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

static void SleepSeconds(double s) {
    if (s <= 0) return;
    timespec ts = {static_cast<time_t>(s), static_cast<long>((s - (time_t)s) * 1e9)};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR && !stopping) {
    }
}

struct Sim {
    ReaderModel model;
    ReaderModel initial; // as the command line set it up; a control file starts from here
    std::string pts;     // "pts/N": the lines of the modem log that are about our port
    int master = -1;
    FILE* transcript = nullptr;
    std::string statePath, controlPath, modemLogPath, lastControl;
    long modemLogOffset = 0;
    bool wireTiming = false;
    double pause = 0.005;
    std::string linkPath;
    std::string servedPts; // every " pts/N " this reader has used, for the modem log
};

static void Log(Sim& sim, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
static void Log(Sim& sim, const char* fmt, ...) {
    if (!sim.transcript) return;
    va_list args;
    va_start(args, fmt);
    std::fprintf(sim.transcript, "%.6f ", Now());
    std::vfprintf(sim.transcript, fmt, args);
    std::fputc('\n', sim.transcript);
    std::fflush(sim.transcript);
    va_end(args);
}

static std::string Hex(const unsigned char* bytes, int length) {
    return length > 0 ? HexOf(bytes, length) : "-";
}

static bool ReadWholeFile(const std::string& path, std::string* text) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    text->clear();
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        text->append(chunk, n);
    std::fclose(f);
    return true;
}

static void ApplyLines(Sim& sim, const std::string& text, const char* source) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (ApplyModelSetting(&sim.model, line.c_str()) < 0)
            std::fprintf(stderr, "readersim: %s: cannot use \"%s\"\n", source, line.c_str());
        start = end + 1;
    }
}

static void SaveState(Sim& sim) {
    if (sim.statePath.empty()) return;
    char text[256];
    FormatModelSettings(&sim.model, text, sizeof text);
    std::string temp = sim.statePath + ".new";
    FILE* f = std::fopen(temp.c_str(), "w");
    if (!f) return;
    std::fputs(text, f);
    std::fclose(f);
    std::rename(temp.c_str(), sim.statePath.c_str());
}

static void ReloadControl(Sim& sim) {
    std::string text;
    if (sim.controlPath.empty() || !ReadWholeFile(sim.controlPath, &text)) return;
    if (text == sim.lastControl) return;
    sim.lastControl = text;
    sim.model.faults = sim.initial.faults;
    sim.model.version = sim.initial.version;
    sim.model.requestCount = 0;
    ApplyLines(sim, text, "control");
    Log(sim, "control %zu", text.size());
}

// Copies what the modem-line helper reported into the transcript.
static void PollModemLog(Sim& sim) {
    if (sim.modemLogPath.empty()) return;
    FILE* f = std::fopen(sim.modemLogPath.c_str(), "r");
    if (!f) return;
    std::fseek(f, sim.modemLogOffset, SEEK_SET);
    char line[256];
    while (std::fgets(line, sizeof line, f)) {
        if (!std::strchr(line, '\n')) break; // half-written line: take it next time
        sim.modemLogOffset = std::ftell(f);
        char* tail = std::strrchr(line, ' ');
        if (!tail) continue;
        std::string pts(tail + 1, std::strcspn(tail + 1, "\n"));
        if (sim.servedPts.find(" " + pts + " ") == std::string::npos) continue;
        if (sim.transcript) {
            std::fputs(line, sim.transcript);
            std::fflush(sim.transcript);
        }
    }
    std::fclose(f);
}

// True when the line is set as the reader talks: 4800 baud, 8N1.
static bool LineIsReaders(int fd, char* described, size_t size) {
    termios t;
    if (tcgetattr(fd, &t) != 0) {
        std::snprintf(described, size, "unknown");
        return false;
    }
    speed_t speed = cfgetospeed(&t);
    struct {
        speed_t code;
        int baud;
    } speeds[] = {{B1200, 1200},   {B2400, 2400},   {B4800, 4800},   {B9600, 9600},
                  {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
    int baud = -1;
    for (auto& s : speeds)
        if (s.code == speed) baud = s.baud;
    int bits = (t.c_cflag & CSIZE) == CS8 ? 8 : (t.c_cflag & CSIZE) == CS7 ? 7 : 6;
    char parity = (t.c_cflag & PARENB) ? ((t.c_cflag & PARODD) ? 'O' : 'E') : 'N';
    int stops = (t.c_cflag & CSTOPB) ? 2 : 1;
    std::snprintf(described, size, "%d-%d%c%d", baud, bits, parity, stops);
    return baud == 4800 && bits == 8 && parity == 'N' && stops == 1;
}

static void WriteAnswer(Sim& sim, const unsigned char* answer, int length, int splitMs) {
    // On a paced line a byte is there only once its ten bits have been clocked out.
    double byteTime = 10.0 / 4800;
    double start = Now();
    for (int i = 0; i < length;) {
        if (i == 1 && splitMs > 0) SleepSeconds(splitMs / 1000.0);
        if (sim.wireTiming) SleepSeconds(start + (i + 1) * byteTime - Now());
        int n = sim.wireTiming || splitMs > 0 ? 1 : length - i;
        ssize_t w = write(sim.master, answer + i, n);
        if (w <= 0) return;
        i += static_cast<int>(w);
    }
}

static void Serve(Sim& sim, const unsigned char* request, int length, int kind,
                  double firstByteAt) {
    ReloadControl(sim);
    PollModemLog(sim);
    if (sim.wireTiming) SleepSeconds(firstByteAt + length * 10.0 / 4800 - Now());
    char line[32];
    bool heard = LineIsReaders(sim.master, line, sizeof line);
    Log(sim, "request %s line=%s", Hex(request, length).c_str(), line);
    if (!heard) return; // at any other set-up the reader hears noise
    unsigned char answer[kModelAnswerMax];
    int delay = 0;
    int n = AnswerRequest(&sim.model, request, length, kind, answer, &delay);
    if (kind >= kRequestSet0) SaveState(sim);
    // A held-back answer arrives in the middle of read attempt delay + 1.
    if (n > 0 && delay > 0) SleepSeconds(delay * 0.094 + 0.047);
    if (n > 0) WriteAnswer(sim, answer, n, SplitPauseMs(&sim.model, kind));
    Log(sim, "answer %s", Hex(answer, n).c_str());
}

// A new pseudo-terminal in raw mode, closed on our side of the port, linked at
// --link; false when none can be had.
static bool OpenTerminal(Sim& sim) {
    int slave = -1;
    if (openpty(&sim.master, &slave, nullptr, nullptr, nullptr) != 0) {
        std::perror("readersim: openpty");
        return false;
    }
    termios raw;
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    cfsetspeed(&raw, B9600);
    tcsetattr(slave, TCSANOW, &raw);
    std::string slavePath = ttyname(slave);
    close(slave); // the port counts as closed until a program opens it
    sim.pts = slavePath.substr(slavePath.find("pts/"));
    sim.servedPts += " " + sim.pts + " ";
    if (!sim.linkPath.empty()) {
        std::string temp = sim.linkPath + ".new";
        unlink(temp.c_str());
        if (symlink(slavePath.c_str(), temp.c_str()) != 0 ||
            rename(temp.c_str(), sim.linkPath.c_str()) != 0) {
            std::perror("readersim: symlink");
            return false;
        }
    }
    std::printf("%s\n", slavePath.c_str());
    std::fflush(stdout);
    return true;
}

// The reader is pulled out: the program's port goes dead under it, and a fresh
// reader with the same settings takes its place.
static bool Vanish(Sim& sim) {
    Log(sim, "vanish %s", sim.pts.c_str());
    close(sim.master);
    sim.model.faults.vanishAfter = 0;
    return OpenTerminal(sim);
}

static void DiscardUnread(Sim& sim) {
    tcflush(sim.master, TCIFLUSH);
    int slave = open(("/dev/" + sim.pts).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slave < 0) return;
    tcflush(slave, TCIFLUSH);
    close(slave);
}

// True while no program has the terminal open: the master then reports a hang-up.
static bool PortClosed(int master) {
    pollfd p = {master, POLLIN, 0};
    return poll(&p, 1, 0) == 1 && (p.revents & POLLHUP);
}

static int Run(Sim& sim) {
    unsigned char pending[4096];
    int have = 0;
    double firstByteAt = 0;
    bool open = false;
    while (!stopping) {
        PollModemLog(sim);
        if (PortClosed(sim.master)) {
            if (open) {
                if (sim.modemLogPath.empty()) Log(sim, "close");
                open = false;
                have = 0;
                // What the program did not read is gone with its handle, as on Windows,
                // where a port opens with empty buffers.
                DiscardUnread(sim);
            }
            SleepSeconds(0.0005);
            continue;
        }
        if (!open) {
            // The modem-line helper, when there is one, reports opens and closes exactly.
            if (sim.modemLogPath.empty()) Log(sim, "open");
            open = true;
            ReloadControl(sim);
        }
        pollfd p = {sim.master, POLLIN, 0};
        int timeoutMs = have > 0 ? static_cast<int>(sim.pause * 1000) : 20;
        int ready = poll(&p, 1, timeoutMs);
        if (ready < 0) continue;
        if (ready > 0 && (p.revents & POLLIN)) {
            if (have == static_cast<int>(sizeof pending)) have = 0; // flood: start over
            ssize_t n = read(sim.master, pending + have, sizeof pending - have);
            if (n > 0) {
                if (have == 0) firstByteAt = Now();
                have += static_cast<int>(n);
            }
        }
        bool pause = ready == 0;
        while (have > 0) {
            Frame frame = FrameRequest(pending, have, pause);
            if (frame.status == kFrameNeedMore) break;
            if (frame.status == kFrameComplete) {
                Serve(sim, pending, frame.length, frame.kind, firstByteAt);
                int after = sim.model.faults.vanishAfter;
                if (after > 0 && sim.model.requestCount >= after) {
                    if (!Vanish(sim)) return 1;
                    open = false;
                    have = 0;
                    break;
                }
            } else {
                Log(sim, "noise %s", Hex(pending, frame.length).c_str());
            }
            std::memmove(pending, pending + frame.length, have - frame.length);
            have -= frame.length;
        }
    }
    return 0;
}

int main(int argc, char** argv) {
    Sim sim;
    ResetReaderModel(&sim.model, 0x11);
    std::string transcriptPath;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto next = [&](int count = 1) -> std::string {
            std::string value;
            for (int k = 0; k < count; ++k) {
                if (i + 1 >= argc) {
                    std::fprintf(stderr, "readersim: %s needs a value\n", arg.c_str());
                    std::exit(2);
                }
                value += (k ? " " : "") + std::string(argv[++i]);
            }
            return value;
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (arg == "--link")
            sim.linkPath = next();
        else if (arg == "--transcript")
            transcriptPath = next();
        else if (arg == "--state")
            sim.statePath = next();
        else if (arg == "--control")
            sim.controlPath = next();
        else if (arg == "--modem-log")
            sim.modemLogPath = next();
        else if (arg == "--wire-timing")
            sim.wireTiming = true;
        else if (arg == "--pause-ms")
            sim.pause = std::atoi(next().c_str()) / 1000.0;
        else if (arg.rfind("--", 0) == 0) {
            std::string setting = arg.substr(2) + " " + next(arg == "--values" ? 5 : 1);
            if (ApplyModelSetting(&sim.model, setting.c_str()) < 0) {
                std::fprintf(stderr, "readersim: unknown option %s (see --help)\n", arg.c_str());
                return 2;
            }
        } else {
            std::fprintf(stderr, "readersim: unexpected argument %s (see --help)\n", arg.c_str());
            return 2;
        }
    }
    std::string state;
    if (!sim.statePath.empty() && ReadWholeFile(sim.statePath, &state))
        ApplyLines(sim, state, "state");

    sim.initial = sim.model;
    struct stat logStat;
    if (!sim.modemLogPath.empty() && stat(sim.modemLogPath.c_str(), &logStat) == 0)
        sim.modemLogOffset = logStat.st_size; // older lines are about earlier readers
    if (transcriptPath == "-")
        sim.transcript = stdout;
    else if (!transcriptPath.empty())
        sim.transcript = std::fopen(transcriptPath.c_str(), "a");
    if (!OpenTerminal(sim)) return 1;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::printf("ready\n");
    std::fflush(stdout);
    int rc = Run(sim);
    PollModemLog(sim);
    close(sim.master);
    if (!sim.linkPath.empty()) unlink(sim.linkPath.c_str());
    if (sim.transcript && sim.transcript != stdout) std::fclose(sim.transcript);
    return rc;
}
