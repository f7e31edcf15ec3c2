#!/usr/bin/python3
"""A real SMTP server for tests: aiosmtpd on a free loopback port.

Prints the port as its first line, then serves until killed. Each accepted message is written
to --out as NNNN.json: the envelope, the AUTH mechanism used (null for none), whether the
session was under TLS, and the message as Python's e-mail parser reads it (headers decoded,
parts in order with their types, charsets and decoded bodies, the parser's defects).
"""

import argparse
import asyncio
import email
import email.policy
import json
import os
import logging
import ssl

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


def parse_args():
    p = argparse.ArgumentParser()
    p.add_argument("--out", required=True)
    p.add_argument("--tls", choices=["none", "starttls", "implicit"], default="none")
    p.add_argument("--cert")
    p.add_argument("--key")
    p.add_argument("--user", help="offer AUTH and accept this user name ...")
    p.add_argument("--password", help="... with this password")
    p.add_argument("--exclude-mechanism", action="append", default=[])
    p.add_argument("--refuse-rcpt", help="refuse recipients containing this text")
    return p.parse_args()


def summary(data: bytes):
    msg = email.message_from_bytes(data, policy=email.policy.default)
    parts = []
    for part in msg.iter_parts() if msg.is_multipart() else [msg]:
        entry = {
            "type": part.get_content_type(),
            "charset": part.get_content_charset(),
            "filename": part.get_filename(),
        }
        entry["body"] = part.get_content() if part.get_content_maintype() == "text" else None
        parts.append(entry)
    return {
        "subject": str(msg["Subject"]),
        "from": str(msg["From"]),
        "to": str(msg["To"]),
        "content_type": msg.get_content_type(),
        "parts": parts,
        "defects": [type(d).__name__ for d in msg.defects]
        + [type(d).__name__ for p in msg.walk() for d in p.defects],
        "longest_line": max(len(line) for line in data.split(b"\r\n")),
    }


class Handler:
    def __init__(self, args):
        self.args = args
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if self.args.refuse_rcpt and self.args.refuse_rcpt in address:
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        record = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "auth": getattr(session, "lw_mechanism", None),
            "tls": server.transport.get_extra_info("ssl_object") is not None,
            "message": summary(envelope.original_content or envelope.content),
        }
        path = os.path.join(self.args.out, "%04d.json" % self.count)
        with open(path + ".tmp", "w") as f:
            json.dump(record, f)
        os.rename(path + ".tmp", path)
        return "250 Message accepted for delivery"


def main():
    # aiosmtpd logs its own deprecation warnings and our clients' failed handshakes.
    logging.getLogger("mail.log").setLevel(logging.CRITICAL)
    args = parse_args()
    context = None
    if args.tls != "none":
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.cert, args.key)

    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = (
            isinstance(auth_data, LoginPassword)
            and auth_data.login.decode() == args.user
            and auth_data.password.decode() == args.password
        )
        if ok:
            session.lw_mechanism = mechanism
        return AuthResult(success=ok, handled=False)

    handler = Handler(args)

    def factory():
        return SMTP(
            handler,
            hostname="levelwatch-test",
            tls_context=context if args.tls == "starttls" else None,
            require_starttls=args.tls == "starttls",
            authenticator=authenticator if args.user else None,
            auth_require_tls=False,
            auth_exclude_mechanism=args.exclude_mechanism,
        )

    loop = asyncio.new_event_loop()
    server = loop.run_until_complete(
        loop.create_server(
            factory,
            host="127.0.0.1",
            port=0,
            ssl=context if args.tls == "implicit" else None,
        )
    )
    print(server.sockets[0].getsockname()[1], flush=True)
    loop.run_forever()


if __name__ == "__main__":
    main()
