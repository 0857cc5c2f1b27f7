"""Moves a Maildir's messages from new/ to cur/, marked read, as another mail
program does while a scan runs. Usage: move_messages.py MAILDIR"""
import os
import sys
import time

box = sys.argv[1]
for i, name in enumerate(sorted(os.listdir(os.path.join(box, "new")))):
    try:
        os.rename(os.path.join(box, "new", name), os.path.join(box, "cur", name + ":2,S"))
    except FileNotFoundError:
        pass
    if i % 50 == 49:
        time.sleep(0.005)
