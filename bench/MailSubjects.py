#!/usr/bin/env python3
# The comparison for the subject benchmark: Python's email package decodes the same
# subjects, one per line, into text. Prints the seconds it took.
import sys
import time
from email.header import decode_header, make_header

with open(sys.argv[1], 'rb') as f:
    subjects = f.read().decode('ascii').splitlines()

start = time.perf_counter()
decoded = 0
for subject in subjects:
    decoded += len(str(make_header(decode_header(subject))))
elapsed = time.perf_counter() - start
print(f"{elapsed:.6f} {decoded}")
