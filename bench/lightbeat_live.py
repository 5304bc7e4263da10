"""Pieces shared by the live lightbeat benchmarks (lightbeat_latency.sh)."""
import array
import subprocess
import threading
import time
import wave

RATE = 48000


def write_track(path, samples):
    """samples: array of 16-bit values, stereo interleaved, at RATE."""
    with wave.open(path, "wb") as w:
        w.setnchannels(2); w.setsampwidth(2); w.setframerate(RATE)
        w.writeframes(samples.tobytes())


def listen(server, lines, connected, once=False):
    """The listener on the real transport: reads of at most 18 bytes, as the
    program reads; appends (arrival, line) for each light line."""
    while True:
        conn, _ = server.accept()
        connected.set()
        while True:
            data = conn.recv(18)
            now = time.monotonic()
            if not data:
                break
            text = data.decode(errors="replace")
            if text.startswith(">") and "\n" in text:
                lines.append((now, text.split("\n")[0]))
        conn.close()
        if once:
            return


def read_monitor(each):
    """The bare read loop: parec at 5 ms on the private sink's monitor, in a
    thread; each(arrival, samples) per read of 5 ms. Returns the process."""
    parec = subprocess.Popen(["parec", "--device=lightbeat_test.monitor", "--latency-msec=5",
                              "--format=s16le", "--rate=48000", "--channels=2", "--raw"],
                             stdout=subprocess.PIPE, bufsize=0)

    def loop():
        while True:
            chunk = parec.stdout.read(960)
            now = time.monotonic()
            if not chunk:
                return
            each(now, array.array("h", chunk[: len(chunk) // 4 * 4]))
    threading.Thread(target=loop, daemon=True).start()
    return parec


def lit_after_dark(lines):
    """The arrival of each line that lights a lamp after all were dark."""
    lit, dark = [], True
    for now, line in lines:
        on = not line.endswith("0000")
        if on and dark:
            lit.append(now)
        dark = not on
    return lit
