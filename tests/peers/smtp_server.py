# SPDX-License-Identifier: GPL-3.0-or-later
"""A real SMTP server for the tests, on 127.0.0.1 and a free port.

Prints the port on its first output line. For every message it accepts it
writes, into the directory given as the first argument:
  <n>.eml       the message exactly as received (transparency dots removed)
  <n>.envelope  "helo <name>", "from <address>", then one "rcpt <address>" per recipient
  <n>.part<i>   the decoded payload of the i-th leaf part, as the email package parses it
  <n>.parts     one line per leaf part: "<i>\t<file name>\t<content type>"
  <n>.headers   the header fields as a reader shows them, encoded words decoded:
                "Subject\t<text>", then "<field>\t<display name>\t<address>" for
                every address of From, To and CC
<n>.envelope is written last, so its presence means the rest is complete.
"""
import asyncio
import email
import email.policy
import os
import sys

from aiosmtpd.smtp import SMTP

# Long header lines are part of what the tests send on purpose.
SMTP.line_length_limit = 1 << 20


class Recorder:
    def __init__(self, directory):
        self.directory = directory
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.directory, str(self.count))
        with open(base + ".eml", "wb") as f:
            f.write(envelope.original_content)
        message = email.message_from_bytes(envelope.original_content, policy=email.policy.default)
        lines = []
        leaves = [part for part in message.walk() if not part.is_multipart()]
        for index, part in enumerate(leaves):
            with open("%s.part%d" % (base, index), "wb") as f:
                f.write(part.get_payload(decode=True) or b"")
            lines.append("%d\t%s\t%s\n" % (index, part.get_filename() or "", part.get_content_type()))
        with open(base + ".parts", "w") as f:
            f.writelines(lines)
        self.write_headers(base, envelope.original_content)
        with open(base + ".envelope.tmp", "w") as f:
            f.write("helo %s\n" % session.host_name)
            f.write("from %s\n" % envelope.mail_from)
            for rcpt in envelope.rcpt_tos:
                f.write("rcpt %s\n" % rcpt)
        os.rename(base + ".envelope.tmp", base + ".envelope")
        return "250 Message accepted"


    @staticmethod
    def write_headers(base, content):
        message = email.message_from_bytes(content, policy=email.policy.default)
        lines = ["Subject\t%s\n" % (message["Subject"] or "")]
        for field in ("From", "To", "CC"):
            header = message[field]
            for address in (header.addresses if header is not None else ()):
                lines.append("%s\t%s\t%s\n" % (field, address.display_name, address.addr_spec))
        with open(base + ".headers", "w", encoding="utf-8") as f:
            f.writelines(lines)


async def main():
    loop = asyncio.get_running_loop()
    handler = Recorder(sys.argv[1])
    server = await loop.create_server(
        lambda: SMTP(handler, hostname="mail.test", loop=loop), "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    await server.serve_forever()


asyncio.run(main())
