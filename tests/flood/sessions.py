"""Client sessions against the program's socket with real clients: each
connects, sends 1 to 5 lines with a pause between them and goes; every
fourth is killed in the middle of a line. Prints the last line that a
session sent in full, then the lamp bytes it sets (bank0 bank1), by the
model in tests/support/pipe_harness.py.

Usage: sessions.py LIGHTSEND COUNT SEED
"""
import os
import random
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from pipe_harness import Display  # noqa: E402

lightsend, count, seed = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rng = random.Random(seed)
SOCAT = ["socat", "-u", "-", "ABSTRACT-CONNECT:tormelin"]
last = None


def line():
    return ">5L%04X" % rng.randrange(0x10000)


for session in range(count):
    lines = [line() for _ in range(rng.randint(1, 5))]
    if session % 4 == 3 and session != count - 1:
        # Killed mid-line: whole lines, then part of one, then SIGKILL.
        client = subprocess.Popen(SOCAT, stdin=subprocess.PIPE)
        for text in lines[:-1]:
            client.stdin.write((text + "\n").encode())
            client.stdin.flush()
            time.sleep(0.02)
        client.stdin.write(lines[-1][:4].encode())
        client.stdin.flush()
        time.sleep(0.02)
        client.kill()
        client.wait()
        client.stdin.close()
        continue  # What reached the program of this session is uncertain.
    if session % 2 == 0:
        subprocess.run([lightsend, "--delay", "20"] + lines, check=True, timeout=20)
    else:
        client = subprocess.Popen(SOCAT, stdin=subprocess.PIPE)
        for text in lines:
            client.stdin.write((text + "\n").encode())
            client.stdin.flush()
            time.sleep(0.02)
        client.stdin.close()
        if client.wait(timeout=20) != 0:
            sys.exit("socat failed")
    last = lines[-1]

display = Display()
display.apply(last.encode())
print(last, "%02x" % display.lamps[0], "%02x" % display.lamps[1])
