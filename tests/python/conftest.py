"""Registers for the tests: the emulator on a pseudo-terminal of its own.

The built programs come from the environment that CTest sets:
ZARVIK12M_EMULATOR (the emulator) and ZARVIK12M_LIBRARY (the C library)."""

import os
import pathlib
import signal
import subprocess

import pytest

SOURCE = pathlib.Path(__file__).resolve().parents[2]
CYRILLIC_GOODS = SOURCE / "tests" / "capi" / "cyrillic_goods.txt"


class Emulator:
    def __init__(self, work, *options):
        self.saved = work / "register-after.txt"
        self.process = subprocess.Popen(
            [os.environ["ZARVIK12M_EMULATOR"], "--save", str(self.saved), *options],
            cwd=work,
            stdout=subprocess.PIPE,
            stderr=subprocess.STDOUT,
        )
        # Its first line is the pseudo-terminal's path, once it serves.
        self.path = self.process.stdout.readline().decode().strip()
        assert self.path.startswith("/dev/"), self.path

    def stop(self):
        """Ends the emulator; the table it held is then in self.saved."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGINT)
        self.process.communicate(timeout=30)


@pytest.fixture
def emulator(tmp_path, monkeypatch):
    """start(*options) gives a running emulator, stopped after the test."""
    monkeypatch.chdir(tmp_path)
    started = []

    def start(*options):
        started.append(Emulator(tmp_path, *options))
        return started[-1]

    yield start
    for each in started:
        each.stop()
