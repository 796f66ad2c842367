#!/usr/bin/env python3
"""The mailbox check dialogue through Python's poplib, for comparison with our client.

Log in, STAT, then TOP i 0 and LIST i for every message, QUIT; prints one line:
    messages=N wall_s=W cpu_s=C cpu_us_per_message=P
Usage: poplib_check.py PORT USER PASSWORD [ROUNDS]  (127.0.0.1 only; the best round is printed)
"""
import poplib
import sys
import time


def check(port, user, password):
    wall_start, cpu_start = time.perf_counter(), time.process_time()
    session = poplib.POP3("127.0.0.1", port)
    session.user(user)
    session.pass_(password)
    count, _ = session.stat()
    for number in range(1, count + 1):
        session.top(number, 0)
        session.list(number)
    session.quit()
    return count, time.perf_counter() - wall_start, time.process_time() - cpu_start


def main():
    if len(sys.argv) not in (4, 5):
        sys.exit(__doc__)
    port, user, password = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    rounds = int(sys.argv[4]) if len(sys.argv) == 5 else 1
    count, wall, cpu = min((check(port, user, password) for _ in range(rounds)), key=lambda result: result[1])
    per_message = cpu / count * 1e6 if count else 0.0
    print(f"messages={count} wall_s={wall:.4f} cpu_s={cpu:.4f} cpu_us_per_message={per_message:.1f}")


if __name__ == "__main__":
    main()
