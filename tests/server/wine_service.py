"""The Windows build of zarvik12m-server under Wine: from a console, and as a
service of Wine's service manager. The emulator runs on this side; the
prefix's COM7 leads to it (the Windows step maps it when it boots the
prefix).

Run by CTest with ZARVIK12M_TEST_WINE (wine64), WINEPREFIX and
ZARVIK12M_WINDOWS_SERVER (the .exe) set; not a test_*.py file, so that the
Linux suite does not collect it."""

import json
import os
import pathlib
import re
import socket
import subprocess
import time
import urllib.request

import pytest

from conftest import SAMPLE_GOODS

MAPPED_PORT = 7
SERVICE = "zarvik12m-server"


def wine(*arguments, **options):
    return subprocess.run(
        [os.environ["ZARVIK12M_TEST_WINE"], *arguments], capture_output=True, timeout=120, **options
    )


@pytest.fixture
def mapped_port(emulator):
    """The emulator behind the prefix's COM7."""
    kkm = emulator("kkm", "--load", str(SAMPLE_GOODS))
    prefix = pathlib.Path(os.environ["WINEPREFIX"])
    link = prefix / "zarvik12m-ports" / f"com{MAPPED_PORT}"
    mapped = os.readlink(prefix / "dosdevices" / f"com{MAPPED_PORT}")
    assert pathlib.Path(mapped) == link, "the prefix does not map COM7 (the Windows step boots it)"
    link.parent.mkdir(exist_ok=True)
    link.unlink(missing_ok=True)
    link.symlink_to(kkm.path)
    yield kkm
    link.unlink(missing_ok=True)


@pytest.fixture
def session():
    """A Wine process that lives while the test does: the prefix's services
    end with the last program of the prefix."""
    keeper = subprocess.Popen(
        [os.environ["ZARVIK12M_TEST_WINE"], "cmd"],
        stdin=subprocess.PIPE,
        stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL,
    )
    yield
    keeper.communicate(b"exit\r\n", timeout=60)


def get(port, path, timeout=90):
    with urllib.request.urlopen(f"http://127.0.0.1:{port}{path}", timeout=timeout) as answer:
        return answer.status, json.loads(answer.read())


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def expected_names():
    names = []
    for line in SAMPLE_GOODS.read_bytes().decode("cp1251").splitlines():
        if line.strip():
            names.append(line.split(";")[3].rstrip())
    return names


def test_the_windows_server_reads_a_table_from_a_console(tmp_path, mapped_port):
    server = subprocess.Popen(
        [os.environ["ZARVIK12M_TEST_WINE"], os.environ["ZARVIK12M_WINDOWS_SERVER"], "--listen", "127.0.0.1:0",
         "--register", f"kkm={MAPPED_PORT}", "--state-dir", "state"],
        cwd=tmp_path,
        stdout=subprocess.DEVNULL,
        stderr=subprocess.PIPE,
    )
    try:
        port = None
        for line in server.stderr:
            found = re.search(rb"listening on 127\.0\.0\.1:(\d+)", line)
            if found:
                port = int(found.group(1))
                break
        assert port, "the server ended before it listened"
        status, answer = get(port, "/api/v1/registers/kkm/goods?wait=90")
        assert status == 200
        assert [item["name"].rstrip() for item in answer["goods"]] == expected_names()
        assert "Хлеб Бородинский" in expected_names()
    finally:
        server.kill()
        server.communicate(timeout=60)


def test_the_service_manager_runs_and_stops_the_registered_server(tmp_path, mapped_port, session):
    port = free_port()
    state = tmp_path / "state with blanks"
    installed = wine(
        os.environ["ZARVIK12M_WINDOWS_SERVER"], "--install-service", "--listen", f"127.0.0.1:{port}",
        "--register", f"kkm={MAPPED_PORT}", "--state-dir", state.name,
        cwd=tmp_path,
    )
    assert installed.returncode == 0, installed.stderr
    try:
        started = wine("sc", "start", SERVICE)
        # Wine starts a service registered to start with the machine at once.
        running = wine("sc", "query", SERVICE).stdout
        assert started.returncode == 0 or b"RUNNING" in running, running
        deadline = time.monotonic() + 60
        while True:
            try:
                status, answer = get(port, "/api/v1/registers/kkm/goods?wait=90")
                break
            except OSError:
                assert time.monotonic() < deadline, "the service never listened"
                time.sleep(0.2)
        assert status == 200 and len(answer["goods"]) == len(expected_names())
        stopped = wine("sc", "stop", SERVICE)
        assert stopped.returncode == 0, stopped.stdout
        log = state / "server.log"
        deadline = time.monotonic() + 60
        while b"zarvik12m-server: stopped" not in (log.read_bytes() if log.exists() else b""):
            assert time.monotonic() < deadline, "the service did not stop"
            time.sleep(0.2)
        assert b"GET /api/v1/registers/kkm/goods" in log.read_bytes()
    finally:
        removed = wine(os.environ["ZARVIK12M_WINDOWS_SERVER"], "--remove-service")
    assert removed.returncode == 0, removed.stderr
    assert b"RUNNING" not in wine("sc", "query", SERVICE).stdout
