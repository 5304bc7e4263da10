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

Linux: re-runs itself under 'unshare --net' (the socket name is global per
network namespace). --wine: the .exe files under Wine; the host's ticks are
then those of its Wine process.
"""
import argparse
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lamp_model  # noqa: E402
from soak_driver import Failure, Host, LineReader, command, TIMEOUT  # noqa: E402
import subprocess  # noqa: E402

WARM_UP_LINES = 1000


def cpu_ticks(pid):
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime, stime (fields 14 and 15).


def idle_ticks(host, seconds):
    before = cpu_ticks(host.process.pid)
    time.sleep(seconds)
    return cpu_ticks(host.process.pid) - before


class Client:
    def __init__(self, path, wine):
        self.process = subprocess.Popen(command(path, wine), stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, bufsize=0)
        self.answers = LineReader(self.process.stdout)
        if self.answers.next("the client's connection") != "connected":
            raise Failure("the client did not connect")

    def send_lines(self, count):
        self.process.stdin.write(b"r %d\n" % count)
        answer = self.answers.next("the client's answer", timeout=TIMEOUT + count / 100.0)
        if answer != "ok":
            raise Failure("client: " + answer)


def wait_for_lines(host, count):
    """The host prints one state line per applied line; the last must carry
    the last line's value."""
    display = lamp_model.Display()
    display.apply(b">5L%04X" % (count & 0xFFFF))
    last = None
    for _ in range(count):
        last = host.output.next("the state line of a sent line")
    if last != display.state_line():
        raise Failure("after %d lines:\n  expected: %s\n  got:      %s" % (count, display.state_line(), last))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--host", required=True)
    parser.add_argument("--client", required=True)
    parser.add_argument("--wine", action="store_true")
    parser.add_argument("--idle-seconds", type=float, default=5.0)
    parser.add_argument("--max-ticks", type=int, default=2)
    parser.add_argument("--lines", type=int, default=100000)
    parser.add_argument("--rss-slack-kb", type=int, default=1024)
    args = parser.parse_args()

    if args.wine and not os.environ.get("WINEPREFIX"):
        parser.error("--wine needs WINEPREFIX (the build's own prefix, with wineserver -p running)")
    if not args.wine and os.environ.get("PIPESERVER_PRIVATE_NET") != "1":
        os.environ["PIPESERVER_PRIVATE_NET"] = "1"
        os.execvp("unshare", ["unshare", "--net", sys.executable] + sys.argv)

    host = Host(args.host, args.wine)
    client = None
    failures = []
    try:
        display = lamp_model.Display()
        display.apply(b">???")
        host.expect(display.state_line(), "the listener's start")
        time.sleep(1.0)  # Let start-up's own work (Wine's above all) settle.

        ticks = idle_ticks(host, args.idle_seconds)
        print("CPU ticks over %.0f s waiting for a client: %d" % (args.idle_seconds, ticks), flush=True)
        if ticks > args.max_ticks:
            failures.append("the listener used %d ticks waiting for a client" % ticks)

        client = Client(args.client, args.wine)
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
            client.process.kill()
            client.process.wait()
        host.stop()

    for failure in failures:
        print("FAIL: " + failure)
    if not failures:
        print("PASS")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
