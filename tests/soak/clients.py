#!/usr/bin/env python3
"""The many-client driver: real clients against the real listener in the
host (tests/soak/soak_host.cpp).

  clients.py listener --host H --client C --lightsend L [--wine]
      the listener's behaviour scenario by scenario, with lightsend and raw
      clients: a check per line the host shows
  clients.py soak --host H --client C [--sessions 1000] [--seed N]
      many sessions, each write checked against the model
      (tests/support/pipe_harness.py), then descriptors (handles) and memory
  clients.py idle --host H --client C [--lines 100000]
      no CPU while waiting, alone or with a silent client; no memory growth

Linux: re-runs itself in a private network namespace
(tests/support/private_net.sh), where the abstract socket name is its own.
--wine: the .exe files under Wine (WINEPREFIX from the environment); handles
are then counted by the host itself. Each soak client's standard error is
kept (pipe_harness.Client: SOAK_CLIENT_LOG=DIR, SOAK_CLIENT_WINEDEBUG).
"""
import argparse
import os
import random
import signal
import socket
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from pipe_harness import (READ_SIZE, TIMEOUT, Client, Display, Failure, Host, command,  # noqa: E402
                          enter_private_net, frame)


# --- what a session writes ---------------------------------------------------

NEAR_MISSES = [b">5l12", b">4L12", b">5Lzz", b">5L", b">5L0x", b">5L-1", b">5L 12", b">5L12345",
               b">", b">5L1\r", b">A\0B", b">5\0L1", b">3L 0xg", b">5L+7f", b">xxx", b">5L0X1"]
NOISE = b">\n\0\xff53Lx0 -+\r" + bytes(range(256))


def random_command(rng, short=False):
    mode = rng.choice(b"35")
    value = rng.randrange(0x10000)
    digits = ("%X" if short else rng.choice(["%X", "%x", "%04X", "0x%X"])) % value
    return b">%cL" % mode + digits.encode()


def random_write(rng):
    """One write, and whether it is longer than a read (then it holds no line feed)."""
    kind = rng.randrange(100)
    if kind < 3:  # A write of no bytes at all: changes nothing, ends nothing.
        return b""
    if kind < 45:
        return random_command(rng) + b"\n"
    if kind < 60:
        return rng.choice(NEAR_MISSES) + rng.choice([b"\n", b"\r\n"])
    if kind < 75:  # Random bytes, within one read.
        return bytes(rng.choice(NOISE[:14]) if rng.random() < 0.5 else rng.randrange(256)
                     for _ in range(rng.randint(1, 18)))
    if kind < 82:  # Too long: nine or more characters before the line feed.
        return b">" + bytes(rng.choice(b"5L0123abcXYZ") for _ in range(rng.randint(8, 15))) + b"\n"
    if kind < 88:  # Two lines in one write: only the first counts.
        return random_command(rng, True) + b"\n" + random_command(rng, True) + b"\n"
    if kind < 94:  # Noise, then a line.
        return b"\0\xff \n"[:rng.randint(1, 4)] + random_command(rng) + b"\n"
    # An endless line: many reads' worth, '>' here and there, never a line feed.
    body = bytes(rng.choice(b">5L0123456789ABCDEFxyz\0\xff\r") for _ in range(rng.randint(19, 400)))
    return b">" + body


def model_after_write(display, data):
    """Applies what the server makes of one write; returns True when a line is applied."""
    if len(data) > READ_SIZE:
        # Spread over several reads; with no line feed none of them yields a line.
        assert b"\n" not in data
        return False
    line = frame(data)
    if line is None:
        return False
    display.apply(line)
    return True


# --- one session -------------------------------------------------------------

def connected_client(client, start_client, stats):
    """The client once it has said "connected", or, when Wine could not start
    it (pipe_harness.WINE_START_FAILURE: its loader's address-space conflict,
    a fault of Wine's start-up and not of the pipe), another one in its
    place, counted and said. Any other silence fails the soak."""
    for _ in range(3):
        if client.expect_connected():
            return client
        stats["wine start failures"] += 1
        print("  client %d: Wine could not start it (%s); started another"
              % (client.number, client.errors().decode("latin-1").strip()), flush=True)
        client.end()
        client = start_client()
    raise Failure("Wine could not start three clients in a row")


def run_session(number, rng, host, client, display, stats, queued_line, start_client):
    """One session on client: 1 to 20 writes (random_write), each paced to
    be a read of its own and each state line checked against the model;
    then it closes, closes in the middle of a line, is killed (between
    writes, or while it writes a long line), or hands over to the next
    session's client, which connected and wrote a line meanwhile. Then the
    host must show ">xxx" with the lamps and latches of the last good
    command. queued_line: a line it wrote while the previous client was
    still being served (already applied and checked). Returns the next
    session's client when this one ends in a hand-over."""
    history = [] if queued_line is None else [queued_line]
    next_client = None
    ending = "?"
    try:
        if not client.connected:
            client = connected_client(client, start_client, stats)
        if queued_line is not None:
            client.expect("ok", "the answer to the queued line")
        ending = rng.choices(["close", "cut", "kill", "kill-writing", "hand-over"],
                             weights=[55, 15, 10, 10, 10])[0]
        writes = [random_write(rng) for _ in range(rng.randint(1, 20))]
        if ending == "cut":  # The last write stops in the middle of a line.
            writes.append(random_command(rng)[:rng.randint(1, 7)])
        for data in writes:
            history.append(data)
            client.write(data)
            client.expect("ok", "the answer to a write")
            stats["writes"] += 1
            if model_after_write(display, data):
                stats["applied"] += 1
                host.expect(display.state_line(), "session %d, after writing %r" % (number, data))
        next_line = None
        if ending == "hand-over":
            # The next client connects and writes one line while this one is
            # still served; it must be served, line and all, once this goes.
            next_client = start_client()
            next_line = random_command(rng, short=True) + b"\n"  # At most 7 characters: applied.
            next_client.write(next_line)
            time.sleep(rng.choice([0, 0.01]))
        if ending == "kill-writing":
            # Killed while it writes a long line, which none, some or all of
            # may reach the server: without a line feed none of it counts.
            data = b">5L" + bytes(rng.choice(b"0123456789ABCDEF") for _ in range(rng.randint(20, 400)))
            history.append(data)
            client.write(data)
            time.sleep(rng.choice([0, 0.0005, 0.002]))
        if ending.startswith("kill"):
            client.process.send_signal(signal.SIGKILL)
            stats["killed"] += 1
        else:
            client.quit()
        client.process.wait(timeout=TIMEOUT)
        display.apply(b">xxx")
        host.expect(display.state_line(), "session %d, after the client went (%s)" % (number, ending))
        if next_client is not None:
            replacement = connected_client(next_client, start_client, stats)
            if replacement is not next_client:  # Never ran: its line was never written.
                next_client.end()
                return replacement, None
            stats["handed-over"] += 1
            assert model_after_write(display, next_line)
            host.expect(display.state_line(), "session %d, the queued client's line %r" % (number + 1, next_line))
            return next_client, next_line
        return None, None
    except Failure as failure:
        if next_client is not None:
            next_client.end()
        code = client.process.poll()
        raise Failure("%s\n  session ending: %s\n  session writes: %r\n  client %d: %s, standard error %s: %r"
                      % (failure, ending, history, client.number,
                         "running" if code is None else "exit code %d" % code, client.log,
                         client.errors()[-500:]))
    finally:
        client.end()


# --- checks ------------------------------------------------------------------

class Checks:
    """Pass/fail points, each printed; the verdict at the end."""

    def __init__(self):
        self.failures = 0

    def check(self, ok, what, detail=""):
        print(("ok: %s" if ok else "FAIL: %s" + detail) % what, flush=True)
        self.failures += 0 if ok else 1
        return ok

    def next(self, host, wanted):
        """The host's next line is wanted; nothing at all ends the run."""
        got = host.output.next(wanted)
        self.check(got == wanted, wanted, "\n  got: " + got)

    def status(self, what, got, wanted):
        self.check(got == wanted, "%s: exit status %s" % (what, got), ", want %s" % wanted)

    def verdict(self):
        print("all checks passed" if not self.failures else "%d check(s) failed" % self.failures)
        return 1 if self.failures else 0


def state(status, bank0, bank1):
    """The emulation host's state line (no port: the latches stay 0)."""
    return 'state status="%s" lamps=%02x %02x latches=00 00' % (status, bank0, bank1)


# --- the listener's scenarios --------------------------------------------------

def listener(args):
    wine = args.wine
    limit = 20 if wine else 10         # Each Wine process takes a moment to start.
    delay, rate = (300, 5) if wine else (200, 10)  # lightsend's pause (ms), a pattern's steps a second.
    pipe = "\\\\.\\pipe\\tormelin" if wine else "the abstract socket @tormelin"
    bind_error = 231 if wine else 98   # ERROR_PIPE_BUSY (Wine, as Windows), EADDRINUSE.
    c = Checks()

    def lightsend(*words, stdin=None, background=False):
        run = command(args.lightsend, wine) + list(words)
        if background:
            return subprocess.Popen(run, stderr=subprocess.PIPE)
        done = subprocess.run(run, input=stdin, stderr=subprocess.PIPE, timeout=limit)
        return done.returncode, done.stderr.decode("latin-1").replace("\r", "")

    def says(what, stderr, text):
        c.check("lightsend: " + text in stderr.splitlines(), what, ": " + stderr)

    def shows(*states):  # The host's next state lines: (status, bank0, bank1) each.
        for status, bank0, bank1 in states:
            c.next(host, state(status, bank0, bank1))

    def applied(status, bank0, bank1):  # The line, then, its client gone, ">xxx".
        shows((status, bank0, bank1), (">xxx", bank0, bank1))

    def quiet(seconds):
        time.sleep(seconds)
        extra = host.output.pending()
        c.check(not extra, "nothing new for %s s" % seconds, ": %r" % extra)

    def connect():  # The listener may show ">???" a moment before it listens.
        for _ in range(100):
            client = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            try:
                client.connect("\0tormelin")
                return client
            except ConnectionRefusedError:
                client.close()
                time.sleep(0.1)
        raise Failure("no listener on @tormelin within 10 s")

    def raw(data):  # One client, one write, then it goes.
        with connect() as client:
            client.sendall(data)

    print("--- the listener starts and waits")
    host = Host(args.host, wine, "emulation")
    try:
        c.next(host, state(">???", 0, 0))
        print("--- connect, send, disconnect, again and again")
        for value in (0x1234, 0x1, 0x80, 0xFF00, 0x8001, 0):
            line = ">5L%X" % value
            if wine:
                c.check(lightsend(line)[0] == 0, "lightsend " + line)
            else:
                raw(line.encode() + b"\n")
            applied(line, value & 0xFF, value >> 8)

        if not wine:
            print("--- framing as the client sees it")
            for data, status, bank0, bank1 in ((b">5L12\r\n", ">5L12\\x0d", 0x12, 0),  # The carriage return is kept.
                                               (b">5L1\n>5L2\n", ">5L1", 1, 0),  # Two lines in one write: the first.
                                               (b">5L123456\n", None, 1, 0),  # Nine characters: dropped.
                                               # Bytes before '>' skipped; one bank still draws both rows.
                                               (b"  >3L1234\n", ">3L1234", 0x34, 0x12), (b">\n", ">", 0x34, 0x12)):
                raw(data)
                shows(*([(status, bank0, bank1)] if status else []), (">xxx", bank0, bank1))

            print("--- a client that sends nothing: the end of its connection, no spinning")
            connect().close()
            c.next(host, state(">xxx", 0x34, 0x12))
            before = host.cpu_ticks()
            time.sleep(1)
            ticks = host.cpu_ticks() - before  # A listener spinning on 0-byte reads: about 100.
            c.check(ticks < 20, "idle listener used %d ticks in 1 s" % ticks, ": spinning")

        print("--- lightsend: arguments, standard input, a pattern")
        c.check(lightsend("--delay", str(delay), ">5L1", ">3LFF", ">4L12", ">")[0] == 0, "lightsend arguments")
        shows((">5L1", 1, 0), (">3LFF", 0xFF, 0), (">4L12", 0xFF, 0), (">", 0xFF, 0), (">xxx", 0xFF, 0))
        c.check(lightsend("--delay", str(delay), "-", stdin=b">5L8001\r\n>5L0\n")[0] == 0, "lightsend -")
        shows((">5L8001", 1, 0x80), (">5L0", 0, 0), (">xxx", 0, 0))
        for round in (1, 2, 3):
            c.check(lightsend(">5L%d" % round)[0] == 0, "lightsend round %d" % round)
            applied(">5L%d" % round, round, 0)
        c.check(lightsend("--pattern", "chaser", "--rate", str(rate), "--seconds", "1.6", "--mode", "3")[0] == 0,
                "pattern")
        for i in range(rate * 16 // 10):
            c.next(host, state(">3L%04X" % (1 << i % 8), 1 << i % 8, 0))
        c.next(host, state(">3L0000", 0, 0))  # A pattern ends with every lamp off.
        c.next(host, state(">xxx", 0, 0))

        print("--- lightsend refuses a line the server would drop, or a rate that is no number, before sending")
        for what, words, why in (("a line too long", (">5L1", ">5L123456"), "longer than 8 characters"),
                                 ("a rate that is no number", ("--pattern", "chaser", "--rate", "nan"),
                                  '"nan" is not a number')):
            code, stderr = lightsend(*words)
            c.status(what, code, 2)
            c.check(why in stderr, "says why", ": " + stderr)
        quiet(0.5)

        print("--- a second copy cannot take the name; the first keeps serving")
        second = Host(args.host, wine, "emulation")
        c.next(second, state(">???", 0, 0))
        c.next(second, "BOX 40 Debug Window: Error return code from CreateNamedPipe = %d." % bind_error)
        c.next(second, "ended code=0")
        try:
            c.check(second.process.wait(timeout=10) is not None, "second copy ended")
        except subprocess.TimeoutExpired:
            c.check(False, "second copy ended", ": still running after 10 s")
        second.stop()
        c.check(lightsend(">5L4321")[0] == 0, "lightsend after the second copy")
        applied(">5L4321", 0x21, 0x43)

        if not wine:
            print("--- a client of another user is refused unread")
            if c.check(subprocess.run(["id", "nobody"], capture_output=True).returncode == 0, "a user nobody"):
                subprocess.run(["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                "socat", "-", "ABSTRACT-CONNECT:tormelin"], input=b">5LFFFF\n",
                               stderr=subprocess.DEVNULL, timeout=limit)
                quiet(0.5)
                raw(b">5L5\n")  # Served next, with nothing of the refused client in between.
                applied(">5L5", 5, 0)

        print("--- a client that comes while another is served waits its turn")
        sender = lightsend("--delay", str(delay * 5), ">5L1", ">5L2", background=True)
        c.next(host, state(">5L1", 1, 0))
        c.check(lightsend(">5L7")[0] == 0, "the waiting client")
        c.status("the first client", sender.wait(timeout=limit), 0)
        applied(">5L2", 2, 0)
        applied(">5L7", 7, 0)

        print("--- while a client is served, another is turned away, and lightsend says busy")
        if not wine:  # At once, never queued: its line is never applied.
            held = connect()
            held.sendall(b">5L11\n")
            c.next(host, state(">5L11", 0x11, 0))
            with connect() as refused:
                refused.settimeout(10)
                try:  # Let go before or after its line came.
                    refused.sendall(b">5L22\n")
                    let_go = refused.recv(16) == b""
                except (BrokenPipeError, ConnectionResetError):
                    let_go = True
                except socket.timeout:
                    let_go = False
                c.check(let_go, "the second client was let go while the first is connected")
            held.sendall(b">5L33\n")  # The first is still served.
            c.next(host, state(">5L33", 0x33, 0))
        else:  # The pipe stays busy for longer than lightsend waits for it.
            sender = lightsend("--delay", "6000", ">5L1", ">5L2", background=True)
            c.next(host, state(">5L1", 1, 0))
        code, stderr = lightsend(">5L44")
        c.status("busy", code, 1)
        says("says busy", stderr, "the pipe server on %s is busy with another client" % pipe)
        if not wine:
            held.close()
            c.next(host, state(">xxx", 0x33, 0))
            quiet(0.5)  # Neither the refused client's line nor lightsend's comes later.
            raw(b">5L5\n")
            applied(">5L5", 5, 0)
        else:
            c.status("first client", sender.wait(timeout=limit), 0)
            applied(">5L2", 2, 0)

        if not wine:
            print("--- Ctrl-C ends a pattern cleanly")
            sender = subprocess.Popen([args.lightsend, "--pattern", "chaser"])
            c.next(host, state(">5L0001", 1, 0))
            sender.send_signal(signal.SIGINT)
            c.status("Ctrl-C", sender.wait(timeout=10), 0)
            deadline = time.monotonic() + 10
            last = None
            while not (got := host.output.next("the end of the pattern")).startswith('state status=">xxx"'):
                last = got
                if time.monotonic() > deadline:
                    raise Failure("no >xxx within 10 s of Ctrl-C")
            c.check(True, "(after skipping) >xxx")
            # Ctrl-C, too, ends a pattern with every lamp off.
            c.check(last == state(">5L0000", 0, 0), "all off before >xxx", ": %r" % last)

        print("--- the server goes away while lightsend plays")
        sender = lightsend("--pattern", "blink", "--rate", "20", "--seconds", "8", background=True)
        c.next(host, state(">5LFFFF", 0xFF, 0xFF))
        host.process.kill()
        host.process.wait()
        c.status("server gone", sender.wait(timeout=limit), 1)
        says("says the server went away", sender.stderr.read().decode("latin-1").replace("\r", ""),
             "the pipe server on %s went away" % pipe)

        print("--- lightsend with no server")
        code, stderr = lightsend(">5L1")
        c.status("no server", code, 1)
        says("says no server listens", stderr, "no pipe server is listening on %s" % pipe)
    except Failure as failure:
        c.check(False, "the run", ": " + str(failure))
    finally:
        host.stop()
    return c.verdict()


# --- the soak, the idle check ------------------------------------------------------

def soak(args):
    seed = args.seed if args.seed is not None else random.randrange(2**32)
    rng = random.Random(seed)
    print("soak: %d sessions, seed %d%s" % (args.sessions, seed, " (Wine)" if args.wine else ""), flush=True)

    host = Host(args.host, args.wine)
    stats = {"writes": 0, "applied": 0, "killed": 0, "handed-over": 0, "wine start failures": 0}
    started = time.monotonic()
    try:
        display = host.expect_start()

        def start_client():
            return Client(args.client, args.wine)

        client, queued_line = None, None
        baseline = None
        for number in range(args.warmup + args.sessions):
            # Between sessions, and not while a queued client is connected.
            if number >= args.warmup and baseline is None and client is None:
                baseline = host.handles(), host.rss_kb()
            client, queued_line = run_session(number, rng, host, client or start_client(), display, stats,
                                              queued_line, start_client)
            if number % 250 == 249:
                print("  %d sessions, %.0f s" % (number + 1, time.monotonic() - started), flush=True)
        if client is not None:  # The last session handed over: let the queued client go.
            if queued_line is not None:
                client.expect("ok", "the answer to the queued line")
            client.quit()
            client.end()
            display.apply(b">xxx")
            host.expect(display.state_line(), "the queued client after the last session")
        if baseline is None:
            raise Failure("every session after the warm-up handed over: no baseline")
        handles_before, rss_before = baseline
        time.sleep(0.2)
        extra = host.output.pending()
        if extra:
            raise Failure("unexpected output after the last session: %r" % extra)
        handles_after, rss_after = host.handles(), host.rss_kb()
    except Failure as failure:
        print("FAIL (seed %d): %s" % (seed, failure), flush=True)
        host.stop()
        return 1
    host.stop()

    print("  %(writes)d writes, %(applied)d lines applied, %(killed)d clients killed, "
          "%(handed-over)d clients queued behind another, %(wine start failures)d that Wine could not start"
          % stats)
    print("  %.1f s" % (time.monotonic() - started))
    c = Checks()
    c.check(handles_after == handles_before, "%s: %d after warm-up, %d at the end"
            % ("handles" if args.wine else "descriptors", handles_before, handles_after), " (seed %d)" % seed)
    c.check(rss_after <= rss_before + args.rss_slack_kb, "VmRSS: %d kB after warm-up, %d kB at the end, slack %d kB"
            % (rss_before, rss_after, args.rss_slack_kb), " (seed %d)" % seed)
    return c.verdict()


def idle(args):
    """1. Waiting for a client: the host's CPU ticks over --idle-seconds must
    not move by more than --max-ticks. 2. The same with a connected client
    that sends nothing. 3. VmRSS after a warm-up of 1,000 lines and after
    --lines more, each read before the next is written."""
    host = Host(args.host, args.wine)
    client = None
    c = Checks()

    def idle_ticks(what):
        before = host.cpu_ticks()
        time.sleep(args.idle_seconds)
        ticks = host.cpu_ticks() - before
        c.check(ticks <= args.max_ticks, "CPU ticks over %.0f s %s: %d" % (args.idle_seconds, what, ticks),
                ", more than %d" % args.max_ticks)

    def lines(count):  # One state line per line sent; the last carries its value.
        client.send_lines(count)
        display = Display()
        display.apply(b">5L%04X" % (count & 0xFFFF))
        for _ in range(count - 1):
            host.output.next("the state line of a sent line")
        c.next(host, display.state_line())

    try:
        host.expect_start()
        time.sleep(1.0)  # Let start-up's own work (Wine's above all) settle.
        idle_ticks("waiting for a client")
        client = Client(args.client, args.wine)
        client.expect("connected", "the client's connection")
        time.sleep(0.5)
        idle_ticks("with a silent client")
        lines(1000)
        rss_before = host.rss_kb()
        started = time.monotonic()
        lines(args.lines)
        rss_after = host.rss_kb()
        c.check(rss_after <= rss_before + args.rss_slack_kb, "VmRSS over %d lines: %d kB before, %d kB after, %.1f s"
                % (args.lines, rss_before, rss_after, time.monotonic() - started), ": grew")
    except Failure as failure:
        c.check(False, "the run", ": " + str(failure))
    finally:
        if client is not None:
            client.end()
        host.stop()
    return c.verdict()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    scenarios = parser.add_subparsers(dest="scenario", required=True)
    for name, options in (("listener", ["--host", "--client", "--lightsend"]), ("soak", ["--host", "--client"]),
                          ("idle", ["--host", "--client"])):
        sub = scenarios.add_parser(name)
        for option in options:
            sub.add_argument(option, required=True)
        sub.add_argument("--wine", action="store_true", help="run the .exe files under Wine")
    scenarios.choices["soak"].add_argument("--sessions", type=int, default=1000)
    scenarios.choices["soak"].add_argument("--warmup", type=int, default=20, help="sessions before the baseline")
    scenarios.choices["soak"].add_argument("--seed", type=int, default=None)
    scenarios.choices["idle"].add_argument("--idle-seconds", type=float, default=5.0)
    scenarios.choices["idle"].add_argument("--max-ticks", type=int, default=2)
    scenarios.choices["idle"].add_argument("--lines", type=int, default=100000)
    for name, slack in (("soak", 512), ("idle", 1024)):
        scenarios.choices[name].add_argument("--rss-slack-kb", type=int, default=slack)
    args = parser.parse_args()
    if args.wine and not os.environ.get("WINEPREFIX"):
        parser.error("--wine needs WINEPREFIX (the build's own prefix, with wineserver -p running)")
    if not args.wine:
        enter_private_net()
    return {"listener": listener, "soak": soak, "idle": idle}[args.scenario](args)


if __name__ == "__main__":
    sys.exit(main())
