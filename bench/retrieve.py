"""The order retrieval done with Python's standard mailbox and email modules,
for comparison: every message of the Maildir read oldest first, the first
attachment of each order copied into MapiIn with the same durable publish
(written under a dot name, synced, renamed, the folder synced).
Usage: retrieve.py MAILDIR PROGRAM_FOLDER"""
import email.policy
import mailbox
import os
import sys

maildir, home = sys.argv[1], sys.argv[2]
target = os.path.join(home, "MapiIn")
os.makedirs(target, exist_ok=True)
box = mailbox.Maildir(maildir, factory=None, create=False)
keys = sorted(box.keys(), key=lambda k: (os.path.getmtime(os.path.join(maildir, box._lookup(k))), k))
count = 0
for key in keys:
    try:
        message = email.message_from_binary_file(box.get_file(key), policy=email.policy.default)
    except (KeyError, FileNotFoundError):
        continue  # moved meanwhile: found again by its key
    count += 1
    subject = str(message.get("Subject", ""))
    attachments = list(message.iter_attachments())
    if not attachments or "pedido trambelo" not in subject.lower():
        continue
    part = attachments[0]
    name = os.path.basename(part.get_filename() or "adjunto")
    staged = os.path.join(target, "." + name + ".tmp")
    with open(staged, "wb") as f:
        f.write(part.get_payload(decode=True))
        f.flush()
        os.fdatasync(f.fileno())
    os.rename(staged, os.path.join(target, name))
    fd = os.open(target, os.O_RDONLY | os.O_DIRECTORY)
    os.fsync(fd)
    os.close(fd)
print(f"{count} correos analizados")
