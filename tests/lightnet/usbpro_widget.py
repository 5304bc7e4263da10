#!/usr/bin/env python3
"""A stand-in for a DMX USB Pro, written from the widget's published API: on
its serial port every message is 0x7E, a label, the data's length (low
byte first), the data and 0xE7. Label 3 with a 2-byte data (the user
configuration's size wanted) asks for the widget's parameters; it answers
label 3 with the firmware version (2 bytes), the break and the
mark-after-break times (units of 10.67 us), the rate (frames a second) and
the user configuration bytes asked for. Label 6 is a DMX frame to send: the
start code, then 24 to 512 slots.

It opens PORT (one end of a pty pair), reads every byte for --seconds or
until the pty closes, and prints one JSON object: the requests, every frame
(arrival time, start code, levels of the first --channels slots as a
comma-joined string) and every fault of form found in the stream.

  usbpro_widget.py PORT --seconds S [--answer good|garbage|none]
                   [--channels N] [--ready FILE] > result.json
"""
import argparse
import json
import os
import select
import time

START, END = 0x7E, 0xE7
GARBAGE = b"OK\r\nready>"  # What a modem or a console might say.


def answer_parameters(user_size):
    data = bytes([0x2C, 0x01, 9, 1, 40]) + bytes(user_size)  # Firmware 1.44, break 9, MAB 1, 40 frames/s.
    return bytes([START, 3, len(data) & 0xFF, len(data) >> 8]) + data + bytes([END])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("port")
    parser.add_argument("--seconds", type=float, required=True)
    parser.add_argument("--answer", choices=("good", "garbage", "none"), default="good")
    parser.add_argument("--channels", type=int, default=40)
    parser.add_argument("--ready")
    args = parser.parse_args()

    fd = os.open(args.port, os.O_RDWR | os.O_NOCTTY)
    if args.ready:
        open(args.ready, "w").close()
    start = time.monotonic()
    result = {"requests": 0, "frames": [], "faults": [], "other": [], "closed": False}
    buffer = bytearray()
    while time.monotonic() - start < args.seconds:
        ready, _, _ = select.select([fd], [], [], 0.05)
        if not ready:
            continue
        try:
            chunk = os.read(fd, 4096)
        except OSError:  # The pty pair went away.
            chunk = b""
        if not chunk:
            result["closed"] = True
            break
        now = time.monotonic() - start
        buffer += chunk
        while buffer:
            if buffer[0] != START:
                skipped = 1
                while skipped < len(buffer) and buffer[skipped] != START:
                    skipped += 1
                result["faults"].append(f"{skipped} bytes outside any message: {bytes(buffer[:8]).hex()}")
                del buffer[:skipped]
                continue
            if len(buffer) < 4:
                break
            label, length = buffer[1], buffer[2] | buffer[3] << 8
            if length > 600:
                result["faults"].append(f"label {label}: length {length}")
                del buffer[:1]
                continue
            if len(buffer) < length + 5:
                break
            data, end = bytes(buffer[4:4 + length]), buffer[4 + length]
            del buffer[:length + 5]
            if end != END:
                result["faults"].append(f"label {label}: end byte {end:#x}")
                continue
            if label == 3:
                if length != 2:
                    result["faults"].append(f"parameters request of length {length}")
                    continue
                result["requests"] += 1
                reply = {"good": answer_parameters(data[0] | data[1] << 8), "garbage": GARBAGE,
                         "none": b""}[args.answer]
                if reply:
                    os.write(fd, reply)
            elif label == 6:
                if not 25 <= length <= 513:
                    result["faults"].append(f"DMX frame of {length - 1} slots")
                    continue
                slots = data[1:1 + args.channels]
                result["frames"].append([round(now, 4), data[0], length - 1, ",".join(map(str, slots))])
            else:
                result["other"].append(label)
    if buffer:
        result["faults"].append(f"{len(buffer)} bytes of an unfinished message at the end")
    print(json.dumps(result))


if __name__ == "__main__":
    main()
