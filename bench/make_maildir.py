"""Writes a Maildir inbox for the benchmarks: COUNT messages, one in ten an
order (subject "PEDIDO TRAMBELO n") with a 100 KB attachment, the others
short mail. Usage: make_maildir.py FOLDER COUNT"""
import base64
import os
import sys

folder, count = sys.argv[1], int(sys.argv[2])
for sub in ("new", "cur", "tmp"):
    os.makedirs(os.path.join(folder, sub), exist_ok=True)
order = base64.encodebytes(bytes(range(256)) * 400).decode()  # 100 KB, in lines
for n in range(count):
    if n % 10 == 0:
        text = (f"From: Cliente {n} <c{n}@example.es>\nTo: pedidos@example.es\n"
                f"Subject: PEDIDO TRAMBELO {n}\nMIME-Version: 1.0\n"
                "Content-Type: multipart/mixed; boundary=\"m\"\n\n"
                "--m\nContent-Type: text/plain; charset=utf-8\n\nAdjunto el pedido.\n"
                f"--m\nContent-Type: text/csv; name=\"pedido-{n}.csv\"\n"
                f"Content-Disposition: attachment; filename=\"pedido-{n}.csv\"\n"
                f"Content-Transfer-Encoding: base64\n\n{order}--m--\n")
    else:
        text = (f"From: Remitente {n} <r{n}@example.es>\nTo: pedidos@example.es\n"
                f"Subject: Mensaje {n}\nMIME-Version: 1.0\n"
                "Content-Type: text/plain; charset=utf-8\n\n"
                + "Hola, esto es un mensaje corriente de la bandeja de entrada.\n" * 20)
    name = f"{1764000000 + n}.M{n}P1.bench"
    path = os.path.join(folder, "new", name)
    with open(path, "w") as f:
        f.write(text)
    os.utime(path, (1764000000 + n, 1764000000 + n))
