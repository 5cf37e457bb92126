"""The service against emulated registers.

The built programs come from the environment that CTest sets:
ZARVIK12M_EMULATOR and ZARVIK12M_SERVER."""

import json
import os
import pathlib
import re
import signal
import subprocess
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
        self.token = None

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

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.communicate(timeout=30)

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        self.process.communicate(timeout=60)
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
