#!/usr/bin/env python3
"""An Art-Net receiver written from Art-Net's published packet description:
an ArtDmx packet is the ID "Art-Net" and a zero, the OpCode 0x5000
(little-endian), the protocol version (big-endian, 14), a sequence, the
physical port, the port address (SubUni, Net), the data's length
(big-endian, even, 2 to 512) and the channels' levels. Other OpCodes
(ArtPoll, which QLC+ also sends) are counted and left.

It binds 127.0.0.1:6454 with SO_REUSEADDR: QLC+ holds the wildcard address
on the same port for its own Art-Net input, and the kernel gives a datagram
to 127.0.0.1 to the socket bound to that very address.

As a program it records every change of the first --channels levels of one
port address, stamped on arrival with the monotonic clock, as lines
"SECONDS LEVEL,LEVEL,...", until --seconds have passed or the file --stop
exists; the first line is the first frame. Malformed ArtDmx packets end it
with exit status 1, after the lines so far.

  artnet_dmx.py --channels N --seconds S [--universe U] [--stop FILE] [--ready FILE]
"""
import argparse
import os
import socket
import struct
import sys
import time

PORT = 6454
ART_DMX = 0x5000


def parse(data):
    """(port address, levels) of an ArtDmx packet, None for another OpCode;
    ValueError for a malformed one."""
    if len(data) < 10 or data[:8] != b"Art-Net\0":
        raise ValueError("no Art-Net ID")
    opcode = struct.unpack("<H", data[8:10])[0]
    if opcode != ART_DMX:
        return None
    if len(data) < 18:
        raise ValueError("ArtDmx header cut short")
    version, _sequence, _physical, sub_uni, net, length = struct.unpack(">HBBBBH", data[10:18])
    if version < 14:
        raise ValueError(f"protocol version {version}")
    if length < 2 or length > 512 or length % 2 or len(data) != 18 + length:
        raise ValueError(f"length {length} in a packet of {len(data)} bytes")
    return (net << 8) | sub_uni, data[18:]


def open_socket():
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", PORT))
    return s


def changes(s, universe, channels, until):
    """Yields (arrival, levels) for the first frame and each change; stops
    when until() is true (checked at least every 0.1 s)."""
    s.settimeout(0.1)
    last = None
    while not until():
        try:
            data = s.recv(1024)
        except socket.timeout:
            continue
        now = time.monotonic()
        frame = parse(data)
        if frame is None or frame[0] != universe:
            continue
        levels = tuple(frame[1][:channels]) + (0,) * max(0, channels - len(frame[1]))
        if levels != last:
            last = levels
            yield now, levels


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--channels", type=int, required=True)
    parser.add_argument("--seconds", type=float, required=True)
    parser.add_argument("--universe", type=int, default=0)
    parser.add_argument("--stop")
    parser.add_argument("--ready")
    args = parser.parse_args()
    s = open_socket()
    if args.ready:
        open(args.ready, "w").close()
    end = time.monotonic() + args.seconds

    def until():
        return time.monotonic() > end or (args.stop is not None and os.path.exists(args.stop))
    try:
        for now, levels in changes(s, args.universe, args.channels, until):
            print(f"{now:.6f} {','.join(map(str, levels))}", flush=True)
    except ValueError as e:
        print(f"malformed ArtDmx: {e}", file=sys.stderr)
        sys.exit(1)


if __name__ == "__main__":
    main()
