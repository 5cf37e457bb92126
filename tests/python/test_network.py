"""The Python package reaching the emulated register over the network,
through Debian's ser2net (installed by scripts/install-dependencies.sh)."""

import os
import socket
import subprocess
import sys
import time

import pytest

import zarvik12m

SER2NET = "/usr/sbin/ser2net"


def unused_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def listening(port):
    wanted = ":%04X" % port
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        with open(table) as lines:
            for line in list(lines)[1:]:
                fields = line.split()
                if fields[1].endswith(wanted) and fields[3] == "0A":
                    return True
    return False


@pytest.fixture
def ser2net(tmp_path):
    """serve(device) gives the rfc2217:// address of ser2net serving it."""
    if not os.access(SER2NET, os.X_OK):
        print("\n*** ser2net is not installed: the network lines are NOT tested ***", file=sys.stderr)
        pytest.skip("ser2net is not installed")
    started = []

    def serve(device):
        port = unused_port()
        configuration = tmp_path / "ser2net.yaml"
        configuration.write_text(
            "connection: &rfc2217\n"
            "  accepter: telnet(rfc2217),tcp,127.0.0.1,%d\n"
            "  connector: serialdev,%s,9600n81,local\n"
            "  options:\n"
            "    chardelay: false\n" % (port, device))
        process = subprocess.Popen([SER2NET, "-n", "-u", "-c", str(configuration), "-P", str(tmp_path / "pid")],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        started.append(process)
        deadline = time.monotonic() + 10
        while not listening(port):  # ser2net says nothing when it listens
            assert time.monotonic() < deadline and process.poll() is None, "ser2net did not come up"
            time.sleep(0.02)
        return "rfc2217://127.0.0.1:%d" % port

    yield serve
    for process in started:
        process.kill()
        process.wait(timeout=30)


def test_a_register_on_the_network_reads_by_its_address(emulator, ser2net):
    register_emulator = emulator("--generate", "30")
    address = ser2net(register_emulator.path)
    register = zarvik12m.Register(address, baud=115200)
    goods = register.load_goods()
    assert [entry.code for entry in goods] == list(range(1, 31))
    assert register.properties().max_goods == 4000

    # Nobody at the port: the driver's open error names the address, with
    # no file's reason made up for it.
    nobody = zarvik12m.Register("tcp://127.0.0.1:%d" % unused_port(), baud=115200)
    with pytest.raises(zarvik12m.Error) as failure:
        nobody.load_goods()
    assert failure.value.code == -110
    assert "tcp://127.0.0.1:" in str(failure.value)
    assert "(" not in str(failure.value).split('"')[-1]
