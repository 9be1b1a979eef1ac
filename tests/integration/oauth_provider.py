#!/usr/bin/python3
"""A small OAuth 2.0 provider on 127.0.0.1 for the sign-in tests: device grant, code grant with a
PKCE check, refresh with rotation, and each of the faults a real provider shows.

Serves https with --tls-cert and --tls-key. Prints its port on the first line of stdout and runs
until stdin closes. Every path answers GET and POST alike. The client id chooses how it behaves:
  schule    everything works; the device code waits for /approve?user_code=... (GET or POST)
  langsam   the first poll answers slow_down
  ablehnen  the user refuses consent (device: access_denied; browser: error=access_denied)
  ablauf    the device code has expired at the first poll
  fehler    the token endpoint answers 500 with a JSON error
  kaputt    the token endpoint answers 200 with text that is not JSON
  stumm     the token endpoint never answers
--access-token makes every access token issued that one, which the SMTP server's --bearer-token
accepts. /revoke ends every refresh token; /stats counts the requests.
"""

import argparse
import base64
import hashlib
import json
import secrets
import ssl
import sys
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qsl, urlencode, urlsplit

# The token endpoint's answer to the clients whose provider is broken.
BROKEN = {"kaputt": (200, "<html>Wartung</html>", "text/html"),
          "fehler": (500, {"error": "server_error", "error_description": "down"})}


class Provider:
    def __init__(self, access_token):
        self.lock = threading.Lock()
        self.access_token = access_token
        self.devices = {}  # device_code -> {"user_code", "client", "approved", "polls"}
        self.codes = {}  # authorization code -> {"challenge", "redirect_uri", "client"}
        self.refresh = {}  # refresh token -> client
        self.stats = {"refreshes": 0, "codes": 0}
        self.stop = threading.Event()

    def issue(self, client):
        access = self.access_token or "at-" + secrets.token_urlsafe(12)
        refresh = "rt-" + secrets.token_urlsafe(12)
        self.refresh[refresh] = client
        return 200, {"access_token": access, "refresh_token": refresh, "token_type": "Bearer",
                     "expires_in": 3600}

    def device(self, form):
        client = form.get("client_id", "")
        code, user = secrets.token_urlsafe(16), "ABCD-" + str(len(self.devices) + 1000)
        self.devices[code] = {"user_code": user, "client": client, "approved": False, "polls": 0}
        return 200, {"device_code": code, "user_code": user,
                     "verification_uri": "http://127.0.0.1/geraet", "expires_in": 900,
                     "interval": 1}

    def token(self, form):
        grant = form.get("grant_type")
        if grant == "urn:ietf:params:oauth:grant-type:device_code":
            return self.poll(form)
        if grant == "authorization_code":
            return self.exchange(form)
        if grant == "refresh_token":
            self.stats["refreshes"] += 1
            client = self.refresh.pop(form.get("refresh_token", ""), None)
            if client is None or client != form.get("client_id"):
                return 400, {"error": "invalid_grant",
                             "error_description": "refresh token revoked"}
            return self.issue(client)
        return 400, {"error": "unsupported_grant_type"}

    def poll(self, form):
        entry = self.devices.get(form.get("device_code", ""))
        if entry is None or entry["client"] != form.get("client_id"):
            return 400, {"error": "invalid_grant"}
        entry["polls"] += 1
        client = entry["client"]
        if client == "ablauf":
            return 400, {"error": "expired_token"}
        if client == "ablehnen":
            return 400, {"error": "access_denied", "error_description": "consent refused"}
        if client == "langsam" and entry["polls"] == 1:
            return 400, {"error": "slow_down"}
        if not entry["approved"]:
            return 400, {"error": "authorization_pending"}
        del self.devices[form["device_code"]]
        return self.issue(client)

    def exchange(self, form):
        self.stats["codes"] += 1
        entry = self.codes.pop(form.get("code", ""), None)
        verifier = form.get("code_verifier", "").encode()
        challenge = base64.urlsafe_b64encode(hashlib.sha256(verifier).digest()).rstrip(b"=")
        if (entry is None or entry["client"] != form.get("client_id")
                or entry["redirect_uri"] != form.get("redirect_uri")
                or entry["challenge"] != challenge.decode()):
            return 400, {"error": "invalid_grant", "error_description": "PKCE check failed"}
        return self.issue(entry["client"])

    def authorize(self, query):
        """The browser's visit: the user consents at once (or, for "ablehnen", refuses)."""
        if query.get("code_challenge_method") != "S256" or not query.get("code_challenge"):
            return 400, {"error": "invalid_request"}
        target = {"state": query.get("state", "")}
        if query.get("client_id") == "ablehnen":
            target["error"] = "access_denied"
        else:
            code = secrets.token_urlsafe(12)
            self.codes[code] = {"challenge": query["code_challenge"], "client": query["client_id"],
                                "redirect_uri": query.get("redirect_uri")}
            target["code"] = code
        return 302, query["redirect_uri"] + "?" + urlencode(target)

    def approve(self, query):
        """The user types the code into the provider's page and consents."""
        for entry in self.devices.values():
            if entry["user_code"] == query.get("user_code"):
                entry["approved"] = True
                return 200, {"approved": True}
        return 404, {"error": "unknown user code"}

    def revoke(self, _):
        self.refresh.clear()
        return 200, {"revoked": True}


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        self.answer(urlsplit(self.path).query)

    def do_POST(self):
        self.answer(self.rfile.read(int(self.headers.get("Content-Length", "0"))).decode())

    def answer(self, fields):
        """Every path alike by GET (fields in the query) and POST (fields in the form)."""
        provider, path = self.server.provider, urlsplit(self.path).path
        form = dict(parse_qsl(fields))
        client = form.get("client_id", "")
        if path == "/token" and client == "stumm":
            return provider.stop.wait(60)
        if path == "/token" and client in BROKEN:
            return self.reply(*BROKEN[client])
        routes = {"/device": provider.device, "/token": provider.token,
                  "/approve": provider.approve, "/authorize": provider.authorize,
                  "/revoke": provider.revoke,
                  "/stats": lambda _: (200, provider.stats)}
        with provider.lock:
            status, body = routes.get(path, lambda _: (404, {"error": "not_found"}))(form)
        if status == 302:
            return self.reply(302, "", "text/plain", [("Location", body)])
        self.reply(status, body)

    def reply(self, status, body, content_type="application/json", headers=()):
        data = (json.dumps(body) if content_type == "application/json" else body).encode()
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(data)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--access-token", help="the access token every grant issues")
    parser.add_argument("--tls-cert", help="serve https with this certificate")
    parser.add_argument("--tls-key")
    args = parser.parse_args()
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    if args.tls_cert:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.tls_cert, args.tls_key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    server.daemon_threads = True
    server.provider = Provider(args.access_token)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    print(server.server_address[1], flush=True)
    sys.stdin.read()
    server.provider.stop.set()


if __name__ == "__main__":
    main()
