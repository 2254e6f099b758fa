#!/usr/bin/python3
"""A real SMTP server for the tests, on 127.0.0.1, built on aiosmtpd.

It listens on the given port (0: any free one) and prints "LISTENING <port>" once it does. Everything it
sees goes into the record folder: log.jsonl (one JSON object per line: connections, commands, logins,
messages) and one .eml file per received message. Switches make it misbehave the ways real servers do.
"""

import argparse
import asyncio
import itertools
import json
import logging
import os
import signal
import ssl
import sys
import time
import warnings

from base64 import b64decode, b64encode

from aiosmtpd.smtp import MISSING, SMTP, AuthResult, LoginPassword

GREETING_421 = "421 4.3.2 Service not available, closing transmission channel"
SYNC_554 = "554 5.5.0 SMTP synchronization error"
MAIL_421 = "421 4.3.2 Service shutting down, closing transmission channel"
IDLE_421 = "421 4.4.2 Idle timeout, closing transmission channel"
STRAY_250 = "250 2.0.0 EXTRA reply nobody asked for"
# Commands after which a client must wait for the reply even when PIPELINING is offered (RFC 2920).
GROUP_ENDS = {"EHLO", "HELO", "DATA", "QUIT", "STARTTLS", "AUTH", "NOOP", "VRFY", "EXPN"}


class Record:
    def __init__(self, folder):
        self.folder = folder
        os.makedirs(folder, exist_ok=True)
        self.log = open(os.path.join(folder, "log.jsonl"), "a", encoding="utf-8")
        self.messages = itertools.count(1)

    def write(self, **entry):
        self.log.write(json.dumps(entry, ensure_ascii=False) + "\n")
        self.log.flush()

    def save_message(self, data):
        name = "msg-%04d.eml" % next(self.messages)
        path = os.path.join(self.folder, name)
        with open(path + ".part", "wb") as f:
            f.write(data)
        os.replace(path + ".part", path)
        return name


class Handler:
    def __init__(self, config, record):
        self.config = config
        self.record = record
        self.refused = {a.lower() for a in config.refuse_rcpt}
        self.refused_senders = {a.lower() for a in config.refuse_sender}
        self.refused_content = {a.lower() for a in config.refuse_content}

    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        if self.config.no_ehlo:
            return ["502 5.5.1 Error: command not implemented"]
        session.host_name = hostname
        if self.config.auth_old_form:
            responses = [r.replace("250-AUTH ", "250-AUTH=") for r in responses]
        extensions = []
        if self.config.pipelining:
            extensions.append("250-PIPELINING")
        if self.config.chunking:
            extensions.append("250-CHUNKING")
        return responses[:-1] + extensions + responses[-1:]

    def refusal(self, code, status, text):
        """One line, or with --multiline-refusals three, each with the code and the enhanced status."""
        if not self.config.multiline_refusals:
            return "%s %s %s" % (code, status, text)
        return "%s-%s %s\r\n%s-%s Please check the address\r\n%s %s and try again" % (
            code, status, text, code, status, code, status)

    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        if address.lower() in self.refused_senders:
            return self.refusal(550, "5.7.1", "<%s>: Sender address rejected" % address)
        envelope.mail_from = address
        envelope.mail_options.extend(mail_options)
        return "250 2.1.0 OK"

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower() in self.refused:
            return self.refusal(550, "5.1.1", "<%s>: Recipient address rejected" % address)
        envelope.rcpt_tos.append(address)
        return "250 2.1.5 OK"

    async def handle_DATA(self, server, session, envelope):
        stray = ""
        if self.config.stray_reply == "END":
            self.config.stray_count += 1
            if self.config.stray_count == self.config.stray_at:
                stray = STRAY_250 + "\r\n"
        if any(r.lower() in self.refused_content for r in envelope.rcpt_tos):
            return stray + self.config.refuse_content_reply
        name = self.record.save_message(envelope.original_content)
        server.messages_here += 1
        self.record.write(conn=server.conn_id, event="message", file=name, mail_from=envelope.mail_from,
                          rcpt_tos=envelope.rcpt_tos)
        config = self.config
        if config.drop_after_data and server.messages_here == config.drop_after_data:
            # Took the message but the client never hears so.
            server.transport.abort()
            return "250 2.0.0 never sent"
        if config.delay and config.delay_on in ("END", "ALL"):
            await asyncio.sleep(config.delay)
        loop = asyncio.get_running_loop()
        if config.close_after and server.messages_here >= config.close_after:
            loop.call_later(0.05, server.close_quietly)
        if config.goodbye_after and server.messages_here >= config.goodbye_after:
            loop.call_later(0.05, server.say_goodbye)
        return stray + (self.config.accepted_reply or "250 2.0.0 OK queued as %s" % name)


class RecordingSMTP(SMTP):
    connections = itertools.count(1)

    def __init__(self, handler, config, record, **kwargs):
        super().__init__(handler, **kwargs)
        self.config = config
        self.record = record
        self.conn_id = next(RecordingSMTP.connections)
        self.messages_here = 0
        self.greeted = False
        self.stray_pending = False
        for name, method in list(self._smtp_methods.items()):
            self._smtp_methods[name] = self._recorded(name, method)
        # RFC 4954's limit for AUTH: an XOAUTH2 initial response with a real token is far beyond 512 bytes.
        # (The stream's line limit follows in main(), for XOAUTH2 servers only.)
        self.command_size_limits["AUTH"] = 12288

    def is_tls(self):
        if self._tls_protocol is not None:
            return True
        return self.transport is not None and self.transport.get_extra_info("ssl_object") is not None

    def _recorded(self, name, method):
        async def run(arg):
            shown = arg
            if name == "AUTH" and arg:
                shown = arg.split(" ")[0]  # the mechanism; an initial response would hold credentials
            # Bytes already waiting behind this command were sent before its reply: pipelined. (A BDAT
            # command's own chunk follows it, so there it says nothing.)
            pipelined = name != "BDAT" and len(self._reader._buffer) > 0
            self.record.write(conn=self.conn_id, cmd=name, arg=shown, tls=self.is_tls(), pipelined=pipelined)
            config = self.config
            if pipelined and (not config.pipelining or name in GROUP_ENDS):
                # What strict servers do to a client that talks ahead of them.
                self.record.write(conn=self.conn_id, event="sync-error", cmd=name)
                await self.push(SYNC_554)
                self.close_quietly()
                return
            if config.silent_after and self.messages_here >= config.silent_after:
                await asyncio.sleep(3600)  # gone silent, like a connection a firewall forgot
            if config.delay and config.delay_on in (name, "ALL"):
                await asyncio.sleep(config.delay)
            if config.drop_on == name and self.messages_here >= config.drop_on_after:
                self.record.write(conn=self.conn_id, event="drop", cmd=name)
                self.transport.abort()
                return
            if name in config.replies:
                config.reply_uses[name] = config.reply_uses.get(name, 0) + 1
                if not config.reply_times or config.reply_uses[name] <= config.reply_times:
                    return await self.push(config.replies[name])
            if name == config.flood_reply:
                # Continuation lines without end, far beyond any real reply.
                return await self.push("\r\n".join(["250-" + "x" * 70] * 1200 + ["250 end"]))
            for verb, after in (("MAIL", config.fail_mail_after), ("RCPT", config.fail_rcpt_after)):
                if name == verb and after is not None and self.messages_here >= after:
                    await self.push(MAIL_421)
                    self.close_quietly()
                    return
            # The stray reply goes in the same write as the command's own, so the client has both at once.
            if name == config.stray_reply:
                config.stray_count += 1
                self.stray_pending = config.stray_count == config.stray_at
            return await method(arg)
        return run

    async def smtp_BDAT(self, arg):
        """CHUNKING (RFC 3030): BDAT <size> [LAST], the chunk's bytes right after the command line."""
        words = (arg or "").split()
        if not self.config.chunking:
            return await self.push('500 Error: command "BDAT" not recognized')
        if not words or not words[0].isdigit() or len(words) > 2 \
                or (len(words) == 2 and words[1].upper() != "LAST"):
            await self.push("501 5.5.4 Syntax: BDAT <size> [LAST]")
            self.close_quietly()  # the chunk's length is unknown: the stream is lost
            return
        chunk = await self._reader.readexactly(int(words[0]))
        envelope = self.envelope
        if not envelope.mail_from or not envelope.rcpt_tos:
            self._set_rset_state()
            return await self.push("554 5.5.1 Error: no valid recipients")
        chunks = getattr(envelope, "chunks", [])
        chunks.append(chunk)
        envelope.chunks = chunks
        if len(words) == 1:
            return await self.push("250 2.0.0 %d bytes received" % len(chunk))
        envelope.original_content = envelope.content = b"".join(chunks)
        status = await self.event_handler.handle_DATA(self, self.session, envelope)
        self._set_post_data_state()
        await self.push(status)

    async def auth_XOAUTH2(self, _, args):
        """The OAuth 2.0 login of the big providers: "user=<address>^Aauth=Bearer <token>^A^A", checked
        against the tokens file the test OAuth provider keeps. A bad token gets what providers answer: a
        334 with a base64 JSON error, then, after the client's empty line, 535."""
        if len(args) == 1:
            blob = await self.challenge_auth("", encode_to_b64=False)
            if blob is MISSING:
                return AuthResult(success=False, handled=True)
        else:
            try:
                blob = b64decode(args[1].encode(), validate=True)
            except ValueError:
                await self.push("501 5.5.2 Can't decode base64")
                return AuthResult(success=False, handled=True)
        fields = dict(f.split("=", 1) for f in blob.decode("utf-8", "replace").split("\x01") if "=" in f)
        user = fields.get("user", "")
        token = fields.get("auth", "")[len("Bearer "):] if fields.get("auth", "").startswith("Bearer ") else ""
        ok = self.token_valid(user, token)
        self.record.write(conn=self.conn_id, auth="XOAUTH2", login=user, password=token, ok=ok)
        if ok:
            return AuthResult(success=True, auth_data=LoginPassword(user.encode(), token.encode()))
        error = json.dumps({"status": "401", "schemes": "bearer", "scope": "https://mail.example.test/"})
        await self.push("334 " + b64encode(error.encode()).decode())
        answer = await self._reader.readline()
        self.record.write(conn=self.conn_id, event="xoauth2-answer", empty=answer.strip() == b"")
        return AuthResult(success=False, handled=False, message=self.config.refuse_token_reply)

    def token_valid(self, user, token):
        if self.config.refuse_login or not self.config.oauth_tokens:
            return False
        try:
            with open(self.config.oauth_tokens, encoding="utf-8") as f:
                entry = json.load(f).get(token)
        except (OSError, ValueError):
            return False
        return bool(entry) and entry.get("valid", False) and entry.get("expires", 0) > time.time() \
            and entry.get("user", "").lower() == user.lower()

    def connection_made(self, transport):
        super().connection_made(transport)
        self.record.write(conn=self.conn_id, event="connect")

    def connection_lost(self, error):
        self.record.write(conn=self.conn_id, event="close")
        super().connection_lost(error)

    async def push(self, status):
        if not self.greeted:
            self.greeted = True
            if self.config.greeting_421:
                await super().push(GREETING_421)
                self.close_quietly()
                return
            if self.config.delay and self.config.delay_on in ("GREETING", "ALL"):
                await asyncio.sleep(self.config.delay)
        if self.stray_pending:
            self.stray_pending = False
            status += "\r\n" + STRAY_250
        await super().push(status)

    def close_quietly(self):
        if self.transport is not None:
            self.transport.close()

    def say_goodbye(self):
        if self.transport is not None:
            self.record.write(conn=self.conn_id, event="goodbye")
            self.transport.write((IDLE_421 + "\r\n").encode())
            self.transport.close()


def make_authenticator(config, record):
    def authenticate(server, session, envelope, mechanism, auth_data):
        login = password = None
        if isinstance(auth_data, LoginPassword):
            login = auth_data.login.decode("utf-8", "replace")
            password = auth_data.password.decode("utf-8", "replace")
        ok = (not config.refuse_login and login == config.user and password == config.password)
        record.write(conn=server.conn_id, auth=mechanism, login=login, password=password, ok=ok)
        return AuthResult(success=ok, handled=False, message=None if ok else config.refuse_login_reply)
    return authenticate


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--record", required=True, help="folder for log.jsonl and the .eml files")
    parser.add_argument("--auth", choices=["none", "login", "plain", "xoauth2"], default="none",
                        help="the one AUTH mechanism offered (and then required); xoauth2 offers LOGIN and "
                             "XOAUTH2, as Microsoft's and Google's servers do")
    parser.add_argument("--oauth-tokens", default="",
                        help="JSON file of the access tokens in force: {token: {user, expires, valid}}")
    parser.add_argument("--refuse-token-reply", default="535 5.7.3 Authentication unsuccessful",
                        help="the verdict on a refused XOAUTH2 token")
    parser.add_argument("--auth-optional", action="store_true", help="offer AUTH without requiring it")
    parser.add_argument("--user", default="user@example.test")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--refuse-login", action="store_true", help="answer every login with 535")
    parser.add_argument("--refuse-login-reply", default="535 5.7.8 Authentication credentials invalid",
                        help="the reply to a refused login")
    parser.add_argument("--auth-old-form", action="store_true",
                        help="offer AUTH only in the old form AUTH=LOGIN")
    parser.add_argument("--starttls", action="store_true")
    parser.add_argument("--implicit-tls", action="store_true")
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--pipelining", action="store_true", help="offer PIPELINING (RFC 2920)")
    parser.add_argument("--chunking", action="store_true", help="offer CHUNKING (RFC 3030)")
    parser.add_argument("--no-ehlo", action="store_true", help="answer EHLO with 502: HELO only")
    parser.add_argument("--smtputf8", action="store_true", help="offer SMTPUTF8 (RFC 6531)")
    parser.add_argument("--size-limit", type=int, default=None,
                        help="the SIZE limit offered and kept (0: none offered; default aiosmtpd's 32 MB)")
    parser.add_argument("--multiline-refusals", action="store_true",
                        help="refuse senders and recipients with three-line replies")
    parser.add_argument("--stray-reply", default="",
                        help="VERB[#N]: after answering the command the Nth time (default the first) in the "
                             "server's life send a 250 no command asked for, in the same write (END: before the "
                             "end of data's reply)")
    parser.add_argument("--reply", action="append", default=[],
                        help="VERB=TEXT: answer the command with TEXT (a line break in it starts a new line) "
                             "instead of handling it; END=TEXT for the end of data's reply to a stored message")
    parser.add_argument("--reply-times", type=int, default=0,
                        help="the --reply answers hold for the first N uses of their command in the server's "
                             "life only; then the command is handled (0: always)")
    parser.add_argument("--flood-reply", default="",
                        help="answer this command with 85 KB of continuation lines")
    parser.add_argument("--refuse-rcpt", action="append", default=[], help="answer RCPT for it with 550")
    parser.add_argument("--refuse-sender", action="append", default=[], help="answer MAIL for it with 550")
    parser.add_argument("--refuse-content", action="append", default=[],
                        help="answer the end of a message to this recipient with --refuse-content-reply")
    parser.add_argument("--refuse-content-reply", default="554 5.7.1 Message content rejected")
    parser.add_argument("--close-after", type=int, default=0,
                        help="close a connection after its Nth accepted message")
    parser.add_argument("--goodbye-after", type=int, default=0,
                        help="after the Nth message of a connection say 421 unasked and close it")
    parser.add_argument("--fail-mail-after", type=int, default=None,
                        help="after N messages of a connection answer MAIL with 421 and close")
    parser.add_argument("--fail-rcpt-after", type=int, default=None,
                        help="after N messages of a connection answer RCPT with 421 and close")
    parser.add_argument("--drop-on", default="",
                        help="drop the connection unanswered when this command arrives (see --drop-on-after)")
    parser.add_argument("--drop-on-after", type=int, default=0,
                        help="...once the connection has carried N messages")
    parser.add_argument("--silent-after", type=int, default=0,
                        help="after N messages of a connection answer nothing more")
    parser.add_argument("--greeting-421", action="store_true", help="greet with 421 and close")
    parser.add_argument("--drop-after-data", type=int, default=0,
                        help="keep the Nth message of a connection but drop the connection instead of answering")
    parser.add_argument("--delay", type=float, default=0, help="seconds to wait before answering")
    parser.add_argument("--delay-on", default="ALL",
                        help="GREETING, a command (EHLO, MAIL, RCPT, DATA...), END (end of data) or ALL")
    config = parser.parse_args()
    config.delay_on = config.delay_on.upper()
    config.drop_on = config.drop_on.upper()
    verb, _, nth = config.stray_reply.upper().partition("#")
    config.stray_reply, config.stray_at, config.stray_count = verb, int(nth or 1), 0
    config.flood_reply = config.flood_reply.upper()
    config.replies = {}
    for item in config.reply:
        verb, _, text = item.partition("=")
        config.replies[verb.upper()] = text.replace("\n", "\r\n")
    config.accepted_reply = config.replies.pop("END", None)
    config.reply_uses = {}

    warnings.simplefilter("ignore")
    logging.getLogger("mail.log").setLevel(logging.CRITICAL)
    record = Record(config.record)

    tls = None
    if config.starttls or config.implicit_tls:
        tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        tls.load_cert_chain(config.cert, config.key)

    kwargs = dict(hostname="tarnel-test-smtp", ident="Tarnel test SMTP", decode_data=False,
                  enable_SMTPUTF8=config.smtputf8)
    if config.size_limit is not None:
        kwargs["data_size_limit"] = config.size_limit
    if config.starttls:
        kwargs["tls_context"] = tls
    if config.auth != "none":
        kwargs.update(authenticator=make_authenticator(config, record),
                      auth_required=not config.auth_optional,
                      auth_require_tls=False,
                      auth_exclude_mechanism={"login": ["PLAIN", "XOAUTH2"], "plain": ["LOGIN", "XOAUTH2"],
                                              "xoauth2": ["PLAIN"]}[config.auth])
    handler = Handler(config, record)
    if config.auth == "xoauth2":
        RecordingSMTP.line_length_limit = 12288 + 2

    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    server = loop.run_until_complete(loop.create_server(
        lambda: RecordingSMTP(handler, config, record, loop=loop, **kwargs), host="127.0.0.1",
        port=config.port, ssl=tls if config.implicit_tls else None))
    for s in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(s, loop.stop)
    port = server.sockets[0].getsockname()[1]
    print("LISTENING %d" % port, flush=True)
    try:
        loop.run_forever()
    finally:
        server.close()
        record.log.close()


if __name__ == "__main__":
    sys.exit(main())
