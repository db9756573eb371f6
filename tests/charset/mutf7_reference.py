#!/usr/bin/env python3
"""Independent modified UTF-7 encoder for the differential test: Python's own utf-7 codec
with the substitutions of IMAP mailbox names ("&" shifts instead of "+", "," replaces "/" in
base64, a literal "&" is written "&-").

Reads UTF-8 lines on stdin, writes one encoded line per input line on stdout. Printable ASCII
is copied (Python's codec would shift some of it); every other run goes through the codec.
"""
import re
import sys

PRINTABLE = re.compile(r"([\x20-\x7e]+)")


def encode(name):
    out = []
    for part in PRINTABLE.split(name):
        if not part:
            continue
        if PRINTABLE.fullmatch(part):
            out.append(part.replace("&", "&-"))
        else:
            b64 = part.encode("utf-7").decode("ascii")
            assert b64.startswith("+") and b64.endswith("-"), b64
            out.append("&" + b64[1:].replace("/", ","))
    return "".join(out)


for raw in sys.stdin.buffer.read().split(b"\n")[:-1]:
    sys.stdout.write(encode(raw.decode("utf-8")) + "\n")
