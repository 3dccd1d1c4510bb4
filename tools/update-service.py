#!/usr/bin/env python3
"""Reference update service for vltrx and the other Kestrava programs.

An organisation that keeps its own copies of the programs can host this
service and point the programs at it with the settings value
"UpdateServiceUrl" (docs/update.md). It serves:

  GET /versions.xml?env=..&lang=..&ver=..&os=..&pgr=..&serno=..
      the versions document: one <VerInfo Id=".." Version=".."/> line per
      program (Version is the version times 1000), read from --versions.
  GET /download?lang=..&curver=..&newver=..&prog=..
      a small page naming the new version, or a redirect to --download-url
      with the same query when that is given.

Every request is logged as one line on standard error (with the query, so
the installation id of each caller can be counted). The document is read
again for every request, so editing it needs no restart.

Usage:
  update-service.py [--host 127.0.0.1] [--port 8080] [--port-file FILE]
                    [--versions FILE | --program ID=VERSION ...]
                    [--download-url URL] [--padding BYTES]
                    [--tls-cert FILE --tls-key FILE]

--port 0 picks a free port; --port-file receives the port once the service
listens (tests start it that way). --padding puts that many bytes of
comment lines before the <VerInfo> lines (to test readers that cut a long
reply). With --tls-cert and --tls-key it serves HTTPS with that
certificate (PEM) instead of HTTP.
"""

import argparse
import html
import http.server
import pathlib
import ssl
import sys
import urllib.parse


def versions_document(args):
    if args.versions:
        return pathlib.Path(args.versions).read_bytes()
    lines = ['<?xml version="1.0" encoding="UTF-8"?>', "<Versions>"]
    if args.padding:
        filler = "<!-- " + "x" * 70 + " -->"
        count = args.padding // (len(filler) + 2) + 1
        lines += [filler] * count
    for program in args.program:
        ident, _, version = program.partition("=")
        lines.append('  <VerInfo Id="%s" Version="%d"/>' % (html.escape(ident, quote=True), int(version)))
    lines.append("</Versions>")
    return ("\r\n".join(lines) + "\r\n").encode("utf-8")


class Handler(http.server.BaseHTTPRequestHandler):
    server_version = "KestravaUpdateService/1.0"

    def log_message(self, fmt, *values):
        sys.stderr.write("update-service: %s %s\n" % (self.address_string(), fmt % values))

    def reply(self, status, body, content_type, extra=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        for name, value in extra:
            self.send_header(name, value)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        args = self.server.args
        if url.path == "/versions.xml":
            try:
                body = versions_document(args)
            except OSError as e:
                self.reply(503, ("versions document unavailable: %s\n" % e).encode(), "text/plain")
                return
            self.reply(200, body, "application/xml; charset=utf-8")
        elif url.path == "/download":
            if args.download_url:
                sep = "&" if "?" in args.download_url else "?"
                self.reply(302, b"", "text/plain", [("Location", args.download_url + sep + url.query)])
                return
            q = urllib.parse.parse_qs(url.query)
            prog = html.escape(q.get("prog", ["?"])[0])
            newver = q.get("newver", ["0"])[0]
            try:
                shown = "%.3f" % (int(newver) / 1000)
            except ValueError:
                shown = html.escape(newver)
            body = ("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>%s %s</title></head>"
                    "<body><h1>%s %s</h1><p>Ask your administrator for the installation files.</p>"
                    "</body></html>\n" % (prog, shown, prog, shown)).encode("utf-8")
            self.reply(200, body, "text/html; charset=utf-8")
        else:
            self.reply(404, b"not found\n", "text/plain")

    do_HEAD = do_GET


def main():
    parser = argparse.ArgumentParser(description="Reference update service for Kestrava programs.")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=8080)
    parser.add_argument("--port-file")
    parser.add_argument("--versions", help="file served as /versions.xml")
    parser.add_argument("--program", action="append", default=[], metavar="ID=VERSION",
                        help="a <VerInfo> line, when --versions is not given (repeatable)")
    parser.add_argument("--download-url")
    parser.add_argument("--padding", type=int, default=0)
    parser.add_argument("--tls-cert")
    parser.add_argument("--tls-key")
    args = parser.parse_args()

    server = http.server.ThreadingHTTPServer((args.host, args.port), Handler)
    server.args = args
    if args.tls_cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.tls_cert, args.tls_key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    if args.port_file:
        tmp = pathlib.Path(args.port_file + ".tmp")
        tmp.write_text("%d\n" % server.server_address[1])
        tmp.replace(args.port_file)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
