#!/usr/bin/env python3
"""An authorization server for the tests: authorization code with PKCE, refresh tokens,
the device flow, and switches that make it misbehave. Plain HTTP (or HTTPS with
--tls-cert/--tls-key) on 127.0.0.1, on a port chosen at start; the port is printed as the
first line of standard output (and written to --port-file). Access tokens are JWTs signed
with HS256 by the secret in --key-file (base64, as the private POP3 server makes it), with
"sub" = --user, so the private POP3 server in oauth2 mode takes them.

Endpoints (forms are application/x-www-form-urlencoded, answers JSON):
  GET  /authorize   response_type=code client_id redirect_uri (http://127.0.0.1:PORT/... or
                    http://[::1]:PORT/...) code_challenge code_challenge_method=S256 state
                    [scope]; answers 302 to redirect_uri?code=...&state=...
  POST /token       grant_type=authorization_code code redirect_uri client_id code_verifier
                    grant_type=refresh_token refresh_token client_id
                    grant_type=urn:ietf:params:oauth:grant-type:device_code device_code client_id
                    (client_secret in the form or HTTP Basic when --client-secret is given)
  POST /device      client_id [scope]; answers device_code, user_code, verification_uri,
                    expires_in, interval
  GET|POST /control/set     any of: lifetime=SECONDS subject=NAME rotate=0|1 interval=SECONDS
                            token=normal|garbage|html|hang|no-expires-in|server-error|bad-signature
                            authorize=normal|error|wrong-state|no-code|no-state error=CODE
                            device=wait|approve|deny
  GET|POST /control/revoke  every refresh token issued so far stops working
  GET|POST /control/approve [user_code=CODE]  approves pending device codes (all without one)
  GET|POST /control/deny    [user_code=CODE]  denies them
  GET|POST /control/stats   counts of the requests by endpoint ("authorize", "token",
                            "device"; control requests are not counted) and the last
                            requests with their parameters, as JSON
  GET|POST /control/count   endpoint=NAME: that count alone, as plain text
  GET|POST /control/reset   counts, log and switches back to the start
The server ends on SIGTERM, SIGINT, or when the process that started it ends.
"""

import argparse
import base64
import hashlib
import hmac
import http.server
import json
import os
import secrets
import signal
import ssl
import sys
import threading
import time
import urllib.parse

CODE_LIFETIME = 60
DEVICE_LIFETIME = 300
MAX_BODY = 64 * 1024
MAX_LOG = 100
DEVICE_GRANT = "urn:ietf:params:oauth:grant-type:device_code"


def b64url(data):
    return base64.urlsafe_b64encode(data).rstrip(b"=").decode()


def make_jwt(key, claims):
    header = b64url(json.dumps({"alg": "HS256", "typ": "JWT"}, separators=(",", ":")).encode())
    body = b64url(json.dumps(claims, separators=(",", ":")).encode())
    signed = (header + "." + body).encode()
    return header + "." + body + "." + b64url(hmac.new(key, signed, hashlib.sha256).digest())


def pkce_challenge(verifier):
    return b64url(hashlib.sha256(verifier.encode()).digest())


def is_loopback_redirect(uri):
    try:
        parts = urllib.parse.urlsplit(uri)
        return parts.scheme == "http" and parts.hostname in ("127.0.0.1", "::1") and parts.port is not None
    except ValueError:
        return False


def with_query(uri, params):
    parts = urllib.parse.urlsplit(uri)
    query = parts.query + ("&" if parts.query else "") + urllib.parse.urlencode(params)
    return urllib.parse.urlunsplit(parts._replace(query=query))


class Switches:
    def __init__(self, options):
        self.lifetime = options.lifetime
        self.subject = options.user
        self.rotate = False
        self.interval = options.interval
        self.token = "normal"
        self.authorize = "normal"
        self.error = "access_denied"
        self.device = "wait"


class State:
    def __init__(self, options):
        self.options = options
        self.key = base64.b64decode(open(options.key_file).read().strip())
        self.lock = threading.Lock()
        self.stopping = threading.Event()
        self.reset()

    def reset(self):
        self.switches = Switches(self.options)
        self.codes = {}
        self.refresh_tokens = {}
        self.devices = {}
        self.counts = {}
        self.log = []

    def count(self, name):
        self.counts[name] = self.counts.get(name, 0) + 1


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "KormoranTestAuth/1"
    # A client that stops sending mid-request loses its connection after this.
    timeout = 30

    def setup(self):
        super().setup()
        # In the connection's own thread, so that a client that never finishes its
        # handshake holds up no other.
        if isinstance(self.request, ssl.SSLSocket):
            self.request.settimeout(self.timeout)
            self.request.do_handshake()

    def log_message(self, format, *args):
        if self.server.state.options.verbose:
            sys.stderr.write("oauth-server: " + (format % args) + "\n")

    # Answers.

    def answer(self, status, body, content_type="application/json", headers=()):
        data = body if isinstance(body, bytes) else body.encode()
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Cache-Control", "no-store")
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(data)

    def answer_json(self, status, value):
        self.answer(status, json.dumps(value))

    def oauth_error(self, error, description, status=400):
        self.answer_json(status, {"error": error, "error_description": description})

    def redirect(self, location):
        self.answer(302, "", "text/plain", [("Location", location)])

    # Requests.

    def params(self):
        query = urllib.parse.urlsplit(self.path).query
        values = dict(urllib.parse.parse_qsl(query, keep_blank_values=True))
        if self.command == "POST":
            length = int(self.headers.get("Content-Length") or 0)
            if length > MAX_BODY:
                raise ValueError("body too large")
            body = self.rfile.read(length).decode("utf-8", "replace")
            values.update(urllib.parse.parse_qsl(body, keep_blank_values=True))
        return values

    def route(self):
        path = urllib.parse.urlsplit(self.path).path
        try:
            params = self.params()
        except ValueError as error:
            self.close_connection = True
            return self.oauth_error("invalid_request", str(error))
        state = self.server.state
        with state.lock:
            if path.startswith("/control/"):
                return self.control(path[len("/control/"):], params)
            state.count(path.lstrip("/") or "root")
            state.log.append({"client": self.client_address[0], "method": self.command, "path": path,
                              "params": params,
                              "authorization": self.headers.get("Authorization", "")})
            del state.log[:-MAX_LOG]
            if path == "/authorize" and self.command == "GET":
                return self.authorize(params)
            if path == "/token" and self.command == "POST":
                return self.token(params)
            if path == "/device" and self.command == "POST":
                return self.device(params)
        self.answer_json(404, {"error": "not_found"})

    do_GET = route
    do_POST = route

    # The authorization endpoint.

    def authorize(self, params):
        state = self.server.state
        switches = state.switches
        if params.get("client_id") != state.options.client_id:
            return self.answer(400, "unknown client_id", "text/plain")
        redirect_uri = params.get("redirect_uri", "")
        if not is_loopback_redirect(redirect_uri):
            return self.answer(400, "redirect_uri must be http://127.0.0.1:PORT/ or http://[::1]:PORT/",
                               "text/plain")
        client_state = params.get("state")
        if params.get("response_type") != "code":
            return self.redirect(with_query(redirect_uri, {"error": "unsupported_response_type",
                                                           "state": client_state or ""}))
        challenge = params.get("code_challenge", "")
        if params.get("code_challenge_method") != "S256" or len(challenge) != 43:
            return self.redirect(with_query(redirect_uri, {"error": "invalid_request",
                                                           "error_description": "PKCE with S256 is required",
                                                           "state": client_state or ""}))
        if switches.authorize == "error":
            return self.redirect(with_query(redirect_uri, {"error": switches.error,
                                                           "state": client_state or ""}))
        code = secrets.token_urlsafe(24)
        state.codes[code] = {"challenge": challenge, "redirect_uri": redirect_uri,
                             "scope": params.get("scope", ""), "expires": time.time() + CODE_LIFETIME}
        answer = {}
        if switches.authorize != "no-code":
            answer["code"] = code
        if switches.authorize == "wrong-state":
            answer["state"] = "x" + (client_state or "")
        elif switches.authorize != "no-state" and client_state is not None:
            answer["state"] = client_state
        self.redirect(with_query(redirect_uri, answer))

    # The token endpoint.

    def client_authenticated(self, params):
        options = self.server.state.options
        client_id, secret = params.get("client_id"), params.get("client_secret")
        basic = self.headers.get("Authorization", "")
        if basic.startswith("Basic "):
            try:
                pair = base64.b64decode(basic[6:]).decode()
                client_id, secret = (urllib.parse.unquote(p) for p in pair.split(":", 1))
            except (ValueError, UnicodeDecodeError):
                return False
        if client_id != options.client_id:
            return False
        return options.client_secret is None or secret == options.client_secret

    def token(self, params):
        switches = self.server.state.switches
        if switches.token == "hang":
            self.server.state.lock.release()
            try:
                self.server.state.stopping.wait(600)
            finally:
                self.server.state.lock.acquire()
            self.close_connection = True
            return
        if switches.token == "garbage":
            return self.answer(200, b"\x00\xff{\"access_tok" + os.urandom(32), "application/json")
        if switches.token == "html":
            return self.answer(200, "<!DOCTYPE html><html><body><h1>Sign in</h1></body></html>",
                               "text/html; charset=utf-8")
        if switches.token == "server-error":
            return self.oauth_error("server_error", "the test asked for a failure", 500)
        if not self.client_authenticated(params):
            return self.oauth_error("invalid_client", "unknown client or wrong secret", 401)
        grant = params.get("grant_type")
        if grant == "authorization_code":
            return self.code_grant(params)
        if grant == "refresh_token":
            return self.refresh_grant(params)
        if grant == DEVICE_GRANT:
            return self.device_grant(params)
        self.oauth_error("unsupported_grant_type", "grant_type %r" % grant)

    def code_grant(self, params):
        state = self.server.state
        entry = state.codes.pop(params.get("code", ""), None)
        if entry is None or entry["expires"] < time.time():
            return self.oauth_error("invalid_grant", "unknown, used or expired code")
        if params.get("redirect_uri") != entry["redirect_uri"]:
            return self.oauth_error("invalid_grant", "redirect_uri differs from the authorization request")
        verifier = params.get("code_verifier", "")
        if not 43 <= len(verifier) <= 128 or pkce_challenge(verifier) != entry["challenge"]:
            return self.oauth_error("invalid_grant", "code_verifier does not match code_challenge")
        self.issue(entry["scope"], new_refresh_token=True)

    def refresh_grant(self, params):
        state = self.server.state
        refresh_token = params.get("refresh_token", "")
        entry = state.refresh_tokens.get(refresh_token)
        if entry is None or entry["revoked"]:
            return self.oauth_error("invalid_grant", "the refresh token was revoked or never issued")
        if state.switches.rotate:
            entry["revoked"] = True
        self.issue(entry["scope"], new_refresh_token=state.switches.rotate)

    def device_grant(self, params):
        state = self.server.state
        entry = state.devices.get(params.get("device_code", ""))
        if entry is None:
            return self.oauth_error("invalid_grant", "unknown device_code")
        if entry["expires"] < time.time():
            return self.oauth_error("expired_token", "the device code expired")
        if entry["status"] == "pending":
            return self.oauth_error("authorization_pending", "the user has not answered yet")
        if entry["status"] == "denied":
            return self.oauth_error("access_denied", "the user refused")
        if entry["status"] == "used":
            return self.oauth_error("invalid_grant", "the device code was used")
        entry["status"] = "used"
        self.issue(entry["scope"], new_refresh_token=True)

    def issue(self, scope, new_refresh_token):
        state = self.server.state
        switches = state.switches
        now = int(time.time())
        claims = {"iss": self.server.base_url, "aud": state.options.client_id, "sub": switches.subject,
                  "iat": now, "exp": now + switches.lifetime, "jti": secrets.token_hex(8)}
        if scope:
            claims["scope"] = scope
        key = state.key if switches.token != "bad-signature" else secrets.token_bytes(32)
        answer = {"access_token": make_jwt(key, claims), "token_type": "Bearer",
                  "expires_in": switches.lifetime}
        if scope:
            answer["scope"] = scope
        if switches.token == "no-expires-in":
            del answer["expires_in"]
        if new_refresh_token:
            refresh_token = secrets.token_urlsafe(32)
            state.refresh_tokens[refresh_token] = {"scope": scope, "revoked": False}
            answer["refresh_token"] = refresh_token
        self.answer_json(200, answer)

    # The device authorization endpoint.

    def device(self, params):
        state = self.server.state
        if params.get("client_id") != state.options.client_id:
            return self.oauth_error("invalid_client", "unknown client_id", 401)
        device_code = secrets.token_urlsafe(24)
        user_code = "%04d-%04d" % (secrets.randbelow(10000), secrets.randbelow(10000))
        status = {"wait": "pending", "approve": "approved", "deny": "denied"}[state.switches.device]
        state.devices[device_code] = {"user_code": user_code, "scope": params.get("scope", ""),
                                      "status": status, "expires": time.time() + DEVICE_LIFETIME}
        self.answer_json(200, {"device_code": device_code, "user_code": user_code,
                               "verification_uri": self.server.base_url + "/device/verify",
                               "expires_in": DEVICE_LIFETIME, "interval": state.switches.interval})

    # Switches for the tests.

    def control(self, action, params):
        state = self.server.state
        if action == "set":
            return self.set_switches(params)
        if action == "revoke":
            for entry in state.refresh_tokens.values():
                entry["revoked"] = True
        elif action in ("approve", "deny"):
            for entry in state.devices.values():
                if entry["status"] == "pending" and params.get("user_code", entry["user_code"]) == entry["user_code"]:
                    entry["status"] = "approved" if action == "approve" else "denied"
        elif action == "stats":
            return self.answer_json(200, {"counts": state.counts, "requests": state.log})
        elif action == "count":
            return self.answer(200, str(state.counts.get(params.get("endpoint", ""), 0)), "text/plain")
        elif action == "reset":
            state.reset()
        else:
            return self.answer_json(404, {"error": "unknown control " + action})
        self.answer_json(200, {"ok": True})

    def set_switches(self, params):
        switches = self.server.state.switches
        choices = {"token": ("normal", "garbage", "html", "hang", "no-expires-in", "server-error",
                             "bad-signature"),
                   "authorize": ("normal", "error", "wrong-state", "no-code", "no-state"),
                   "device": ("wait", "approve", "deny")}
        try:
            for name, value in params.items():
                if name in choices and value in choices[name]:
                    setattr(switches, name, value)
                elif name in ("lifetime", "interval"):
                    setattr(switches, name, int(value))
                elif name == "rotate":
                    switches.rotate = value not in ("0", "")
                elif name in ("subject", "error"):
                    setattr(switches, name, value)
                else:
                    raise ValueError("%s=%s" % (name, value))
        except ValueError as error:
            return self.answer_json(400, {"error": "bad switch " + str(error)})
        self.answer_json(200, {"ok": True})


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        # Clients that break off (time-outs, failed handshakes) are part of the tests.
        if self.state.options.verbose:
            super().handle_error(request, client_address)


def parse_options():
    parser = argparse.ArgumentParser(description="authorization server for the tests")
    parser.add_argument("--key-file", required=True, help="base64 HS256 secret (DIR/oauth2/hs256.key)")
    parser.add_argument("--user", default="kormoran", help='the "sub" claim of access tokens')
    parser.add_argument("--client-id", default="kormoran-test")
    parser.add_argument("--client-secret", help="when given, /token requires it")
    parser.add_argument("--lifetime", type=int, default=3600, help="access token lifetime in seconds")
    parser.add_argument("--interval", type=int, default=1, help="device flow polling interval")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file")
    parser.add_argument("--tls-cert")
    parser.add_argument("--tls-key")
    parser.add_argument("--verbose", action="store_true")
    return parser.parse_args()


def watch_parent(server):
    parent = os.getppid()
    while os.getppid() == parent:
        time.sleep(0.5)
    server.state.stopping.set()
    os._exit(0)


def main():
    options = parse_options()
    server = Server(("127.0.0.1", options.port), Handler)
    server.state = State(options)
    scheme = "http"
    if options.tls_cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(options.tls_cert, options.tls_key)
        server.socket = context.wrap_socket(server.socket, server_side=True, do_handshake_on_connect=False)
        scheme = "https"
    port = server.server_address[1]
    server.base_url = "%s://127.0.0.1:%d" % (scheme, port)
    for signal_number in (signal.SIGTERM, signal.SIGINT):
        signal.signal(signal_number, lambda *_: (server.state.stopping.set(), os._exit(0)))
    threading.Thread(target=watch_parent, args=(server,), daemon=True).start()
    if options.port_file:
        with open(options.port_file + ".new", "w") as file:
            file.write("%d\n" % port)
        os.replace(options.port_file + ".new", options.port_file)
    print(port, flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
