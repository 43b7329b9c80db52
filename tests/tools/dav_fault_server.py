#!/usr/bin/python3
"""A scripted CardDAV server on 127.0.0.1 for what real servers rarely do.

Usage: dav_fault_server.py SCENARIO_FILE
Listens on a free port, prints "PORT <n>", then serves one address book at /book/ until
killed. SCENARIO_FILE, read afresh at every request, holds one word:
  ok         one card (a.vcf, etag from the file's second word, default 1)
  garbage    the card listing is no XML        truncated  the listing is cut off mid-way
  big        the card fetched is 10 MB          nouid      the card fetched has no UID
  twice      the card fetched comes twice       loop       every request redirects to itself
  401        every request is refused           500        every request fails
  stall      every request is accepted and never answered
"""
import http.server
import sys
import time

CARD = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:a-1\r\nFN:Ann Able\r\nEMAIL:ann@example.org\r\nEND:VCARD\r\n"
HEAD = '<?xml version="1.0"?><d:multistatus xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:carddav">'


def response(href, etag, card=None):
    data = "" if card is None else "<c:address-data>%s</c:address-data>" % card
    return ("<d:response><d:href>%s</d:href><d:propstat><d:prop><d:getetag>%s</d:getetag>%s"
            "</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>"
            % (href, etag, data))


BOOK = (HEAD + "<d:response><d:href>/book/</d:href><d:propstat><d:prop><d:resourcetype>"
        "<d:collection/><c:addressbook/></d:resourcetype><d:displayname>Book</d:displayname>"
        "</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response></d:multistatus>")


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def answer(self, status, body, headers=()):
        data = body.encode()
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def scenario(self):
        with open(sys.argv[1]) as f:
            words = f.read().split()
        return words[0], words[1] if len(words) > 1 else "1"

    def handle_dav(self):
        self.rfile.read(int(self.headers.get("Content-Length", 0)))
        what, etag = self.scenario()
        if what == "stall":
            time.sleep(60)
        if what == "401":
            return self.answer(401, "", [("WWW-Authenticate", 'Basic realm="book"')])
        if what == "500":
            return self.answer(500, "broken")
        if what == "loop":
            return self.answer(302, "", [("Location", self.path)])
        if self.command == "PROPFIND" and self.headers.get("Depth") == "0":
            return self.answer(207, BOOK)
        card = CARD
        if what == "garbage":
            return self.answer(207, "<<<this is not xml")
        if what == "truncated":
            return self.answer(207, (HEAD + response("/book/a.vcf", etag, CARD))[:150])
        if what == "big":
            card = CARD.replace("FN:", "NOTE:" + "x" * 10_000_000 + "\r\nFN:")
        if what == "nouid":
            card = CARD.replace("UID:a-1\r\n", "")
        listing = self.command == "PROPFIND"
        body = response("/book/a.vcf", etag, None if listing else card)
        if what == "twice" and not listing:
            body += body
        self.answer(207, HEAD + body + "</d:multistatus>")

    do_PROPFIND = do_REPORT = handle_dav


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
print("PORT", server.server_address[1], flush=True)
server.serve_forever()
