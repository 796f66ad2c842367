#!/usr/bin/env python3
"""The private POP3 server in oauth2 mode and the tests' authorization server, spoken to
over bare sockets: tokens got by the authorization code flow with PKCE (the test plays
the browser), the device flow and refreshes open the mailbox with XOAUTH2 and
OAUTHBEARER; expired, foreign and badly signed tokens do not; the switches work."""

import base64
import hashlib
import http.client
import json
import os
import secrets
import socket
import ssl
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
POP3_SCRIPT = os.path.join(SOURCE, "scripts", "private-pop3")
AUTH_SERVER = os.path.join(SOURCE, "tests", "support", "oauth-server.py")
CLIENT_ID = "kormoran-test"
USER = "kormoran"
REDIRECT = "http://127.0.0.1:%d/" % 40999  # nothing listens there: the test reads Location


def b64url(data):
    return base64.urlsafe_b64encode(data).rstrip(b"=").decode()


def jwt_claims(token):
    body = token.split(".")[1]
    return json.loads(base64.urlsafe_b64decode(body + "=" * (-len(body) % 4)))


class Servers:
    def start(self):
        self.directory = tempfile.mkdtemp(prefix="kormoran-pop3.", dir="/tmp")
        started = subprocess.run(["bash", POP3_SCRIPT, "start", "--tls", "--oauth2", self.directory],
                                 capture_output=True, text=True, stdin=subprocess.DEVNULL)
        if started.returncode != 0:
            raise RuntimeError("private POP3 server did not start:\n" + started.stdout + started.stderr)
        self.pop3_port, self.pop3s_port = map(int, started.stdout.split()[-2:])
        self.auth = subprocess.Popen([sys.executable, AUTH_SERVER, "--key-file",
                                      os.path.join(self.directory, "oauth2", "hs256.key"), "--lifetime", "2"],
                                     stdout=subprocess.PIPE, stdin=subprocess.DEVNULL, text=True)
        self.auth_port = int(self.auth.stdout.readline())

    def stop(self):
        if getattr(self, "auth", None):
            self.auth.terminate()
            self.auth.wait()
            self.auth.stdout.close()
        subprocess.run(["bash", POP3_SCRIPT, "stop", self.directory], stdin=subprocess.DEVNULL)


SERVERS = Servers()


def setUpModule():
    SERVERS.start()


def tearDownModule():
    SERVERS.stop()


def http_request(method, path, params=None, timeout=5):
    connection = http.client.HTTPConnection("127.0.0.1", SERVERS.auth_port, timeout=timeout)
    body = urllib.parse.urlencode(params or {})
    headers = {"Content-Type": "application/x-www-form-urlencoded"} if method == "POST" else {}
    if method == "GET" and params:
        path, body = path + "?" + body, None
    try:
        connection.request(method, path, body, headers)
        response = connection.getresponse()
        return response.status, dict(response.getheaders()), response.read()
    finally:
        connection.close()


def control(action, **params):
    status, _, body = http_request("POST", "/control/" + action, params)
    assert status == 200, body
    return json.loads(body)


def token_request(**params):
    status, headers, body = http_request("POST", "/token", dict(client_id=CLIENT_ID, **params))
    return status, headers, body


def authorize(state="st-" + secrets.token_hex(4), verifier=None):
    """Plays the browser: the redirect's query, the verifier and the state sent."""
    verifier = verifier or secrets.token_urlsafe(48)
    challenge = b64url(hashlib.sha256(verifier.encode()).digest())
    status, headers, _ = http_request("GET", "/authorize", {
        "response_type": "code", "client_id": CLIENT_ID, "redirect_uri": REDIRECT, "scope": "mail",
        "code_challenge": challenge, "code_challenge_method": "S256", "state": state})
    assert status == 302, status
    location = headers["Location"]
    assert location.startswith(REDIRECT + "?"), location
    return dict(urllib.parse.parse_qsl(urllib.parse.urlsplit(location).query)), verifier, state


def first_login():
    query, verifier, _ = authorize()
    status, _, body = token_request(grant_type="authorization_code", code=query["code"],
                                    redirect_uri=REDIRECT, code_verifier=verifier)
    assert status == 200, body
    return json.loads(body)


class Pop3s:
    def __init__(self):
        context = ssl.create_default_context(cafile=os.path.join(SERVERS.directory, "tls", "ca.pem"))
        raw = socket.create_connection(("127.0.0.1", SERVERS.pop3s_port), timeout=5)
        self.socket = context.wrap_socket(raw, server_hostname="127.0.0.1")
        self.file = self.socket.makefile("rwb")
        self.greeting = self.read()

    def read(self):
        return self.file.readline().decode().rstrip("\r\n")

    def send(self, line):
        self.file.write(line.encode() + b"\r\n")
        self.file.flush()
        return self.read()

    def capabilities(self):
        assert self.send("CAPA").startswith("+OK")
        lines = []
        while (line := self.read()) != ".":
            lines.append(line)
        return lines

    def close(self):
        self.socket.close()


def xoauth2(token, user=USER):
    return base64.b64encode(("user=%s\x01auth=Bearer %s\x01\x01" % (user, token)).encode()).decode()


def oauthbearer(token, user=USER):
    text = "n,a=%s,\x01host=127.0.0.1\x01port=%d\x01auth=Bearer %s\x01\x01" % (
        user, SERVERS.pop3s_port, token)
    return base64.b64encode(text.encode()).decode()


def login(mechanism, initial_response, two_step=False):
    """The server's last answer, after answering a challenge of a refusal with an empty line."""
    pop3 = Pop3s()
    try:
        if two_step:
            assert pop3.send("AUTH " + mechanism) == "+ "
            answer = pop3.send(initial_response)
        else:
            answer = pop3.send("AUTH %s %s" % (mechanism, initial_response))
        if answer.startswith("+ "):
            error = json.loads(base64.b64decode(answer[2:]))
            assert error["status"] in ("400", "401", "invalid_token"), error
            answer = pop3.send("")
        return answer
    finally:
        pop3.close()


class OAuthInfrastructureTest(unittest.TestCase):
    def setUp(self):
        control("reset")

    def test_capabilities_over_tls_offer_both_mechanisms(self):
        pop3 = Pop3s()
        sasl = [line for line in pop3.capabilities() if line.startswith("SASL ")]
        pop3.close()
        self.assertEqual(len(sasl), 1)
        self.assertIn("XOAUTH2", sasl[0].split())
        self.assertIn("OAUTHBEARER", sasl[0].split())

    def test_first_login_opens_the_mailbox_with_both_mechanisms_until_the_token_expires(self):
        tokens = first_login()
        self.assertEqual(tokens["expires_in"], 2)
        self.assertIn("refresh_token", tokens)
        self.assertEqual(jwt_claims(tokens["access_token"])["sub"], USER)
        access = tokens["access_token"]
        self.assertEqual(login("XOAUTH2", xoauth2(access)), "+OK Logged in.")
        self.assertEqual(login("XOAUTH2", xoauth2(access), two_step=True), "+OK Logged in.")
        self.assertEqual(login("OAUTHBEARER", oauthbearer(access)), "+OK Logged in.")
        self.assertTrue(login("XOAUTH2", xoauth2(access, user="somebody")).startswith("-ERR"))

        time.sleep(max(0.0, jwt_claims(access)["exp"] + 1.1 - time.time()))
        self.assertTrue(login("XOAUTH2", xoauth2(access)).startswith("-ERR"))
        self.assertTrue(login("OAUTHBEARER", oauthbearer(access)).startswith("-ERR"))
        with open(os.path.join(SERVERS.directory, "dovecot.log")) as log:
            self.assertIn("Token has expired", log.read())

    def test_a_refresh_is_one_request_and_stops_working_when_revoked(self):
        tokens = first_login()
        before = control("stats")["counts"].get("token", 0)
        status, _, body = token_request(grant_type="refresh_token", refresh_token=tokens["refresh_token"])
        self.assertEqual(status, 200, body)
        self.assertEqual(control("stats")["counts"]["token"], before + 1)
        self.assertEqual(http_request("GET", "/control/count", {"endpoint": "token"})[2], b"%d" % (before + 1))
        self.assertEqual(login("XOAUTH2", xoauth2(json.loads(body)["access_token"])), "+OK Logged in.")

        control("revoke")
        status, _, body = token_request(grant_type="refresh_token", refresh_token=tokens["refresh_token"])
        self.assertEqual((status, json.loads(body)["error"]), (400, "invalid_grant"))

    def test_the_code_is_bound_to_its_verifier_and_used_once(self):
        query, verifier, _ = authorize()
        status, _, body = token_request(grant_type="authorization_code", code=query["code"],
                                        redirect_uri=REDIRECT, code_verifier=secrets.token_urlsafe(48))
        self.assertEqual((status, json.loads(body)["error"]), (400, "invalid_grant"))
        status, _, _ = token_request(grant_type="authorization_code", code=query["code"],
                                     redirect_uri=REDIRECT, code_verifier=verifier)
        self.assertEqual(status, 400)

    def test_redirect_switches(self):
        query, _, state = authorize()
        self.assertEqual(query["state"], state)
        control("set", authorize="wrong-state")
        query, _, state = authorize()
        self.assertNotEqual(query["state"], state)
        control("set", authorize="error", error="access_denied")
        query, _, _ = authorize()
        self.assertEqual(query["error"], "access_denied")
        self.assertNotIn("code", query)

    def test_token_endpoint_switches(self):
        control("set", token="no-expires-in")
        self.assertNotIn("expires_in", first_login())
        control("set", token="html")
        status, headers, _ = token_request(grant_type="refresh_token", refresh_token="x")
        self.assertTrue(headers["Content-Type"].startswith("text/html"))
        control("set", token="garbage")
        _, _, body = token_request(grant_type="refresh_token", refresh_token="x")
        self.assertRaises(ValueError, json.loads, body)
        control("set", token="hang")
        self.assertRaises(socket.timeout, http_request, "POST", "/token", {}, 0.5)
        control("set", token="bad-signature")
        self.assertTrue(login("XOAUTH2", xoauth2(first_login()["access_token"])).startswith("-ERR"))

    def test_device_flow_waits_for_the_user(self):
        status, _, body = http_request("POST", "/device", {"client_id": CLIENT_ID, "scope": "mail"})
        self.assertEqual(status, 200, body)
        device = json.loads(body)
        poll = dict(grant_type="urn:ietf:params:oauth:grant-type:device_code", device_code=device["device_code"])
        status, _, body = token_request(**poll)
        self.assertEqual(json.loads(body)["error"], "authorization_pending")
        control("approve", user_code=device["user_code"])
        status, _, body = token_request(**poll)
        self.assertEqual(status, 200, body)
        self.assertEqual(login("OAUTHBEARER", oauthbearer(json.loads(body)["access_token"])), "+OK Logged in.")

    def test_passwords_still_open_the_mailbox(self):
        with socket.create_connection(("127.0.0.1", SERVERS.pop3_port), timeout=5) as raw:
            file = raw.makefile("rwb")
            file.readline()
            for command, expected in (("USER kormoran", b"+OK"), ("PASS heslo", b"+OK Logged in.")):
                file.write(command.encode() + b"\r\n")
                file.flush()
                self.assertTrue(file.readline().startswith(expected))


if __name__ == "__main__":
    unittest.main()
