#!/usr/bin/env python3
"""Soak: many client sessions, one after another, against the real listener
in the soak host, each checked line by line against the model in
tests/support/pipe_harness.py.

Each session connects a soak_client, makes 1 to 20 writes (commands, near
misses, random bytes with NUL and 0xFF, over-long lines, endless lines
without a line feed, writes of no bytes), each paced so that it is a read
of its own, and ends by closing, by closing in the middle of a line, by
SIGKILL (between writes, or while it writes a long line), or by handing
over to the next session's client, which connected and wrote a line
meanwhile. Every state line the host prints must be the model's, in order;
after each session the host must show ">xxx" with the lamps and latches of
the last good command. At the end the host's descriptors (or handles) and
memory must be where they were after the warm-up.

  soak_driver.py --host soak_host --client soak_client [--sessions 1000]
                 [--seed N] [--wine] [--rss-slack-kb 512]

Linux: re-runs itself in a private network namespace
(tests/support/private_net.sh) so that the abstract socket name is its own.
--wine: runs the .exe files under Wine (WINEPREFIX from the environment);
handles are then counted by the host itself (every handle value that
GetHandleInformation accepts). Each client's standard error is kept, in
SOAK_CLIENT_LOG=DIR if given, under Wine with WINEDEBUG=-all,err+virtual or
$SOAK_CLIENT_WINEDEBUG (for example +seh,+process) for the clients alone. A
client that Wine could not start (pipe_harness.WINE_START_FAILURE) is
replaced and counted; any other client that ends before connecting fails.
"""
import argparse
import os
import random
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from pipe_harness import READ_SIZE, TIMEOUT, Client, Display, Failure, Host, parse_driver_args, frame  # noqa: E402


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
    """Runs one session on client. queued_line: a line it wrote while the
    previous client was still being served (already applied and checked).
    Returns the next session's client when this one ends in a hand-over."""
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


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--sessions", type=int, default=1000)
    parser.add_argument("--warmup", type=int, default=20, help="sessions before the baseline is taken")
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--rss-slack-kb", type=int, default=512)
    args = parse_driver_args(parser)

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
    print("  %s: %d after warm-up, %d at the end" % ("handles" if args.wine else "descriptors",
                                                      handles_before, handles_after))
    print("  VmRSS: %d kB after warm-up, %d kB at the end" % (rss_before, rss_after))
    print("  %.1f s" % (time.monotonic() - started))
    if handles_after != handles_before:
        print("FAIL (seed %d): handles or descriptors leaked" % seed)
        return 1
    if rss_after > rss_before + args.rss_slack_kb:
        print("FAIL (seed %d): memory grew by more than %d kB" % (seed, args.rss_slack_kb))
        return 1
    print("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main())
