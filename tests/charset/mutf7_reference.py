#!/usr/bin/env python3
"""Independent modified UTF-7 encoder for the differential test: Python's own utf-7 codec
with the substitutions of IMAP mailbox names ("&" shifts instead of "+", "," replaces "/" in
base64, a literal "&" is written "&-"). Printable ASCII is copied (Python's codec would shift
some of it); every other run goes through the codec.

Writes 2000 random names, one a line: the name in UTF-8, a tab, its encoding.
"""
import random
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


def character(rng):
    """Printable ASCII, the characters that matter to the encoding, Latin, anything in the BMP."""
    kind = rng.randrange(4)
    if kind == 0:
        return chr(0x20 + rng.randrange(0x5F))
    if kind == 1:
        return rng.choice("&+/-,~")
    c = 0x80 + rng.randrange(0x200 if kind == 2 else 0xFFFE - 0x80)
    return chr(0xE9 if 0xD800 <= c <= 0xDFFF else c)


rng = random.Random(7)
for _ in range(2000):
    name = "".join(character(rng) for _ in range(rng.randrange(12)))
    sys.stdout.buffer.write((name + "\t" + encode(name) + "\n").encode("utf-8"))
