"""A local OAuth 2.0 authorization server for the tests, over HTTPS with the
test CA's certificate, on 127.0.0.1:

  oauth_server.py PORT CERT KEY LOG [USER]

POST /devicecode and POST /token, form-encoded as RFC 8628 and RFC 6749
define them. What happens is chosen by the client_id:

  ok        the device code is accepted at the first poll
  pending2  two authorization_pending answers, then the tokens
  slow      one slow_down, then the tokens
  expired   expired_token           denied    access_denied
  garbage   an answer that is not JSON

Refresh tokens: "r<N>" gives a fresh access token "a<N+1>" and rotates to
"r<N+1>"; "s<N>" likewise, with access tokens that expire in 62 s;
"keep" gives an access token and no new refresh token;
"revoked" is refused with invalid_grant; "huge", "negative", "control"
and "linebreak" get the HOSTILE answers below; "late" answers after two
seconds. GET /authorize signs in at once
(the client "decline" is declined) and redirects to the loopback
redirect_uri; its code is exchanged only with the verifier of the S256
challenge and the same redirect_uri. Every
request's form goes to LOG as one JSON line. POST /introspect answers as
an RFC 7662 introspection: tokens "a<N>" are active for USER
(alice@example.com).
"""
import base64
import hashlib
import http.server
import json
import ssl
import sys
import time
import urllib.parse

PORT, CERT, KEY, LOG = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
USER = sys.argv[5] if len(sys.argv) > 5 else "alice@example.com"
polls = {}
# Refresh tokens answered with what no client should take as it stands.
HOSTILE = {
    "huge": {"access_token": "a1", "token_type": "Bearer",
             "expires_in": 2**63 - 1},
    "negative": {"access_token": "a1", "token_type": "Bearer",
                 "expires_in": -(2**63)},
    "control": {"access_token": "a\u0001b", "token_type": "Bearer"},
    "linebreak": {"access_token": "a1", "token_type": "Bearer",
                  "refresh_token": "r\r\nx"},
}
challenges = {}
redirects = {}


class Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        """The browser's sign-in page: signed in at once (or declined for the
        client "decline"), redirected to the loopback address."""
        url = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(url.query))
        with open(LOG, "a") as log:
            log.write(json.dumps({"path": url.path, "form": query}) + "\n")
        redirect = query.get("redirect_uri", "")
        if url.path != "/authorize" or not redirect.startswith(
                "http://127.0.0.1:") or query.get(
                    "code_challenge_method") != "S256":
            return self.answer(400, {"error": "invalid_request"})
        state = urllib.parse.quote(query.get("state", ""), safe="")
        if query.get("client_id") == "decline":
            target = redirect + "?error=access_denied&state=" + state
        else:
            code = "code%d" % (len(challenges) + 1)
            challenges[code] = query.get("code_challenge", "")
            redirects[code] = redirect
            target = redirect + "?code=" + code + "&state=" + state
        self.send_response(302)
        self.send_header("Location", target)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def answer(self, status, body, raw=False):
        data = body.encode() if raw else json.dumps(body).encode()
        self.send_response(status)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        form = dict(urllib.parse.parse_qsl(self.rfile.read(length).decode()))
        with open(LOG, "a") as log:
            log.write(json.dumps({"path": self.path, "form": form}) + "\n")
        client = form.get("client_id", "")
        if self.path == "/introspect":
            token = form.get("token", "")
            active = token.startswith("a") and token[1:].isdigit()
            return self.answer(200, {"active": active, "username": USER})
        if client == "garbage":
            return self.answer(200, "<html>not json", raw=True)
        if self.path == "/devicecode":
            return self.answer(200, {
                "device_code": "dev-" + client, "user_code": "ABCD-EFGH",
                "verification_uri": "https://127.0.0.1/device",
                "expires_in": 900, "interval": 1,
                "message": "Enter the code"})
        if self.path != "/token":
            return self.answer(404, {"error": "not_found"})
        grant = form.get("grant_type", "")
        if grant == "urn:ietf:params:oauth:grant-type:device_code":
            polls[client] = polls.get(client, 0) + 1
            n = polls[client]
            if client == "expired":
                return self.answer(400, {"error": "expired_token"})
            if client == "denied":
                return self.answer(400, {"error": "access_denied"})
            if client == "pending2" and n <= 2:
                return self.answer(400, {"error": "authorization_pending"})
            if client == "slow" and n == 1:
                return self.answer(400, {"error": "slow_down"})
            return self.answer(200, {"access_token": "a1", "token_type": "Bearer",
                                     "expires_in": 3600, "refresh_token": "r1"})
        if grant == "refresh_token":
            token = form.get("refresh_token", "")
            if token == "revoked":
                return self.answer(400, {
                    "error": "invalid_grant",
                    "error_description": "AADSTS70008: The refresh token "
                                         "has expired.\r\nBcc: x"})
            if token == "late":
                # A token server that takes its time.
                time.sleep(2)
                return self.answer(200, {"access_token": "a2",
                                         "token_type": "Bearer",
                                         "expires_in": 3600})
            if token in HOSTILE:
                return self.answer(200, HOSTILE[token])
            if token == "keep":
                return self.answer(200, {"access_token": "a9",
                                         "token_type": "Bearer",
                                         "expires_in": "60"})
            if token[:1] in ("r", "s") and token[1:].isdigit():
                # "s": short-lived, good for two seconds past a client's
                # one-minute margin.
                n = int(token[1:]) + 1
                return self.answer(200, {"access_token": "a%d" % n,
                                         "token_type": "Bearer",
                                         "expires_in": 62 if token[0] == "s"
                                         else 3600,
                                         "refresh_token": token[0] + str(n)})
            return self.answer(400, {"error": "invalid_grant"})
        if grant == "authorization_code":
            code = form.get("code", "")
            verifier = form.get("code_verifier", "")
            digest = base64.urlsafe_b64encode(
                hashlib.sha256(verifier.encode()).digest()).rstrip(b"=")
            if challenges.get(code) != digest.decode() or redirects.get(
                    code) != form.get("redirect_uri"):
                return self.answer(400, {"error": "invalid_grant",
                                         "error_description": "bad verifier"})
            return self.answer(200, {"access_token": "a1", "token_type": "Bearer",
                                     "expires_in": 3600, "refresh_token": "r1"})
        return self.answer(400, {"error": "unsupported_grant_type"})


server = http.server.ThreadingHTTPServer(("127.0.0.1", PORT), Handler)
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(CERT, KEY)
server.socket = context.wrap_socket(server.socket, server_side=True)
print("ready", flush=True)
server.serve_forever()
