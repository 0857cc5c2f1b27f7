"""Moves a Maildir's messages from new/ to cur/, marked read, as another mail
program does while a scan runs. Usage: move_messages.py MAILDIR. It says
"ready" once it has listed them, and starts moving when a line comes in: its
own start-up, which takes a Python interpreter tens of milliseconds of CPU,
is not part of the scan it runs beside."""
import os
import sys
import time

box = sys.argv[1]
names = sorted(os.listdir(os.path.join(box, "new")))
print("ready", flush=True)
sys.stdin.readline()
for i, name in enumerate(names):
    try:
        os.rename(os.path.join(box, "new", name), os.path.join(box, "cur", name + ":2,S"))
    except FileNotFoundError:
        pass
    if i % 50 == 49:
        time.sleep(0.005)
