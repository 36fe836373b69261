#!/usr/bin/env python3
"""Listens to Veltaro's state feed (docs/feed.md) and prints each datagram's fields.

First line: "listening PORT" (the port bound, useful with --port 0). Then one line per
datagram: its fields in the documented order, "name=value" separated by tabs, each value as
JSON writes it (null, 14074000, "tuned"), so that a line never holds a raw tab or line break.
A datagram that breaks the format (not JSON, a field missing, unknown or of the wrong type)
prints "invalid: REASON"; a sequence number that is not the one before plus one prints
"gap: FROM -> TO" before the datagram's line. With --ttl, each line ends with the datagram's
time to live as received (IPv4). Exits 0 after --count datagrams when none was invalid and no
gap was seen, 1 otherwise, and 2 when --timeout seconds pass without a datagram.

  tools/feed_listen.py --port 12070                      # watch a running Veltaro
  tools/feed_listen.py --port 0 --count 3 --timeout 20   # in a test: read the port, then lines
  tools/feed_listen.py --host 0.0.0.0 --join 239.255.120.70 --port 12070
"""
import argparse
import json
import socket
import struct
import sys

FIELDS = [  # name, the JSON types it may have
    ("program", (str,)),
    ("version", (str,)),
    ("sequence", (int,)),
    ("radioHz", (int, type(None))),
    ("relayedHz", (int, type(None))),
    ("relayedMHz", (str, type(None))),
    ("antennaState", (str,)),
    ("antennaHz", (int, type(None))),
    ("antennaDirection", (str, type(None))),
    ("interlock", (str,)),
    ("interlockReason", (str, type(None))),
    ("source", (str, type(None))),
    ("link", (str,)),
    ("linkReason", (str, type(None))),
]


def no_duplicates(pairs):
    keys = [k for k, _ in pairs]
    if len(set(keys)) != len(keys):
        raise ValueError("a field given twice")
    return dict(pairs)


def check(datagram):
    """The datagram's object, or raises ValueError with the reason."""
    obj = json.loads(datagram.decode("utf-8"), object_pairs_hook=no_duplicates)
    if not isinstance(obj, dict):
        raise ValueError("not an object")
    names = [name for name, _ in FIELDS]
    if list(obj) != names:
        raise ValueError("fields %s, expected %s" % (list(obj), names))
    for name, types in FIELDS:
        value = obj[name]
        if type(value) not in types:  # bool is no number here
            raise ValueError("%s has the wrong type: %r" % (name, value))
    if obj["sequence"] < 1:
        raise ValueError("sequence below 1")
    return obj


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=12070)
    parser.add_argument("--join", help="a multicast group to join (IPv4)")
    parser.add_argument("--count", type=int, default=0, help="stop after N datagrams")
    parser.add_argument("--timeout", type=float, default=0, help="seconds to wait for each")
    parser.add_argument("--ttl", action="store_true", help="print each datagram's time to live")
    args = parser.parse_args()

    family = socket.AF_INET6 if ":" in args.host else socket.AF_INET
    sock = socket.socket(family, socket.SOCK_DGRAM)
    if args.join:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.bind((args.host, args.port))
    if args.join:
        group = struct.pack("4s4s", socket.inet_aton(args.join), socket.inet_aton("0.0.0.0"))
        sock.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP, group)
    if args.ttl:
        sock.setsockopt(socket.IPPROTO_IP, getattr(socket, "IP_RECVTTL", 12), 1)  # 12 on Linux
    if args.timeout:
        sock.settimeout(args.timeout)
    print("listening %d" % sock.getsockname()[1], flush=True)

    faults, last, seen = 0, None, 0
    while not args.count or seen < args.count:
        try:
            datagram, ancillary, _, _ = sock.recvmsg(65536, 64)
        except socket.timeout:
            print("timeout", flush=True)
            return 2
        seen += 1
        try:
            obj = check(datagram)
        except ValueError as e:  # json's own errors are ValueErrors too
            print("invalid: %s" % e, flush=True)
            faults += 1
            continue
        if last is not None and obj["sequence"] != last + 1:
            print("gap: %d -> %d" % (last, obj["sequence"]), flush=True)
            faults += 1
        last = obj["sequence"]
        line = "\t".join("%s=%s" % (k, json.dumps(v, ensure_ascii=False)) for k, v in obj.items())
        for level, kind, data in ancillary:
            if level == socket.IPPROTO_IP and kind == socket.IP_TTL:
                line += "\tttl=%d" % struct.unpack("i", data[:4])[0]
        print(line, flush=True)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
