#!/usr/bin/env python3
"""A receiver of OS2L's beat messages (JSON over TCP, one object per message,
as the OS2L description gives them), written from that description, not
from lightbeat's code. Listens on loopback in sessions: each accepts one
connection and reads it for --seconds, then closes it and the listening
socket (--seconds counted from the connection, as a sender may be slow to
start), waits --gap seconds with nothing listening, and listens again: the
sender must reconnect by itself.

  os2l_receiver.py --port 9996 --sessions 6,12 --gap 2 --bpm 120 --ready FILE

Checks every read is one JSON document ({"evt":"beat","change":bool,
"pos":int,"bpm":number,"strength":0..1}, as QLC+ parses them), positions
counting up by one within a connection and never back across connections,
the tempo within 0.1 BPM of --bpm from each session's third beat, and
beats in every session. Prints "ok: ..." or "FAIL: ..." per check and
exits 1 on a failure.
"""
import argparse
import json
import socket
import sys
import time

failures = 0


def check(ok, what):
    global failures
    print(("ok: " if ok else "FAIL: ") + what)
    sys.stdout.flush()
    if not ok:
        failures += 1


def session(port, seconds, ready):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(1)
    if ready:
        open(ready, "w").close()
    messages, bad = [], []
    listener.settimeout(30)
    try:
        conn, _ = listener.accept()
    except socket.timeout:
        listener.close()
        return messages, bad, False
    end = time.monotonic() + seconds
    listener.close()  # One sender: nobody else gets in while this one reads.
    while True:
        left = end - time.monotonic()
        if left <= 0:
            break
        conn.settimeout(left)
        try:
            data = conn.recv(65536)
        except socket.timeout:
            break
        if not data:
            break
        try:
            messages.append(json.loads(data.decode("utf-8")))
        except ValueError:
            bad.append(data)
    conn.close()
    return messages, bad, True


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, default=9996)
    p.add_argument("--sessions", default="8", help="seconds of each session, comma-separated")
    p.add_argument("--gap", type=float, default=2)
    p.add_argument("--bpm", type=float, default=120)
    p.add_argument("--ready")
    a = p.parse_args()

    last_pos = 0
    for n, seconds in enumerate(float(s) for s in a.sessions.split(",")):
        if n > 0:
            time.sleep(a.gap)
        messages, bad, accepted = session(a.port, seconds, a.ready if n == 0 else None)
        name = "session %d" % (n + 1)
        check(accepted, name + ": the sender connected")
        check(not bad, name + ": every read one JSON document (%d not: %r)" % (len(bad), bad[:2]))
        check(len(messages) >= 4, name + ": beats arrived (%d)" % len(messages))
        fields = all(
            isinstance(m, dict) and m.get("evt") == "beat" and isinstance(m.get("change"), bool)
            and isinstance(m.get("pos"), int) and isinstance(m.get("bpm"), (int, float))
            and isinstance(m.get("strength"), (int, float)) and 0 <= m["strength"] <= 1
            for m in messages)
        check(fields, name + ": evt, change, pos, bpm and strength in every message")
        if not fields or not messages:
            continue
        positions = [m["pos"] for m in messages]
        check(positions[0] > last_pos, name + ": positions go on from the last connection's (%d after %d)"
              % (positions[0], last_pos))
        check(all(b == a_ + 1 for a_, b in zip(positions, positions[1:])),
              name + ": positions count up by one (%s)" % positions)
        if n == 0:
            check(positions[0] == 1, name + ": the first beat is position 1")
        last_pos = positions[-1]
        tempos = [m["bpm"] for m in messages[2:]]
        check(tempos and all(abs(t - a.bpm) <= 0.1 for t in tempos),
              name + ": the tempo within 0.1 of %g BPM from the third beat (%s)" % (a.bpm, tempos))
        check(all(m["strength"] > 0 for m in messages), name + ": strength above 0 on a click's beat")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
