#!/usr/bin/python3
"""An OAuth 2.0 provider for the tests, on 127.0.0.1: the authorization code flow with PKCE (S256) and the
refresh grant, as the big mail providers run them.

It listens on the given port (0: any free one) and prints "LISTENING <port>" once it does.
- GET /authorize: checks the request and redirects to its redirect_uri with a code (or, with
  --deny-consent, with error=access_denied), as a browser is redirected after the user's consent.
- POST /token: grant_type=authorization_code (the code once, the same redirect_uri, the PKCE verifier) or
  grant_type=refresh_token; answers with short-lived access tokens, refresh tokens and, for the scope
  "openid", an id_token naming the user. Refusals are 400/401 with a JSON error, as providers send them.
Every request goes into the record folder's log.jsonl. The access tokens in force go into the tokens file,
which the test SMTP server reads to check an XOAUTH2 login. Commands on stdin, each answered "OK <command>":
  revoke   every refresh and access token stops working (the user revoked the program's access)
  expire   every access token issued so far expires now
"""

import argparse
import base64
import hashlib
import itertools
import json
import os
import secrets
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlencode, urlsplit


def b64url(data):
    return base64.urlsafe_b64encode(data).rstrip(b"=").decode()


class Provider:
    def __init__(self, config):
        self.config = config
        self.lock = threading.Lock()
        self.serial = itertools.count(1)
        self.codes = {}     # code -> what the authorization request said
        self.refresh = {}   # refresh token -> {"valid": bool}
        self.access = {}    # access token -> {"user", "expires", "valid"}
        os.makedirs(config.record, exist_ok=True)
        self.log = open(os.path.join(config.record, "log.jsonl"), "a", encoding="utf-8")
        self.save_tokens()

    def write(self, **entry):
        with self.lock:
            self.log.write(json.dumps(entry) + "\n")
            self.log.flush()

    def save_tokens(self):
        part = self.config.tokens + ".part"
        with open(part, "w", encoding="utf-8") as f:
            json.dump(self.access, f)
        os.replace(part, self.config.tokens)

    def id_token(self):
        claims = {"iss": "http://127.0.0.1/", "aud": self.config.client_id, "sub": "test-user",
                  "email": self.config.user, "iat": int(time.time()),
                  "exp": int(time.time()) + self.config.expires_in}
        header = {"alg": "none", "typ": "JWT"}
        return b64url(json.dumps(header).encode()) + "." + b64url(json.dumps(claims).encode()) + "."

    def issue(self, scope, with_refresh):
        """Tokens for one grant; the caller holds the lock."""
        n = next(self.serial)
        # As long as real ones: an XOAUTH2 line far beyond 512 bytes.
        access = "at%d-%s" % (n, secrets.token_urlsafe(900))
        self.access[access] = {"user": self.config.user, "valid": True,
                               "expires": time.time() + self.config.expires_in}
        answer = {"access_token": access, "token_type": "Bearer", "expires_in": self.config.expires_in,
                  "scope": scope}
        if with_refresh:
            refresh = "rt%d-%s" % (n, secrets.token_urlsafe(48))
            self.refresh[refresh] = {"valid": True, "scope": scope}
            answer["refresh_token"] = refresh
        if "openid" in scope.split() and not self.config.no_id_token:
            answer["id_token"] = self.id_token()
        self.save_tokens()
        return answer

    def command(self, line):
        with self.lock:
            if line == "revoke":
                for entry in list(self.refresh.values()) + list(self.access.values()):
                    entry["valid"] = False
            elif line == "expire":
                for entry in self.access.values():
                    entry["expires"] = 0
            else:
                return "UNKNOWN " + line
            self.save_tokens()
        self.write(event="command", command=line)
        return "OK " + line


class Handler(BaseHTTPRequestHandler):
    provider = None

    def log_message(self, *args):
        pass

    def reply(self, status, body, content_type="application/json; charset=utf-8", headers=()):
        data = body.encode() if isinstance(body, str) else body
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Cache-Control", "no-store")
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(data)

    def do_GET(self):
        url = urlsplit(self.path)
        if url.path != "/authorize":
            return self.reply(404, "not here", "text/plain")
        query = {k: v[0] for k, v in parse_qs(url.query, keep_blank_values=True).items()}
        p = self.provider
        config = p.config
        redirect = query.get("redirect_uri", "")
        target = urlsplit(redirect)
        problem = None
        if query.get("client_id") != config.client_id:
            problem = "unknown client_id"
        elif target.scheme != "http" or target.hostname != config.redirect_host or not target.port:
            # Registered as "http://localhost": any port, no other host.
            problem = "redirect_uri not registered: " + redirect
        elif query.get("response_type") != "code":
            problem = "response_type must be code"
        elif query.get("code_challenge_method") != "S256" or len(query.get("code_challenge", "")) != 43:
            problem = "PKCE (S256) required"
        elif not query.get("state"):
            problem = "no state"
        elif config.scope and query.get("scope") != config.scope:
            problem = "scope %r, expected %r" % (query.get("scope"), config.scope)
        p.write(endpoint="authorize", ok=problem is None, error=problem, query=query)
        if problem:
            # A real provider shows its error page and never redirects to an address it does not know.
            return self.reply(400, problem, "text/plain")
        if config.deny_consent:
            answer = {"error": "access_denied", "error_description": "The user declined the consent.",
                      "state": query["state"]}
        else:
            code = secrets.token_urlsafe(32)
            with p.lock:
                p.codes[code] = {"challenge": query["code_challenge"], "redirect_uri": redirect,
                                 "scope": query.get("scope", "")}
            answer = {"code": code, "state": query["state"]}
        separator = "&" if "?" in redirect else "?"
        self.reply(302, "", "text/plain", [("Location", redirect + separator + urlencode(answer))])

    def do_POST(self):
        if urlsplit(self.path).path != "/token":
            return self.reply(404, "not here", "text/plain")
        length = int(self.headers.get("Content-Length", 0))
        body = self.rfile.read(length).decode()
        form = {k: v[0] for k, v in parse_qs(body, keep_blank_values=True).items()}
        p = self.provider
        config = p.config
        if config.token_delay:
            time.sleep(config.token_delay)
        grant = form.get("grant_type", "")
        status, answer = 400, None
        with p.lock:
            error = self.client_error(form)
            if error:
                status, answer = 401, error
            elif grant == "authorization_code":
                answer = self.code_grant(form)
            elif grant == "refresh_token":
                answer = self.refresh_grant(form)
            else:
                answer = {"error": "unsupported_grant_type"}
        ok = "access_token" in answer
        p.write(endpoint="token", grant_type=grant, ok=ok, error=answer.get("error"),
                description=answer.get("error_description"), redirect_uri=form.get("redirect_uri"),
                client_secret_sent="client_secret" in form, redirect_uri_sent="redirect_uri" in form,
                access_token=answer.get("access_token"), refresh_token=answer.get("refresh_token"),
                used_refresh_token=form.get("refresh_token"))
        self.reply(200 if ok else status, json.dumps(answer))

    def client_error(self, form):
        config = self.provider.config
        if form.get("client_id") != config.client_id:
            return {"error": "invalid_client", "error_description": "Unknown client."}
        if config.client_secret is None and "client_secret" in form:
            # What a public client's registration answers to any secret, even an empty one.
            return {"error": "invalid_client",
                    "error_description": "Client is public so no 'client_secret' should be presented."}
        if config.client_secret is not None and form.get("client_secret") != config.client_secret:
            return {"error": "invalid_client", "error_description": "Invalid client secret."}
        return None

    def code_grant(self, form):
        p = self.provider
        request = p.codes.pop(form.get("code", ""), None)  # a code works once
        if request is None:
            return {"error": "invalid_grant", "error_description": "The code is unknown or used."}
        if form.get("redirect_uri") != request["redirect_uri"]:
            return {"error": "invalid_grant", "error_description": "redirect_uri differs: %r" %
                    form.get("redirect_uri")}
        verifier = form.get("code_verifier", "")
        if not 43 <= len(verifier) <= 128 or b64url(hashlib.sha256(verifier.encode()).digest()) != \
                request["challenge"]:
            return {"error": "invalid_grant", "error_description": "PKCE verification failed."}
        return p.issue(request["scope"], True)

    def refresh_grant(self, form):
        p = self.provider
        entry = p.refresh.get(form.get("refresh_token", ""))
        if entry is None or not entry["valid"]:
            return {"error": "invalid_grant",
                    "error_description": "The refresh token has expired or was revoked."}
        if p.config.rotate_refresh_tokens:
            entry["valid"] = False
        return p.issue(entry["scope"], p.config.rotate_refresh_tokens)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--record", required=True, help="folder for log.jsonl")
    parser.add_argument("--tokens", required=True, help="the access tokens in force, for the SMTP server")
    parser.add_argument("--client-id", default="tarnel-test-client")
    parser.add_argument("--client-secret", default=None, help="a confidential client's secret")
    parser.add_argument("--user", default="user@example.test", help="who gives the consent")
    parser.add_argument("--scope", default="", help="the scope the authorization request must ask for")
    parser.add_argument("--redirect-host", default="localhost", help="the registered redirect host")
    parser.add_argument("--expires-in", type=int, default=3600, help="access token lifetime, seconds")
    parser.add_argument("--rotate-refresh-tokens", action="store_true",
                        help="every refresh grant issues a new refresh token and ends the old one")
    parser.add_argument("--deny-consent", action="store_true", help="the user declines")
    parser.add_argument("--no-id-token", action="store_true", help="never issue an id_token")
    parser.add_argument("--token-delay", type=float, default=0, help="seconds before a token answer")
    config = parser.parse_args()

    Handler.provider = Provider(config)
    server = ThreadingHTTPServer(("127.0.0.1", config.port), Handler)
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    print("LISTENING %d" % server.server_address[1], flush=True)
    for line in sys.stdin:
        print(Handler.provider.command(line.strip()), flush=True)
    server.shutdown()


if __name__ == "__main__":
    sys.exit(main())
