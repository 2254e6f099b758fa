#!/usr/bin/python3
"""A local outbox for trying Tarnel without a mail account.

An SMTP server on 127.0.0.1 that accepts every message (and any login), keeps each one as an .eml file in
a folder and prints one line per message: the recipients, the subject and the size. Nothing is passed on.
It runs until it is interrupted or terminated.
"""

import argparse
import asyncio
import email.parser
import email.policy
import itertools
import logging
import os
import signal
import sys
import tempfile
import warnings

from aiosmtpd.smtp import SMTP, AuthResult


class Outbox:
    def __init__(self, folder):
        self.folder = folder
        self.numbers = itertools.count(1)
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        data = envelope.original_content
        name = "msg-%04d.eml" % next(self.numbers)
        path = os.path.join(self.folder, name)
        # Written aside and renamed, so a reader never finds half a message.
        with open(path + ".part", "wb") as f:
            f.write(data)
        os.replace(path + ".part", path)
        self.count += 1
        print("%s  to %s  subject \"%s\"  %d bytes" % (name, ", ".join(envelope.rcpt_tos), subject_of(data),
                                                       len(data)), flush=True)
        return "250 2.0.0 Saved as %s" % name


def subject_of(data):
    try:
        headers = email.parser.BytesParser(policy=email.policy.default).parsebytes(data, headersonly=True)
        subject = headers.get("Subject", "")
        return " ".join(str(subject).split())
    except Exception:  # a message the parser cannot read is still kept
        return "?"


def accept_any_login(server, session, envelope, mechanism, auth_data):
    return AuthResult(success=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=0, help="port on 127.0.0.1 (default: any free one)")
    parser.add_argument("--folder", help="where to keep the messages (default: a new temporary folder)")
    parser.add_argument("--port-file", help="write the port into this file once listening")
    args = parser.parse_args()

    folder = os.path.abspath(args.folder) if args.folder else tempfile.mkdtemp(prefix="tarnel-outbox-")
    os.makedirs(folder, exist_ok=True)
    warnings.simplefilter("ignore")
    logging.getLogger("mail.log").setLevel(logging.CRITICAL)

    outbox = Outbox(folder)
    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    # Logins are offered and taken whatever they say, without TLS: the messages never leave this machine.
    server = loop.run_until_complete(loop.create_server(
        lambda: SMTP(outbox, hostname="tarnel-outbox", ident="Tarnel outbox", decode_data=False,
                     authenticator=accept_any_login, auth_required=False, auth_require_tls=False),
        host="127.0.0.1", port=args.port))
    port = server.sockets[0].getsockname()[1]
    for s in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        loop.add_signal_handler(s, loop.stop)

    print("Outbox listening on 127.0.0.1:%d" % port, flush=True)
    print("Outbox keeps the messages in %s" % folder, flush=True)
    if args.port_file:
        with open(args.port_file + ".part", "w") as f:
            f.write("%d\n" % port)
        os.replace(args.port_file + ".part", args.port_file)
    try:
        loop.run_forever()
    finally:
        server.close()
        print("Outbox closed: %d message(s) in %s" % (outbox.count, folder), flush=True)


if __name__ == "__main__":
    sys.exit(main())
