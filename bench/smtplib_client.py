#!/usr/bin/python3
"""Python's smtplib as a yardstick: sends COUNT text mails to HOST:PORT over one connection, each composed
anew (the same 20-line mail with umlauts as the delivery benchmarks), and prints mails per second."""

import smtplib
import sys
import time
from email.message import EmailMessage


def main():
    host, port, count = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    text = "\n".join("Sehr geehrte Frau Müller, dies ist Zeile %d der Nachricht mit Umlauten äöü." % i
                     for i in range(20))
    start = time.perf_counter()
    with smtplib.SMTP(host, port) as smtp:
        for _ in range(count):
            mail = EmailMessage()
            mail["From"] = "sender@example.test"
            mail["To"] = "Empfänger <recipient@example.test>"
            mail["Subject"] = "Unser Angebot für Sie"
            mail.set_content(text)
            smtp.send_message(mail)
    print(count / (time.perf_counter() - start))


if __name__ == "__main__":
    main()
