#!/usr/bin/env python3
# The comparison for the whole-message benchmark: Python's email package parses the
# same message bytes and decodes the same parts. Prints the seconds it took.
import email
import sys
import time

with open(sys.argv[1], 'rb') as f:
    data = f.read()

start = time.perf_counter()
message = email.message_from_bytes(data)
decoded = 0
for part in message.walk():
    if part.is_multipart():
        continue
    payload = part.get_payload(decode=True)
    if part.get_content_maintype() == 'text':
        payload = payload.decode(part.get_content_charset() or 'ascii', 'replace').splitlines()
    decoded += len(payload)
elapsed = time.perf_counter() - start
print(f"{elapsed:.6f} {decoded}")
