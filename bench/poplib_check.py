#!/usr/bin/env python3
"""The mailbox check dialogue through Python's poplib, for comparison with our client.

Log in, CAPA, STAT, then TOP i 0 and LIST i for every message, QUIT; prints one line:
    messages=N wall_s=W cpu_s=C cpu_us_per_message=P user_us_per_message=U sys_us_per_message=S
CPU is this process's own (user and system). Usage:
    poplib_check.py PORT USER PASSWORD [ROUNDS]  (127.0.0.1 only; the fastest round is printed)
"""
import poplib
import resource
import sys
import time


def cpu_times():
    usage = resource.getrusage(resource.RUSAGE_SELF)
    return usage.ru_utime, usage.ru_stime


def check(port, user, password):
    wall_start, (user_start, sys_start) = time.perf_counter(), cpu_times()
    session = poplib.POP3("127.0.0.1", port)
    session.user(user)
    session.pass_(password)
    session.capa()
    count, _ = session.stat()
    for number in range(1, count + 1):
        session.top(number, 0)
        session.list(number)
    session.quit()
    user_end, sys_end = cpu_times()
    return count, time.perf_counter() - wall_start, user_end - user_start, sys_end - sys_start


def main():
    if len(sys.argv) not in (4, 5):
        sys.exit(__doc__)
    port, user, password = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    rounds = int(sys.argv[4]) if len(sys.argv) == 5 else 1
    count, wall, user_cpu, sys_cpu = min((check(port, user, password) for _ in range(rounds)),
                                         key=lambda result: result[1])
    per_message = 1e6 / count if count else 0.0
    print(f"messages={count} wall_s={wall:.4f} cpu_s={user_cpu + sys_cpu:.4f} "
          f"cpu_us_per_message={(user_cpu + sys_cpu) * per_message:.1f} "
          f"user_us_per_message={user_cpu * per_message:.1f} sys_us_per_message={sys_cpu * per_message:.1f}")


if __name__ == "__main__":
    main()
