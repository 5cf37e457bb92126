"""The service against emulated registers.

The built programs come from the environment that CTest sets:
ZARVIK12M_EMULATOR and ZARVIK12M_SERVER."""

import http.client
import json
import os
import pathlib
import re
import signal
import subprocess
import threading
import urllib.error
import urllib.request

import pytest

SOURCE = pathlib.Path(__file__).resolve().parents[2]
SAMPLE_GOODS = SOURCE / "examples" / "goods.txt"


class Emulator:
    def __init__(self, work, name, *options):
        self.saved = work / f"{name}-after.txt"
        self.trace = work / f"{name}-frames.txt"
        self.process = subprocess.Popen(
            [os.environ["ZARVIK12M_EMULATOR"], "--save", str(self.saved), f"--trace={self.trace}", *options],
            cwd=work,
            stdout=subprocess.PIPE,
            stderr=subprocess.STDOUT,
        )
        self.path = self.process.stdout.readline().decode().strip()
        assert self.path.startswith("/dev/"), self.path

    def frames(self):
        return self.trace.read_text(encoding="cp1251") if self.trace.exists() else ""

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGINT)
        self.process.communicate(timeout=30)


class Response:
    def __init__(self, status, headers, body):
        self.status = status
        self.headers = headers
        self.body = body

    def json(self):
        return json.loads(self.body)


class Server:
    def __init__(self, work, *options, state=None):
        self.state = state or (work / "state")
        self.process = subprocess.Popen(
            [os.environ["ZARVIK12M_SERVER"], "--listen", "127.0.0.1:0", "--state-dir", str(self.state), *options],
            cwd=work,
            stdout=subprocess.DEVNULL,
            stderr=subprocess.PIPE,
        )
        self.log = []
        # Its first line tells the port it took, once it serves.
        while True:
            line = self.process.stderr.readline().decode()
            assert line, "the server ended: " + "".join(self.log)
            self.log.append(line)
            found = re.search(r"listening on 127\.0\.0\.1:(\d+)", line)
            if found:
                self.port = int(found.group(1))
                break
        # The request log goes on: read it all along, so that the pipe never
        # fills and holds the service up.
        self.reader = threading.Thread(target=self._read_log, daemon=True)
        self.reader.start()
        self.token = None

    def _read_log(self):
        for line in self.process.stderr:
            self.log.append(line.decode(errors="replace"))

    def log_text(self):
        """What the service has written to its standard error (all of it
        once it has ended)."""
        if self.process.poll() is not None:
            self.reader.join(timeout=30)
        return "".join(self.log)

    def request(self, method, path, body=None, headers=None):
        data = None
        all_headers = dict(headers or {})
        if body is not None:
            data = body if isinstance(body, bytes) else json.dumps(body).encode()
            all_headers.setdefault("Content-Type", "application/json")
        if self.token:
            all_headers.setdefault("Authorization", "Bearer " + self.token)
        request = urllib.request.Request(
            f"http://127.0.0.1:{self.port}{path}", data=data, method=method, headers=all_headers
        )
        try:
            with urllib.request.urlopen(request, timeout=60) as answer:
                return Response(answer.status, answer.headers, answer.read())
        except urllib.error.HTTPError as error:
            return Response(error.code, error.headers, error.read())

    def events(self, path, headers=None):
        """The Server-Sent Events of a stream until the service ends it:
        [(event, data as JSON)], and the response's status and headers."""
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=60)
        try:
            connection.request("GET", path, headers=dict(headers or {}))
            answer = connection.getresponse()
            if answer.status != 200:
                return answer.status, answer.headers, json.loads(answer.read())
            events, name, data = [], None, []
            for raw in answer:
                line = raw.decode().rstrip("\r\n")
                if line.startswith("event: "):
                    name = line[len("event: "):]
                elif line.startswith("data: "):
                    data.append(line[len("data: "):])
                elif not line and name is not None:
                    events.append((name, json.loads("\n".join(data))))
                    name, data = None, []
            return answer.status, answer.headers, events
        finally:
            connection.close()

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait(timeout=30)
        self.reader.join(timeout=30)

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        self.process.wait(timeout=60)
        self.reader.join(timeout=30)
        return self.process.returncode


@pytest.fixture
def emulator(tmp_path):
    started = []

    def start(name="kkm", *options):
        started.append(Emulator(tmp_path, name, *options))
        return started[-1]

    yield start
    for each in started:
        each.stop()


@pytest.fixture
def server(tmp_path):
    started = []

    def start(*options, state=None):
        started.append(Server(tmp_path, *options, state=state))
        return started[-1]

    yield start
    for each in started:
        each.kill()
