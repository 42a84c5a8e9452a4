# SPDX-License-Identifier: GPL-3.0-or-later
"""A real HTTP server for the tests, on 127.0.0.1 and a free port.

Prints the port on its first output line. Serves the files of the directory
given as the first argument, answers 404 for missing ones, and offers
redirect chains: /chain/<n> redirects to /chain/<n-1> until /chain/0, which
answers "end of chain"; /away/<n> does the same with absolute addresses.
/status/<n> answers with status n and, as its body, an update description
that announces a newer release (so a client that ignores the status shows).
"""
import functools
import http.server
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    def do_GET(self):
        parts = self.path.split("/")
        if len(parts) == 3 and parts[1] in ("chain", "away") and parts[2].isdigit():
            self.redirect_chain(parts[1], int(parts[2]))
        elif len(parts) == 3 and parts[1] == "status" and parts[2].isdigit():
            self.answer_status(int(parts[2]))
        else:
            super().do_GET()

    def redirect_chain(self, kind, remaining):
        if remaining > 0:
            target = "/%s/%d" % (kind, remaining - 1)
            if kind == "away":
                target = "http://127.0.0.1:%d%s" % (self.server.server_address[1], target)
            self.send_response(302)
            self.send_header("Location", target)
            self.send_header("Set-Cookie", "hop=%d" % remaining)
            self.end_headers()
            return
        body = b"end of chain\n"
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def answer_status(self, status):
        body = b"[VOLTUPDATE]\nNumber=9\nVersionNumber=9.0\nDescription=from an error page\n"
        self.send_response(status)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(
    ("127.0.0.1", 0), functools.partial(Handler, directory=sys.argv[1]))
print(server.server_address[1], flush=True)
server.serve_forever()
