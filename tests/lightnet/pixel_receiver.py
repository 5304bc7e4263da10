#!/usr/bin/env python3
"""A stand-in for a WLED strip, written from WLED's published protocols:
UDP realtime on port 21324 (byte 0 the protocol: 2 DRGB, 4 DNRGB with a
big-endian start index; byte 1 the seconds before WLED takes the strip
back, 0 at once, 255 never) and DDP on port 4048 (10-byte header: flags
with version 1 and push, sequence, data type, destination, big-endian
offset and length). It binds 127.0.0.1 only, ends when the strip is
handed back (a realtime packet with timeout 0) or after --seconds, and
prints one JSON object: every packet decoded, and the strip as it stood
after each frame.

  pixel_receiver.py --pixels N --seconds S --ready FILE > result.json
"""
import argparse
import json
import select
import socket
import struct
import time


def decode_realtime(data, strip):
    kind, timeout = data[0], data[1]
    if kind == 2:
        start, payload = 0, data[2:]
    elif kind == 4:
        start, payload = struct.unpack(">H", data[2:4])[0], data[4:]
    else:
        return {"protocol": kind, "malformed": "unknown protocol"}
    row = {"protocol": "DRGB" if kind == 2 else "DNRGB", "timeout": timeout,
           "start": start, "pixels": len(payload) // 3}
    if len(payload) % 3:
        row["malformed"] = "not whole pixels"
    if timeout != 0:  # 0: WLED leaves realtime mode and ignores the pixels.
        for i in range(len(payload) // 3):
            if start + i < len(strip):
                strip[start + i] = payload[3 * i:3 * i + 3].hex()
    return row


def decode_ddp(data, strip):
    flags, sequence, kind, destination = data[0], data[1], data[2], data[3]
    offset, length = struct.unpack(">IH", data[4:10])
    payload = data[10:]
    row = {"protocol": "DDP", "version": flags >> 6, "push": bool(flags & 1),
           "sequence": sequence & 0x0F, "type": kind, "destination": destination,
           "offset": offset, "length": length}
    if length != len(payload) or offset % 3 or length % 3:
        row["malformed"] = "length or offset"
    for i in range(length // 3):
        pixel = offset // 3 + i
        if pixel < len(strip):
            strip[pixel] = payload[3 * i:3 * i + 3].hex()
    return row


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--pixels", type=int, required=True)
    parser.add_argument("--seconds", type=float, required=True)
    parser.add_argument("--ready", required=True)
    args = parser.parse_args()
    sockets = {}
    for name, port in (("wled", 21324), ("ddp", 4048)):
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.bind(("127.0.0.1", port))
        sockets[s] = name
    strips = {name: ["000000"] * args.pixels for name in sockets.values()}
    result = {name: {"packets": [], "frames": []} for name in sockets.values()}
    open(args.ready, "w").close()
    end = time.monotonic() + args.seconds
    handed_back = False
    while time.monotonic() < end and not handed_back:
        ready, _, _ = select.select(list(sockets), [], [], max(0.0, end - time.monotonic()))
        for s in ready:
            data = s.recv(2048)
            name = sockets[s]
            row = (decode_realtime if name == "wled" else decode_ddp)(data, strips[name])
            row["time"] = round(time.monotonic(), 4)
            result[name]["packets"].append(row)
            # A DDP frame ends with its push; each realtime packet is shown.
            handed_back = handed_back or (name == "wled" and row.get("timeout") == 0)
            if name == "wled" or row.get("push"):
                result[name]["frames"].append("".join(strips[name]))
    print(json.dumps(result))


if __name__ == "__main__":
    main()
