/* Test-bed helper, loaded into Wine with LD_PRELOAD: gives pseudo-terminals the
 * RTS and DTR lines they lack, so that the program's RTS pulse succeeds on a
 * virtual reader, and appends every change of a line to the file named by
 * VARNEK_MODEM_LOG ("<time> rts 0 pts/3"). In the Wine server, which opens the
 * devices, it also refuses a second open of a pseudo-terminal that is already
 * open, as Windows refuses a second open of a COM port, and reports every open
 * and close there. While the file named by VARNEK_STALL_WRITES exists, nothing
 * can be written to a pseudo-terminal, as on a port whose output has stalled:
 * Wine's write times out as Windows' does. Never part of the program itself. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

typedef int (*ioctl_fn)(int, unsigned long, void*);

/* Line state per pseudo-terminal number: both lines are on when a port opens. */
static int lines[4096];
static unsigned char known[4096];

static int PtyNumber(int fd) {
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return -1;
    unsigned ma = major(st.st_rdev);
    if (ma < 136 || ma > 143) return -1; /* Unix98 pseudo-terminal slaves */
    int n = (int)((ma - 136) * 256 + minor(st.st_rdev));
    return n < 4096 ? n : -1;
}

static void Report(int pty, const char* what) {
    const char* path = getenv("VARNEK_MODEM_LOG");
    if (!path) return;
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    char text[96];
    int n = snprintf(text, sizeof text, "%lld.%06ld %s pts/%d\n", (long long)ts.tv_sec,
                     ts.tv_nsec / 1000, what, pty);
    int fd = open(path, O_WRONLY | O_APPEND | O_CREAT, 0644);
    if (fd < 0) return;
    if (write(fd, text, n) < 0) { /* nothing to do: the test will miss the line */
    }
    close(fd);
}

/* Answers the modem-line requests on a pseudo-terminal; 1 when handled. */
static int ModemLines(int fd, unsigned long request, void* arg, int* result) {
    if (request != TIOCMGET && request != TIOCMSET && request != TIOCMBIS && request != TIOCMBIC)
        return 0;
    int pty = PtyNumber(fd);
    if (pty < 0 || !arg) return 0;
    if (!known[pty]) {
        known[pty] = 1;
        lines[pty] = TIOCM_RTS | TIOCM_DTR;
    }
    int before = lines[pty];
    int bits = *(int*)arg;
    switch (request) {
    case TIOCMGET: *(int*)arg = lines[pty] | TIOCM_CTS | TIOCM_DSR | TIOCM_CD; break;
    case TIOCMSET: lines[pty] = bits & (TIOCM_RTS | TIOCM_DTR); break;
    case TIOCMBIS: lines[pty] |= bits & (TIOCM_RTS | TIOCM_DTR); break;
    case TIOCMBIC: lines[pty] &= ~(bits & (TIOCM_RTS | TIOCM_DTR)); break;
    }
    if ((before ^ lines[pty]) & TIOCM_RTS) Report(pty, lines[pty] & TIOCM_RTS ? "rts 1" : "rts 0");
    if ((before ^ lines[pty]) & TIOCM_DTR) Report(pty, lines[pty] & TIOCM_DTR ? "dtr 1" : "dtr 0");
    *result = 0;
    return 1;
}

/* Pseudo-terminal held by each descriptor of this process, -1 for none. */
static short heldBy[4096];
static int heldInit;

static int HeldCount(int pty) {
    int n = 0;
    for (int fd = 0; fd < 4096; ++fd)
        n += heldInit && heldBy[fd] == pty;
    return n;
}

static int ExclusiveOpen(int fd) {
    if (fd < 0 || fd >= 4096) return fd;
    if (!heldInit) {
        memset(heldBy, 0xff, sizeof heldBy);
        heldInit = 1;
    }
    int pty = PtyNumber(fd);
    if (pty < 0) return fd;
    if (HeldCount(pty) > 0) {
        close(fd);
        errno = EBUSY;
        return -1;
    }
    heldBy[fd] = (short)pty;
    Report(pty, "open");
    return fd;
}

typedef int (*open_fn)(const char*, int, ...);
typedef int (*openat_fn)(int, const char*, int, ...);
typedef int (*close_fn)(int);

#define OPEN_WRAPPER(name)                                                                         \
    int name(const char* path, int flags, ...) {                                                   \
        va_list ap;                                                                                \
        va_start(ap, flags);                                                                       \
        int mode = va_arg(ap, int);                                                                \
        va_end(ap);                                                                                \
        open_fn real = (open_fn)dlsym(RTLD_NEXT, #name);                                           \
        return ExclusiveOpen(real(path, flags | O_NOCTTY, mode));                                  \
    }
#define OPENAT_WRAPPER(name)                                                                       \
    int name(int dir, const char* path, int flags, ...) {                                          \
        va_list ap;                                                                                \
        va_start(ap, flags);                                                                       \
        int mode = va_arg(ap, int);                                                                \
        va_end(ap);                                                                                \
        openat_fn real = (openat_fn)dlsym(RTLD_NEXT, #name);                                       \
        return ExclusiveOpen(real(dir, path, flags | O_NOCTTY, mode));                             \
    }
/* O_NOCTTY: the Wine server has no terminal, and a pseudo-terminal it opens would
 * otherwise become its controlling terminal and hang it up when the reader exits. */
OPEN_WRAPPER(open)
OPEN_WRAPPER(open64)
OPENAT_WRAPPER(openat)
OPENAT_WRAPPER(openat64)

int close(int fd) {
    if (heldInit && fd >= 0 && fd < 4096 && heldBy[fd] >= 0) {
        Report(heldBy[fd], "close");
        heldBy[fd] = -1;
    }
    close_fn real = (close_fn)dlsym(RTLD_NEXT, "close");
    return real(fd);
}

/* Modem-line requests on a pseudo-terminal are answered here; the rest go on to
 * libc's function of the same name. */
static int Intercept(const char* name, int fd, unsigned long request, void* arg) {
    int result;
    if (ModemLines(fd, request, arg, &result)) return result;
    ioctl_fn real = (ioctl_fn)dlsym(RTLD_NEXT, name);
    if (!real) real = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");
    return real(fd, request, arg);
}

int ioctl(int fd, unsigned long request, ...) {
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    return Intercept("ioctl", fd, request, arg);
}

/* 32-bit glibc built with 64-bit time calls this in place of ioctl. */
int __ioctl_time64(int fd, unsigned long request, ...) {
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    return Intercept("__ioctl_time64", fd, request, arg);
}

/* Stalled output: a write to a pseudo-terminal moves nothing and waiting for room
 * lasts the caller's whole time-out. */
static int Stalled(int fd) {
    const char* flag = getenv("VARNEK_STALL_WRITES");
    return flag && PtyNumber(fd) >= 0 && access(flag, F_OK) == 0;
}

typedef ssize_t (*write_fn)(int, const void*, size_t);
typedef int (*poll_fn)(struct pollfd*, nfds_t, int);

ssize_t write(int fd, const void* bytes, size_t count) {
    if (Stalled(fd)) {
        errno = EAGAIN;
        return -1;
    }
    write_fn real = (write_fn)dlsym(RTLD_NEXT, "write");
    return real(fd, bytes, count);
}

/* glibc declares poll's array write-only, which it is not: it is read first. */
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
int poll(struct pollfd* fds, nfds_t count, int timeoutMs) {
    if (count == 1 && (fds[0].events & POLLOUT) && Stalled(fds[0].fd)) {
        if (timeoutMs >= 0) {
            usleep((useconds_t)timeoutMs * 1000);
            fds[0].revents = 0;
            return 0;
        }
        while (Stalled(fds[0].fd)) /* no time-out: wait until the stall ends */
            usleep(10000);
    }
    poll_fn real = (poll_fn)dlsym(RTLD_NEXT, "poll");
    return real(fds, count, timeoutMs);
}
