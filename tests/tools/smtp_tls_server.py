#!/usr/bin/python3
"""An SMTP server on 127.0.0.1 for the TLS and log-in tests.

Usage: smtp_tls_server.py MODE CERT KEY RECORD_DIR [USER PASSWORD]
MODE: "tls" (encrypted from the first byte), "starttls" (offers STARTTLS and requires it before
anything else) or "plain" (offers no STARTTLS at all). With USER and PASSWORD, log-in (PLAIN or
LOGIN) is offered once the connection is encrypted, and required before MAIL.
Listens on a free port, prints "PORT <n>" on one line, then serves until killed.
Every command that matters is appended to RECORD_DIR/events.log as one line: "MAIL <from>
tls=<0|1>", "AUTH <user> ok|refused tls=<0|1>", "DATA <subject> tls=<0|1>".
"""
import asyncio
import os
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

mode, cert, key, record_dir = sys.argv[1:5]
user = sys.argv[5].encode() if len(sys.argv) > 5 else None
password = sys.argv[6].encode() if len(sys.argv) > 6 else None


def record(line):
    with open(os.path.join(record_dir, "events.log"), "a") as f:
        f.write(line + "\n")
        f.flush()
        os.fsync(f.fileno())


def encrypted(session):
    return 1 if (mode == "tls" or session.ssl is not None) else 0


class Handler:
    async def handle_MAIL(self, server, session, envelope, address, options):
        record("MAIL %s tls=%d" % (address, encrypted(session)))
        if user is not None and not session.authenticated:
            return "530 5.7.0 Authentication required"
        envelope.mail_from = address
        envelope.mail_options.extend(options)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        text = envelope.content.decode("utf-8", "replace")
        subject = ""
        for line in text.split("\r\n\r\n", 1)[0].split("\r\n"):
            if line.lower().startswith("subject:"):
                subject = line[8:].strip()
        record("DATA %s tls=%d" % (subject, encrypted(session)))
        return "250 2.0.0 queued"


def authenticator(server, session, envelope, mechanism, auth_data):
    ok = (isinstance(auth_data, LoginPassword) and auth_data.login == user
          and auth_data.password == password)
    login = auth_data.login.decode("utf-8", "replace") if isinstance(auth_data, LoginPassword) else "?"
    record("AUTH %s %s tls=%d" % (login, "ok" if ok else "refused", encrypted(session)))
    return AuthResult(success=ok, handled=False)


async def main():
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)
    options = dict(decode_data=False, hostname="test.invalid")
    if user is not None:
        options.update(authenticator=authenticator, auth_required=False)
    if mode == "starttls":
        options.update(tls_context=context, require_starttls=True)
    elif mode == "tls":
        # Already encrypted: log-in may be offered at once.
        options.update(auth_require_tls=False)
    loop = asyncio.get_running_loop()
    server = await loop.create_server(lambda: SMTP(Handler(), **options), "127.0.0.1", 0,
                                      ssl=context if mode == "tls" else None)
    print("PORT %d" % server.sockets[0].getsockname()[1], flush=True)
    async with server:
        await server.serve_forever()


asyncio.run(main())
