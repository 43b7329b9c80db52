#!/usr/bin/python3
"""A scripted SMTP server on 127.0.0.1 for the delivery tests.

Usage: smtp_test_server.py RECORD_DIR
Listens on a free port of 127.0.0.1, prints "PORT <n>" on one line, then serves until killed.
Every accepted message is recorded as RECORD_DIR/<seq>.json (envelope, data, connection).

Per recipient, by the address's local part:
  refuse...@      550 for that recipient      later...@   451 for that recipient
  once-later...@  451 the first time only, then accepted
Per message, by what the client sends:
  MAIL FROM drop...@   connection closed, no reply
  Subject [defer]      451 after the data            Subject [reject]   554 after the data
  Subject [drop]       connection closed after the data, no reply

RECORD_DIR/script.json, read afresh at every connection and command, scripts the server as a
whole (every key optional), so that a test can change its answers between passes:
  {"greeting": "421 4.3.2 busy",      refuse every connection at the greeting
   "rcpt_limit": 2,                   452 for every recipient after the second of a transaction
   "no_pipelining": true,             PIPELINING not offered (the commands come one by one)
   "after_data": "451" | "554" | "drop" | "stall"}
                                      the answer to every message's data: a refusal, the
                                      connection closed without a reply, or no reply at all
"""
import asyncio
import itertools
import json
import os
import sys

from aiosmtpd.smtp import SMTP

record_dir = sys.argv[1]
sequence = itertools.count(1)
connections = itertools.count(1)


def script():
    try:
        with open(os.path.join(record_dir, "script.json")) as f:
            return json.load(f)
    except (OSError, ValueError):
        return {}


class ScriptedSMTP(SMTP):
    async def _handle_client(self):
        greeting = script().get("greeting")
        if greeting:
            self.transport.write((greeting + "\r\n").encode())
            self.transport.close()
            return
        await super()._handle_client()


class Handler:
    def __init__(self):
        self.put_off = set()  # once-later addresses already put off once

    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        # The server reads commands in order from its stream, so it can take them pipelined.
        session.host_name = hostname
        if script().get("no_pipelining"):
            return responses
        return responses[:-1] + ["250-PIPELINING", responses[-1]]

    async def handle_MAIL(self, server, session, envelope, address, options):
        if address.lower().startswith("drop"):
            server.transport.abort()
            return "421 closing"
        envelope.mail_from = address
        envelope.mail_options.extend(options)
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, options):
        limit = script().get("rcpt_limit")
        if limit is not None and len(envelope.rcpt_tos) >= limit:
            return "452 4.5.3 Too many recipients"
        if address.lower().startswith("refuse"):
            return "550 5.1.1 <%s>: no such user here" % address
        once = address.lower().startswith("once-later") and address.lower() not in self.put_off
        if once or address.lower().startswith("later"):
            self.put_off.add(address.lower())
            return "451 4.2.1 <%s>: mailbox busy, try later" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        data = envelope.original_content or envelope.content
        text = data.decode("utf-8", "replace")
        headers = text.split("\r\n\r\n", 1)[0]
        after = script().get("after_data")
        if "[drop]" in headers or after == "drop":
            server.transport.abort()
            return "250 never seen"
        if after == "stall":
            await asyncio.sleep(3600)
        if "[defer]" in headers or after == "451":
            return "451 4.3.0 deferred by test"
        if "[reject]" in headers or after == "554":
            return "554 5.6.0 rejected by test"
        n = next(sequence)
        if not hasattr(session, "number"):
            session.number = next(connections)
        record = {"mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos, "data": text,
                  "connection": session.number}
        path = os.path.join(record_dir, "%06d.json" % n)
        with open(path + ".tmp", "w") as f:
            json.dump(record, f)
        os.rename(path + ".tmp", path)
        return "250 2.0.0 queued as %d" % n


async def main():
    loop = asyncio.get_running_loop()
    handler = Handler()
    server = await loop.create_server(
        lambda: ScriptedSMTP(handler, decode_data=False, enable_SMTPUTF8=True,
                             hostname="test.invalid"),
        "127.0.0.1", 0)
    print("PORT %d" % server.sockets[0].getsockname()[1], flush=True)
    async with server:
        await server.serve_forever()


asyncio.run(main())
