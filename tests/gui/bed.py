"""The Wine test bed as the GUI tests and the demo use it: the program under
Wine, the dialog driver, the virtual reader's control file and transcript, and
xdotool for real key presses. Needs the environment that tests/support/winebed
sets up, plus VARNEK_EXE and VARNEK_DRIVER."""
import os
import subprocess
import time

TITLE = "Tolvane Settings Editor v1.0"
PORT_LIST, MODE, FREQUENCY, TMODE, EGT = 1000, 1014, 1015, 1017, 1018
LOAD, SAVE, NAME, STATUS = 1020, 1021, 1103, 1106
READER = "\\Device\\Serial4=COM5"
ARTIFACTS = os.path.join(os.environ.get("VARNEK_BUILD", "build"), "artifacts")


def hexof(data):
    return " ".join("%02X" % b for b in data)


def set_value(index, value):
    return hexof(b"CONFIG_SET\0" + bytes([index, (value >> 8) & 0xFF, value & 0xFF]))


class Bed:
    """The virtual reader, the program and the driver."""

    def __init__(self):
        self.env = dict(os.environ, LD_PRELOAD=os.environ["VARNEK_PRELOAD"])
        self.driver = subprocess.Popen(
            ["wine", os.environ["VARNEK_DRIVER"]], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            env=self.env, text=True, encoding="latin-1", bufsize=1)
        self.program = None
        self.seq = 0

    def do(self, line):
        self.driver.stdin.write(line + "\n")
        self.driver.stdin.flush()
        return self.driver.stdout.readline().rstrip("\r\n")

    def reader(self, *lines):
        self.seq += 1
        with open(os.environ["VARNEK_UNIX_CONTROL"], "w") as f:
            f.write("seq %d\n%s\n" % (self.seq, "\n".join(lines)))

    def transcript(self, since=0.0):
        events = []
        try:
            with open(os.environ["VARNEK_UNIX_TRANSCRIPT"]) as f:
                for line in f:
                    parts = line.rstrip("\n").split(" ", 2)
                    if len(parts) >= 2 and float(parts[0]) >= since:
                        events.append((float(parts[0]), parts[1], parts[2] if len(parts) > 2 else ""))
        except FileNotFoundError:
            pass
        return sorted(events)

    def connections(self, since, seconds):
        """Opens and closes of the reader's port since a moment, once every open has
        its close or the time is up: a close reaches the transcript a moment after
        the status it ends with."""
        deadline = time.time() + seconds
        while True:
            events = self.transcript(since)
            opens = sum(e[1] == "open" for e in events)
            closes = sum(e[1] == "close" for e in events)
            if opens == closes or time.time() > deadline:
                return opens, closes
            time.sleep(0.02)

    def requests(self, since):
        return [e[2].split(" line=")[0] for e in self.transcript(since) if e[1] == "request"]

    def start(self, *ports):
        assert self.do("ports " + " ".join(ports)) == "ok"
        self.program = subprocess.Popen(["wine", os.environ["VARNEK_EXE"]], env=self.env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        assert self.do("wait-window 20000") == "ok", "the window did not appear"

    def stop(self):
        if self.program and self.program.poll() is None:
            self.do("close-window")
            try:
                self.program.wait(10)
            except subprocess.TimeoutExpired:
                self.program.kill()
                self.program.wait()
        self.program = None

    def list(self, control):
        parts = self.do("list %d" % control).split("|")
        return int(parts[0]), parts[2:]

    def click(self, button):
        assert self.do("click %d" % button) == "ok"
        return self.do("text %d" % STATUS)

    def x_window(self):
        """The program's X window, once X shows it: keys sent to a window that is
        not mapped yet are lost."""
        for _ in range(100):
            out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", TITLE],
                                 capture_output=True, text=True).stdout.split()
            if out:
                return out[-1]
            time.sleep(0.1)
        return None

    def keyboard(self, action, focus_control=None):
        """Real input through the X server: focus the window (and click into a
        control until it holds the keyboard focus), then run an xdotool action
        such as ["key", "Return"]."""
        window = self.x_window()
        assert window, "no X window with the program's title"
        # Without a window manager X may refuse the focus request; the click below
        # or Wine's own focus serves then.
        subprocess.run(["xdotool", "windowfocus", "--sync", window], check=False,
                       stderr=subprocess.DEVNULL)
        if focus_control:
            x, y, w, h = map(int, self.do("rect %d" % focus_control).split())
            # No "mousemove --sync": it waits 15 s when the pointer is already there.
            # The focus poll is the wait.
            for _ in range(10):
                subprocess.run(["xdotool", "mousemove", str(x + w // 3), str(y + h // 2),
                                "click", "1"], check=True)
                if self.wait_for(lambda: self.do("focus") == str(focus_control), 1.0):
                    break
            assert self.do("focus") == str(focus_control), "the click did not focus the control"
        time.sleep(0.3)
        subprocess.run(["xdotool"] + action, check=True)

    @staticmethod
    def wait_for(condition, seconds):
        deadline = time.time() + seconds
        while not condition():
            if time.time() > deadline:
                return False
            time.sleep(0.05)
        return True

    def key(self, name, focus_control=None):
        self.keyboard(["key", name], focus_control)

    def screenshot(self, name):
        os.makedirs(ARTIFACTS, exist_ok=True)
        x, y, w, h = map(int, self.do("rect 0").split())
        path = os.path.join(ARTIFACTS, name)
        subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (w, h, x, y),
                        path], check=True)
        return path

    def close(self):
        self.stop()
        self.driver.stdin.write("quit\n")
        self.driver.stdin.flush()
        self.driver.wait(10)
