"""The library of the many-client driver (tests/soak/clients.py): processes
that print one line per event and the threads that read them, the soak host
and client as processes (natively or under Wine), the private network
namespace, and a small model of what the server must show after each read
(the line framing and a light line, written from the rules, not from the
code).
"""
import atexit
import functools
import os
import queue
import shutil
import subprocess
import sys
import tempfile
import threading

TIMEOUT = 20.0  # Seconds for any one answer; sanitizers and Wine are slow.
SUPPORT_DIR = os.path.dirname(os.path.abspath(__file__))
DEPS = os.path.join(SUPPORT_DIR, "..", "..", "scripts", "deps.sh")  # The scripts' shared shell helpers.


class Failure(Exception):
    pass


def enter_private_net():
    """Runs this program again in a network namespace of its own
    (tests/support/private_net.sh): the abstract socket name is global per
    namespace, and other runs on this machine serve it too."""
    if os.environ.get("PIPESERVER_PRIVATE_NET") != "1":
        script = os.path.join(SUPPORT_DIR, "private_net.sh")
        os.execvp("bash", ["bash", script, sys.executable] + sys.argv)


@functools.lru_cache(maxsize=None)
def wine_loader(path):
    """The Wine loader for the .exe, as the scripts choose it (wine64 for an
    x86-64 one: the process started, killed and measured is then the
    program, not a start.exe of the 32-bit loader)."""
    return subprocess.run(["bash", "-c", 'source "$0" && wine_loader_for "$1"', DEPS, path],
                          check=True, capture_output=True, text=True).stdout.strip()


def command(path, wine):
    return [wine_loader(path), path] if wine else [path]


class LineReader:
    """A process's output lines, on a queue, read by a thread of their own."""

    def __init__(self, stream):
        self.stream = stream
        self.lines = queue.Queue()
        self.thread = threading.Thread(target=self._pump, daemon=True)
        self.thread.start()

    def _pump(self):
        for raw in iter(self.stream.readline, b""):
            self.lines.put(raw.decode("latin-1").rstrip("\r\n"))
        self.lines.put(None)

    def close(self):
        """After the process has ended. The stream is closed only once the
        thread has seen its end: closed earlier, its descriptor number could
        be reused by the next process's pipe while the thread still reads."""
        self.thread.join(timeout=TIMEOUT)
        if not self.thread.is_alive():
            self.stream.close()

    def next(self, what, timeout=TIMEOUT):
        try:
            line = self.lines.get(timeout=timeout)
        except queue.Empty:
            raise Failure("nothing within %.0f s while waiting for %s" % (timeout, what))
        if line is None:
            raise Failure("output ended while waiting for %s" % what)
        return line

    def pending(self):
        out = []
        while not self.lines.empty():
            out.append(self.lines.get())
        return out


class Host:
    """The host (tests/soak/soak_host.cpp): the real listener, one state
    line per repaint request; with "emulation", the port unused."""

    def __init__(self, path, wine, *args):
        self.wine = wine
        self.port = "emulation" not in args
        self.process = subprocess.Popen(command(path, wine) + list(args), stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, bufsize=0)
        self.output = LineReader(self.process.stdout)
        # The Linux client watches the host's listener thread to pace its writes.
        os.environ["SOAK_HOST_PID"] = str(self.process.pid)

    def expect(self, wanted, context):
        line = self.output.next("the state line " + wanted)
        if line != wanted:
            raise Failure("%s\n  expected: %s\n  got:      %s" % (context, wanted, line))

    def expect_start(self):
        display = Display(self.port)
        display.apply(b">???")
        self.expect(display.state_line(), "the listener's start")
        return display

    def handles(self):
        """Descriptors from /proc on Linux; under Wine, the host's own count."""
        if not self.wine:
            return len(os.listdir("/proc/%d/fd" % self.process.pid))
        self.process.stdin.write(b"handles\n")
        line = self.output.next("the handle count")
        if not line.startswith("handles "):
            raise Failure("asked for handles, got: " + line)
        return int(line.split()[1])

    def rss_kb(self):
        with open("/proc/%d/status" % self.process.pid) as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        raise Failure("no VmRSS")

    def cpu_ticks(self):
        """utime + stime of all its threads (fields 14 and 15 of /proc/PID/stat)."""
        with open("/proc/%d/stat" % self.process.pid) as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return int(fields[11]) + int(fields[12])

    def stop(self):
        try:
            self.process.stdin.write(b"quit\n")
            self.process.wait(timeout=10)
        except (OSError, subprocess.TimeoutExpired):
            self.process.kill()
            self.process.wait()


# What Wine's loader prints (channel err:virtual, so even under
# WINEDEBUG=-all,err+virtual) when a new process cannot map the shared user
# data at its fixed address (STATUS_CONFLICTING_ADDRESSES): the process ends
# before main(), without a word on standard output. Seen once in 6,302
# client starts (15 soak runs of 400 sessions) with Debian's Wine 8, which
# has no preloader to reserve the address before the kernel's randomized
# mappings can take it.
WINE_START_FAILURE = b"failed to map the shared user data"


class Client:
    """One soak_client process (tests/soak/soak_client.cpp) and its answers.
    Its standard error goes to a file of its own in log_dir (SOAK_CLIENT_LOG,
    or a folder of this run), under Wine with WINEDEBUG=-all,err+virtual (or
    SOAK_CLIENT_WINEDEBUG), so that a client that ends without a word can be
    told apart: Wine could not start it, or it failed."""

    count = 0
    run_log_dir = None

    def __init__(self, path, wine, log_dir=None):
        Client.count += 1
        self.number = Client.count
        self.connected = False
        log_dir = log_dir or os.environ.get("SOAK_CLIENT_LOG")
        if not log_dir:
            if Client.run_log_dir is None:
                Client.run_log_dir = tempfile.mkdtemp(prefix="soak-clients-")
                atexit.register(shutil.rmtree, Client.run_log_dir, True)
            log_dir = Client.run_log_dir
        self.log = os.path.join(log_dir, "client-%d.err" % self.number)
        env = dict(os.environ)
        if wine:
            env["WINEDEBUG"] = os.environ.get("SOAK_CLIENT_WINEDEBUG", "-all,err+virtual")
        with open(self.log, "wb") as stderr:
            self.process = subprocess.Popen(command(path, wine), stdin=subprocess.PIPE,
                                            stdout=subprocess.PIPE, stderr=stderr, env=env, bufsize=0)
        self.answers = LineReader(self.process.stdout)

    def errors(self):
        with open(self.log, "rb") as log:
            return log.read()

    def expect_connected(self):
        """Waits for "connected". Returns False when Wine could not start the
        process (WINE_START_FAILURE in its standard error, no word on its
        output); raises Failure for any other silence or answer."""
        try:
            answer = self.answers.next("the connection")
        except Failure:  # Nothing within TIMEOUT, or the output ended.
            answer = None
        if answer is not None and answer != "connected":
            raise Failure("client %d, waiting for the connection: %s" % (self.number, answer))
        if answer is None:
            try:
                code = self.process.wait(timeout=TIMEOUT)
            except subprocess.TimeoutExpired:
                raise Failure("client %d stopped answering before it connected" % self.number)
            errors = self.errors()
            if WINE_START_FAILURE in errors:
                return False
            raise Failure("client %d ended before it connected, exit code %d; standard error: %r"
                          % (self.number, code, errors[-500:]))
        self.connected = True
        return True

    def write(self, data):
        self.process.stdin.write(b"w " + data.hex().encode() + b"\n" if data else b"z\n")

    def expect(self, wanted, what, timeout=TIMEOUT):
        answer = self.answers.next(what, timeout)
        if answer != wanted:
            raise Failure("client, waiting for %s: %s" % (what, answer))

    def send_lines(self, count):
        """count light commands >5L0001 on, each read by the server before the next."""
        self.process.stdin.write(b"r %d\n" % count)
        self.expect("ok", "the answer to %d lines" % count, timeout=TIMEOUT + count / 100.0)

    def quit(self):
        self.process.stdin.write(b"q\n")
        self.process.wait(timeout=TIMEOUT)

    def end(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait()
        self.process.stdin.close()
        self.answers.close()


# --- the model -----------------------------------------------------------

LINE_FEED = 0x0A
MAX_LINE = 8     # '>' and at most 7 further characters.
READ_SIZE = 18   # The server's reads.


def frame(read):
    """The line that one read yields (bytes, without the line feed), or None."""
    line = b""
    for byte in read:
        if not line:
            if byte == ord(">"):
                line = b">"
            continue
        if byte == LINE_FEED:
            return line
        line += bytes([byte])
        if len(line) > MAX_LINE:
            return None
    return None


def read_hex(text):
    """The hexadecimal reading rule; None when no digit is read."""
    i = 0
    while i < len(text) and (text[i] == 0x20 or 0x09 <= text[i] <= 0x0D):
        i += 1
    negative = False
    if i < len(text) and text[i] in b"+-":
        negative = text[i] == ord("-")
        i += 1
    if text[i:i + 2] in (b"0x", b"0X"):
        i += 2
    digits = b""
    while i < len(text) and chr(text[i]) in "0123456789abcdefABCDEF":
        digits += bytes([text[i]])
        i += 1
    if not digits:
        return None
    number = int(digits, 16) % 2**32
    return (-number) % 2**32 if negative else number


class Display:
    """Status text, lamp bytes, and the two latches on the port."""

    def __init__(self, port=True):
        self.port = port  # In the emulation mode the latches stay 0.
        self.status = b""
        self.lamps = [0, 0]
        self.latches = [0, 0]

    def apply(self, line):
        # The status text is a C string: a NUL byte in a line ends it there.
        text = line.split(b"\0")[0][:MAX_LINE]
        self.status = text
        if len(text) < 3 or text[0:1] != b">" or text[2:3] != b"L" or text[1:2] not in (b"3", b"5"):
            return
        value = read_hex(text[3:])
        if value is None:
            return  # A value field without a number leaves the lamps alone.
        self.lamps = [value & 0xFF, (value >> 8) & 0xFF]
        if not self.port:
            return
        self.latches[0] = self.lamps[0]
        if text[1:2] == b"5":
            self.latches[1] = self.lamps[1]

    def state_line(self):
        return 'state status="%s" lamps=%02x %02x latches=%02x %02x' % (
            escape(self.status), self.lamps[0], self.lamps[1], self.latches[0], self.latches[1])


def escape(text):
    return "".join(chr(b) if 0x20 <= b < 0x7F and b not in b'"\\' else "\\x%02x" % b for b in text)
