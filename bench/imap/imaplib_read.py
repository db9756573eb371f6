#!/usr/bin/env python3
"""Reads one X-GETSCRIPT reply with Python's standard imaplib and prints the seconds it took.

usage: imaplib_read.py PORT USER PASSWORD ROUNDS
Logs in once, then times each round of the command alone and prints the best time and the
number of bytes of the script, as "seconds bytes".
"""
import imaplib
import sys
import time


def main():
    port, user, password, rounds = int(sys.argv[1]), sys.argv[2], sys.argv[3], int(sys.argv[4])
    imaplib.Commands.setdefault("X-GETSCRIPT", ("AUTH", "SELECTED"))
    imap = imaplib.IMAP4("127.0.0.1", port)
    imap.login(user, password)
    best = None
    size = 0
    for _ in range(rounds):
        start = time.perf_counter()
        typ, data = imap._simple_command("X-GETSCRIPT")
        typ, data = imap._untagged_response(typ, data, "X-GETSCRIPT")
        elapsed = time.perf_counter() - start
        if typ != "OK":
            print("command failed", typ, file=sys.stderr)
            return 1
        item = data[0]
        size = len(item[1]) if isinstance(item, tuple) else len(item)
        best = elapsed if best is None else min(best, elapsed)
    imap.logout()
    print(f"{best:.6f} {size}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
