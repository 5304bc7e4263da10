#!/usr/bin/env python3
"""A receiver of WLED's audio sync (version 2, the "00002" packet of 44
bytes), written from WLED's published description, not from lightbeat's
code: checks every field of every packet, the rate, and that the peak flag
comes within one packet of each click's onset.

  wled_sync_receiver.py --group 239.0.0.1 --port 11988 --seconds 8 \
      --ready FILE --onsets ONSETS_FILE

Prints one line per check ("ok: ..." or "FAIL: ...") and exits 1 on a
failure. ONSETS_FILE is lightbeat --file --onsets of the click track
played (only their number is used: the clicks are found in the packets'
own loudness, so no clock is shared with the sender).
"""
import argparse
import socket
import struct
import sys
import time

# offset, layout: the packet as WLED's audio reactive usermod describes it.
FORMAT = "<6s2sffBB16sHff"
assert struct.calcsize(FORMAT) == 44

failures = 0


def check(ok, what):
    global failures
    print(("ok: " if ok else "FAIL: ") + what)
    if not ok:
        failures += 1


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--group", default="239.0.0.1")
    p.add_argument("--port", type=int, default=11988)
    p.add_argument("--seconds", type=float, default=8)
    p.add_argument("--ready")
    p.add_argument("--onsets")
    a = p.parse_args()

    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    first = int(a.group.split(".")[0])
    multicast = 224 <= first <= 239
    # A group is received on its own address; anything else on loopback only.
    s.bind((a.group if multicast else "127.0.0.1", a.port))
    if multicast:
        mreq = socket.inet_aton(a.group) + socket.inet_aton("127.0.0.1")
        s.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP, mreq)
    s.settimeout(0.2)
    if a.ready:
        open(a.ready, "w").close()

    packets = []  # (arrival, bytes)
    end = time.time() + a.seconds
    while time.time() < end:
        try:
            data = s.recv(2048)
        except socket.timeout:
            continue
        packets.append((time.time(), data))

    check(len(packets) > 0, f"{len(packets)} packets")
    if not packets:
        return 1
    sizes = {len(d) for _, d in packets}
    check(sizes == {44}, f"every packet 44 bytes ({sorted(sizes)})")
    good = [(t, struct.unpack(FORMAT, d)) for t, d in packets if len(d) == 44]
    bad = []
    for i, (t, f) in enumerate(good):
        header, pressure, raw, smooth, peak, counter, fft, zc, magnitude, major = f
        if header != b"00002\x00": bad.append(f"{i}: header {header!r}")
        if pressure != b"\0\0": bad.append(f"{i}: pressure {pressure!r}")
        if not 0 <= raw <= 255: bad.append(f"{i}: sampleRaw {raw}")
        if not 0 <= smooth <= 255: bad.append(f"{i}: sampleSmth {smooth}")
        if peak not in (0, 1): bad.append(f"{i}: samplePeak {peak}")
        if i and counter != (good[i - 1][1][5] + 1) % 256: bad.append(f"{i}: frameCounter {counter}")
        if zc != 0: bad.append(f"{i}: zeroCrossingCount {zc}")
        if not magnitude >= 0: bad.append(f"{i}: FFT_Magnitude {magnitude}")
        if not 1 <= major <= 11025: bad.append(f"{i}: FFT_MajorPeak {major}")
        # The strongest band's level is the magnitude, at that band's frequency.
        if max(fft) and abs(magnitude - max(fft)) > 0.6: bad.append(f"{i}: magnitude {magnitude} vs bands {max(fft)}")
        if not max(fft) and (magnitude != 0 or major != 1): bad.append(f"{i}: quiet bands, magnitude {magnitude} peak {major}")
    check(not bad, "every field in range and counting: " + ("; ".join(bad[:5]) or "all"))

    loud = [f for _, f in good if f[2] > 100]
    check(len(loud) > 0, f"the clicks are heard ({len(loud)} packets with sampleRaw above 100)")
    check(any(max(f[6]) > 100 for _, f in good), "the bands rise with the clicks")
    check(all(f[3] < 255 for _, f in good) and any(f[3] > 5 for _, f in good), "the smoothed level moves")

    span = good[-1][0] - good[0][0]
    rate = (len(good) - 1) / span if span > 0 else 0
    check(40 <= rate <= 50, f"rate {rate:.1f} packets a second (40 to 50)")

    if a.onsets:
        # The clicks as the packets show them: sampleRaw rising past 100.
        # The analysis calls no onset at the very first click (it has no
        # sound before it to compare), so the onsets of the file
        # (lightbeat --file --onsets) are the clicks after the first.
        onsets = len(open(a.onsets).read().split())
        clicks = [i for i in range(len(good)) if good[i][1][2] > 100 and (i == 0 or good[i - 1][1][2] <= 100)]
        check(len(clicks) == onsets + 1, f"{len(clicks)} clicks heard, {onsets} onsets in the file")
        missed = [i for i in clicks[1:] if not any(good[j][1][4] for j in (i, i + 1) if j < len(good))]
        check(not missed and onsets >= 8,
              f"the peak flag within one packet of each of {len(clicks) - 1} onsets" +
              (f"; missed at {[round(good[i][0] - good[0][0], 3) for i in missed]}" if missed else ""))
        # Held past WLED's 50 ms reset: in three packets a peak (66 ms at 45
        # a second; the span seen here also carries the way's jitter), and
        # nowhere else: each run of peak packets starts at a click or the
        # packet after it.
        runs = [i for i in range(len(good)) if good[i][1][4] and (i == 0 or not good[i - 1][1][4])]
        counts, spans = [], []
        for i in runs:
            j = i
            while j < len(good) and good[j][1][4]:
                j += 1
            counts.append(j - i)
            spans.append(good[min(j, len(good) - 1)][0] - good[i][0])
        stray = [round(good[i][0] - good[0][0], 3) for i in runs if not any(c <= i <= c + 1 for c in clicks)]
        check(not stray and len(runs) == onsets, f"{len(runs)} peaks, each at a click" +
              (f"; stray at {stray}" if stray else ""))
        check(counts and min(counts) >= 3,
              f"each peak in at least 3 packets (fewest {min(counts or [0])}; shortest span at arrival "
              f"{1000 * min(spans or [0]):.0f} ms)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
