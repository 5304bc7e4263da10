#!/usr/bin/env python3
"""The listener waits without using the processor, and serving lines does
not grow its memory.

1. Waiting for a client: the host's CPU ticks (utime + stime of all its
   threads, /proc/PID/stat) over --idle-seconds must not move by more than
   --max-ticks.
2. The same with a client connected that sends nothing.
3. Memory: VmRSS after a warm-up of 1,000 lines and after --lines more
   (default 100,000), each line read by the server before the next is
   written; growth beyond --rss-slack-kb fails. The figures are printed.

  idle_check.py --host soak_host --client soak_client [--wine]
                [--idle-seconds 5] [--max-ticks 2] [--lines 100000]

Linux: re-runs itself in a private network namespace (the socket name is
global per namespace). --wine: the .exe files under Wine, each started with
the loader of its own kind (tests/support/pipe_harness.py), so that the
ticks and VmRSS are the host's own, not those of a start.exe in front of it.
"""
import argparse
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from pipe_harness import Client, Display, Failure, Host, parse_driver_args  # noqa: E402

WARM_UP_LINES = 1000


def idle_ticks(host, seconds):
    before = host.cpu_ticks()
    time.sleep(seconds)
    return host.cpu_ticks() - before


def wait_for_lines(host, count):
    """The host prints one state line per applied line; the last must carry
    the last line's value."""
    display = Display()
    display.apply(b">5L%04X" % (count & 0xFFFF))
    last = None
    for _ in range(count):
        last = host.output.next("the state line of a sent line")
    if last != display.state_line():
        raise Failure("after %d lines:\n  expected: %s\n  got:      %s" % (count, display.state_line(), last))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--idle-seconds", type=float, default=5.0)
    parser.add_argument("--max-ticks", type=int, default=2)
    parser.add_argument("--lines", type=int, default=100000)
    parser.add_argument("--rss-slack-kb", type=int, default=1024)
    args = parse_driver_args(parser)

    host = Host(args.host, args.wine)
    client = None
    failures = []
    try:
        host.expect_start()
        time.sleep(1.0)  # Let start-up's own work (Wine's above all) settle.

        ticks = idle_ticks(host, args.idle_seconds)
        print("CPU ticks over %.0f s waiting for a client: %d" % (args.idle_seconds, ticks), flush=True)
        if ticks > args.max_ticks:
            failures.append("the listener used %d ticks waiting for a client" % ticks)

        client = Client(args.client, args.wine)
        client.expect("connected", "the client's connection")
        time.sleep(0.5)
        ticks = idle_ticks(host, args.idle_seconds)
        print("CPU ticks over %.0f s with a silent client: %d" % (args.idle_seconds, ticks), flush=True)
        if ticks > args.max_ticks:
            failures.append("the listener used %d ticks with a silent client" % ticks)

        client.send_lines(WARM_UP_LINES)
        wait_for_lines(host, WARM_UP_LINES)
        rss_before = host.rss_kb()
        started = time.monotonic()
        client.send_lines(args.lines)
        wait_for_lines(host, args.lines)
        elapsed = time.monotonic() - started
        rss_after = host.rss_kb()
        print("VmRSS over %d lines: %d kB before, %d kB after (%+d kB), %.1f s"
              % (args.lines, rss_before, rss_after, rss_after - rss_before, elapsed), flush=True)
        if rss_after > rss_before + args.rss_slack_kb:
            failures.append("memory grew by %d kB" % (rss_after - rss_before))
    except Failure as failure:
        failures.append(str(failure))
    finally:
        if client is not None:
            client.end()
        host.stop()

    for failure in failures:
        print("FAIL: " + failure)
    if not failures:
        print("PASS")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
