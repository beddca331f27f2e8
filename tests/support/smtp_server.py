#!/ usr / bin / python3
"""A real SMTP server for the tests, on 127.0.0.1 only, built on aiosmtpd.

It announces AUTH LOGIN (and PLAIN) without TLS, prompts "Username:" and
"Password:", accepts one configured user, and stores each received message
in DIR as NNNN.eml (the exact DATA bytes after dot-unstuffing) followed by
NNNN.json (the envelope). The .json file is written last, through a rename,
so its presence means the message is complete. It prints "ready" on stdout
once it listens and stops cleanly on SIGTERM or SIGINT.

With --cert and --key it offers STARTTLS (and AUTH only after it) on --port
and speaks TLS from the first byte on --tls-port.

Run with Debian's /usr/bin/python3, which sees the python3-aiosmtpd package.
"""

import argparse
import json
import logging
import base64
import os
import re
import signal
import ssl
import sys
import threading
import time
import warnings

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


class PromptingSMTP(SMTP):
    AuthLoginUsernameChallenge = "Username:"
    AuthLoginPasswordChallenge = "Password:"


class XOAuth2SMTP(PromptingSMTP):
    """With --xoauth2: AUTH XOAUTH2 too, for the user and an access token
    "a<N>" of the local authorization server (tests/support/oauth_server.py);
    without it the server announces only what it announced before."""
    xoauth2_user = None

    async def auth_XOAUTH2(self, _, args):
        if len(args) != 2:
            return AuthResult(success=False, handled=False)
        try:
            said = base64.b64decode(args[1], validate=True)
        except ValueError:
            return AuthResult(success=False, handled=False)
        fields = dict(part.split(b"=", 1) for part in said.split(b"\x01")
                      if b"=" in part)
        token = fields.get(b"auth", b"")
        good = (fields.get(b"user") == self.xoauth2_user
                and re.fullmatch(rb"Bearer a[0-9]+", token) is not None)
        return AuthResult(success=good, handled=False,
                          auth_data=LoginPassword(self.xoauth2_user, b"")
                          if good else None)


class PromptingController(Controller):
    def factory(self):
        kind = XOAuth2SMTP if XOAuth2SMTP.xoauth2_user else PromptingSMTP
        return kind(self.handler, **self.SMTP_kwargs)


class Store:
    """Writes every accepted message and its envelope into one folder."""

    def __init__(self, folder, keep):
        self.folder = folder
        self.keep = keep
        self.count = 0
        self.lock = threading.Lock()

    def _write(self, name, data):
        temporary = os.path.join(self.folder, "." + name + ".tmp")
        with open(temporary, "wb") as out:
            out.write(data)
        os.rename(temporary, os.path.join(self.folder, name))

    async def handle_DATA(self, server, session, envelope):
        with self.lock:
            self.count += 1
            number = self.count
        content = envelope.original_content or b""
        login = None
        if isinstance(session.auth_data, LoginPassword):
            login = session.auth_data.login.decode("utf-8", "surrogateescape")
        record = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": list(envelope.rcpt_tos),
            "login": login,
            "size": len(content),
            # CLOCK_MONOTONIC, as the tests' steady clock: when the 250 went.
            "accepted": time.monotonic(),
        }
        base = "%04d" % number
        if self.keep:
            self._write(base + ".eml", content)
        self._write(base + ".json", json.dumps(record).encode("ascii"))
        return "250 OK"


def make_authenticator(user, password):
    def authenticate(server, session, envelope, mechanism, auth_data):
        good = (isinstance(auth_data, LoginPassword)
                and auth_data.login == user and auth_data.password == password)
        return AuthResult(success=good, handled=False,
                          auth_data=auth_data if good else None)
    return authenticate


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--dir", required=True)
    parser.add_argument("--user", default="testuser")
    parser.add_argument("--password", default="testpass")
    parser.add_argument("--auth-required", action="store_true")
    parser.add_argument("--xoauth2", action="store_true",
                        help="offer XOAUTH2 for the local OAuth tokens")
    parser.add_argument("--no-store", action="store_true",
                        help="write only the envelopes, not the message bytes")
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--tls-port", type=int)
    parser.add_argument("--require-starttls", action="store_true")
    parser.add_argument("--ipv6", action="store_true",
                        help="listen on ::1 too, at the same port")
    args = parser.parse_args()
#AUTH without TLS is the point here; keep the log free of that advice.
    warnings.simplefilter("ignore")
    logging.getLogger("mail.log").setLevel(logging.ERROR)

    if args.xoauth2:
        XOAuth2SMTP.xoauth2_user = args.user.encode("utf-8")
    os.makedirs(args.dir, exist_ok=True)
    store = Store(args.dir, keep=not args.no_store)
    common = dict(
        hostname="127.0.0.1",
        server_hostname="test.invalid",
        authenticator=make_authenticator(
            args.user.encode("utf-8", "surrogateescape"),
            args.password.encode("utf-8", "surrogateescape")),
        auth_required=args.auth_required)
    controllers = []
    if args.cert:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.cert, args.key)
        controllers.append(PromptingController(
            store, port=args.port, tls_context=context,
            require_starttls=args.require_starttls, auth_require_tls=True,
            **common))
#aiosmtpd does not count TLS from the first byte for AUTH.
        controllers.append(PromptingController(
            store, port=args.tls_port, ssl_context=context,
            auth_require_tls=False, **common))
    else:
        controllers.append(PromptingController(
            store, port=args.port, auth_require_tls=False, **common))
    if args.ipv6:
        # Started before the 127.0.0.1 one, which the probe greets.
        controllers.insert(0, PromptingController(
            store, port=args.port, auth_require_tls=False,
            **dict(common, hostname="::1")))

    stop = threading.Event()
    for signum in (signal.SIGTERM, signal.SIGINT):
        signal.signal(signum, lambda *unused: stop.set())
    # The listener on --port last: the fixture's start probe greets there,
    # and everything must listen by then.
    for controller in reversed(controllers):
        controller.start()
    print("ready", flush=True)
    while not stop.wait(0.5):
        pass
    for controller in controllers:
        controller.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
