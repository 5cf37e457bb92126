"""What the register could not give back unchanged is refused before
anything is sent: tables, arguments and the library itself; and the names
under which the package finds ports and the C library, on both systems."""

import decimal
import errno
import os
import subprocess
import sys
import threading

import pytest

import zarvik12m
from conftest import SOURCE
from zarvik12m import _native, ports

D = decimal.Decimal
BAUD = 115200


def sound_table():
    return [zarvik12m.Goods(code, "460%d" % code, D(12), "Чай", 1, D("1.5")) for code in (1, 2, 3)]


def changed(field, value, entry=1):
    table = sound_table()
    setattr(table[entry], field, value)
    return table


REFUSED_TABLES = [
    (changed("name", "Чай №1"), 1, "name"),
    (changed("name", "«Чай»"), 1, "name"),
    (changed("name", "Чай 5€"), 1, "name"),
    (changed("name", "Чай — чёрный"), 1, "name"),
    (changed("name", "Чай…"), 1, "name"),
    (changed("name", "Чай\u00a05"), 1, "name"),
    (changed("name", "Хлеб бородинский!"), 1, "name"),
    (changed("barcode", "46000000000001"), 1, "barcode"),
    (changed("price", D(-45)), 1, "price"),
    (changed("price", D("99999999999.99")), 1, "price"),
    (changed("price", D("4294967296")), 1, "price"),
    (changed("price", D("45.50")), 1, "price"),
    (changed("price", float("nan")), 1, "price"),
    (changed("quantity", D(-1)), 1, "quantity"),
    (changed("quantity", float("nan")), 1, "quantity"),
    (changed("quantity", float("inf")), 1, "quantity"),
    (changed("quantity", D("1e12")), 1, "quantity"),
    (changed("quantity", D("1e30")), 1, "quantity"),
    (changed("quantity", D("0.0005")), 1, "quantity"),
    (changed("quantity", D("12.3450000000000001")), 1, "quantity"),
    (changed("code", 0), 1, "code"),
    (changed("code", 4001), 1, "code"),
    (changed("code", 1), 1, "code"),  # a duplicate
    (changed("code", 40), 1, "code"),  # 1, 40, 3: a read stops at the free code 2
    (changed("group", 256), 1, "group"),
    ([zarvik12m.Goods(code) for code in range(1, 4002)], 4000, "code"),
]


def test_every_refusal_is_a_goods_error_and_nothing_reaches_the_register(emulator, tmp_path):
    trace = tmp_path / "trace.txt"
    register_emulator = emulator("--trace=%s" % trace)
    register = zarvik12m.Register(register_emulator.path, baud=BAUD)
    for table, row, field in REFUSED_TABLES:
        with pytest.raises(zarvik12m.GoodsError) as refused:
            register.write_goods(table)
        assert isinstance(refused.value, ValueError) and refused.value.code == -1
        assert (refused.value.row, refused.value.field) == (row, field), str(refused.value)
        assert str(refused.value).startswith("Товар %d, " % (row + 1))
    with pytest.raises(zarvik12m.GoodsError, match="«№» \\(U\\+2116\\)"):
        register.write_goods(changed("name", "Чай №1"))
    with pytest.raises(TypeError):
        register.write_goods(changed("price", "12"))
    with pytest.raises(TypeError):
        register.write_goods(changed("code", 1.0))

    for port, baud, net, kind in [(0, BAUD, 1, ValueError), (33, BAUD, 1, ValueError),
                                  (register_emulator.path, BAUD, 0, ValueError),
                                  (register_emulator.path, BAUD, 100, ValueError),
                                  (register_emulator.path, 0, 1, ValueError),
                                  (register_emulator.path, -9600, 1, ValueError),
                                  (register_emulator.path, 7, 1, ValueError),
                                  (register_emulator.path, "9600", 1, TypeError),
                                  (True, BAUD, 1, TypeError)]:
        with pytest.raises(kind):
            zarvik12m.Register(port, baud=baud, net=net)
    assert trace.read_text() == ""

    # The rounding asked for rounds as Zarvik12mPLU does, halves to even.
    register.write_goods(changed("price", D("45.50")) + [zarvik12m.Goods(4, price=D("44.5"))], round_prices=True)
    assert [entry.price for entry in register.load_goods()] == [12, 46, 12, 44]


def test_a_stopped_write_tells_how_many_entries_the_register_took(emulator):
    register_emulator = emulator()
    register = zarvik12m.Register(register_emulator.path, baud=BAUD)
    table = [zarvik12m.Goods(code, name="Товар %d" % code) for code in range(1, 4001)]

    def interrupt_at_ten(position, maximum):
        if position >= 10:
            import signal
            signal.raise_signal(signal.SIGINT)

    with pytest.raises(KeyboardInterrupt) as stopped:
        register.write_goods(table, progress=interrupt_at_ten)
    assert 10 <= stopped.value.written < 4000
    assert len(register.load_goods()) == stopped.value.written


def test_port_failures_name_the_users_device_and_the_systems_reason(tmp_path):
    missing = zarvik12m.Register(str(tmp_path / "ttyUSB9"), baud=BAUD)
    with pytest.raises(zarvik12m.PortError) as failure:
        missing.load_goods()
    assert isinstance(failure.value, OSError) and failure.value.errno == errno.ENOENT
    assert str(failure.value).startswith("[%s] " % (tmp_path / "ttyUSB9"))
    assert "[COM" not in str(failure.value)
    for path, number in [(str(tmp_path), errno.EISDIR), ("/dev/null", errno.ENOTTY)]:
        with pytest.raises(zarvik12m.PortError) as failure:
            zarvik12m.Register(path, baud=BAUD).clear_goods()
        assert failure.value.errno == number and failure.value.port == path
    assert ports.DIALOUT_HINT in ports.reason_text((errno.EACCES, "Permission denied"))


def test_port_failures_are_sorted_by_the_kind_the_driver_uses(tmp_path):
    missing = zarvik12m.Register(str(tmp_path / "ttyUSB9"), baud=BAUD)
    with pytest.raises(zarvik12m.PortError) as failure:
        missing.load_goods()
    assert failure.value.kind == ports.NOT_FOUND
    with pytest.raises(zarvik12m.PortError) as failure:
        zarvik12m.Register("/dev/null", baud=BAUD).clear_goods()
    assert failure.value.kind == ports.NOT_SERIAL
    # A line that another opener holds: the driver's lock tells it.
    master, slave = os.openpty()
    try:
        holder = os.open(os.ttyname(slave), os.O_RDWR | os.O_NOCTTY)
        import fcntl
        fcntl.flock(holder, fcntl.LOCK_EX | fcntl.LOCK_NB)
        with pytest.raises(zarvik12m.PortError) as failure:
            zarvik12m.Register(os.ttyname(slave), baud=BAUD).clear_goods()
        assert failure.value.code == -110 and failure.value.kind == ports.BUSY
        assert failure.value.errno == errno.EBUSY and os.strerror(errno.EBUSY) in str(failure.value)
        os.close(holder)
    finally:
        os.close(slave)
        os.close(master)
    for number, kind in [(errno.EACCES, ports.DENIED), (errno.EIO, ports.OTHER), (errno.EPIPE, ports.CLOSED),
                         (errno.ETIMEDOUT, ports.TIMED_OUT), (None, None)]:
        assert ports.error_kind(number) == kind
    assert ports.error_kind(errno.EIO, opening=True) == ports.NOT_SERIAL


def test_windows_port_names_and_library_are_chosen_by_pure_rules(tmp_path):
    for name, number in [(3, 3), ("COM3", 3), ("com3", 3), (r"\\.\COM12", 12), ("COM32", 32)]:
        assert ports.direct_number(name, system="nt") == number
    for name in ["COM33", "COM0", r"\\.\CNCA0", "/dev/ttyUSB0"]:
        assert ports.direct_number(name, system="nt") is None
    assert ports.direct_number("COM3", system="posix") is None
    with pytest.raises(ValueError):
        ports.direct_number(0, system="nt")
    with pytest.raises(TypeError):
        ports.direct_number(3.0, system="nt")

    assert _native.library_name("nt") == "zarvik12m-c.dll"
    assert _native.library_name("posix") == "libzarvik12m-c.so.1"
    assert _native.loader_name("nt", 4) == "WinDLL"
    assert _native.loader_name("nt", 8) == "CDLL"
    assert _native.loader_name("posix", 4) == "CDLL"
    assert _native.candidates({}, str(tmp_path), "nt") == ["zarvik12m-c.dll"]
    (tmp_path / "zarvik12m-c.dll").write_bytes(b"")
    assert _native.candidates({}, str(tmp_path), "nt") == [str(tmp_path / "zarvik12m-c.dll"), "zarvik12m-c.dll"]
    assert _native.candidates({"ZARVIK12M_LIBRARY": "C:\\x\\zarvik12m-c.dll"}, str(tmp_path), "nt") == [
        "C:\\x\\zarvik12m-c.dll"]


def test_device_paths_get_distinct_com_numbers_under_threads():
    environment = {"ZARVIK12M_COM32": "/dev/ttyS0"}  # set by the program itself: never taken
    numbers = ports.ComNumbers(environment)
    got = {}

    def take(k):
        got[k] = numbers.take("/dev/ttyTHREAD%d" % k)

    threads = [threading.Thread(target=take, args=(k,)) for k in range(31)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert len(set(got.values())) == 31 and 32 not in got.values()
    assert numbers.take("/dev/ttyTHREAD7") == got[7]
    assert numbers.take("/dev/ttyS0") == 32
    with pytest.raises(ValueError):
        numbers.take("/dev/one-too-many")
    # A number whose registers are gone serves another path.
    numbers.release(got[3])
    assert numbers.take("/dev/ttyNEW") == got[3] and environment["ZARVIK12M_COM%d" % got[3]] == "/dev/ttyNEW"


def test_a_wrong_library_is_a_one_line_error():
    cxx_library = os.path.join(os.path.dirname(os.environ["ZARVIK12M_LIBRARY"]), "libzarvik12m.so.1")
    environment = dict(os.environ, PYTHONPATH=str(SOURCE / "python"), ZARVIK12M_LIBRARY=cxx_library)
    result = subprocess.run([sys.executable, "-m", "zarvik12m", "info", "--port", "1"], env=environment,
                            capture_output=True, text=True, timeout=60)
    assert result.returncode == 1
    assert result.stderr.count("\n") == 1 and "is not the C library" in result.stderr, result.stderr


def test_ctrl_c_while_the_command_line_loads_is_the_stop_message_not_a_traceback(tmp_path):
    # Ctrl+C arrives while the package's modules are imported.
    (tmp_path / "sitecustomize.py").write_text(
        "import signal, sys\n"
        "def interrupt(event, arguments):\n"
        "    if event == 'import' and arguments[0] == 'zarvik12m.files':\n"
        "        signal.raise_signal(signal.SIGINT)\n"
        "sys.addaudithook(interrupt)\n")
    environment = dict(os.environ, PYTHONPATH="%s:%s" % (tmp_path, SOURCE / "python"))
    result = subprocess.run([sys.executable, "-m", "zarvik12m", "info", "--port", "1"], env=environment,
                            capture_output=True, text=True, timeout=60)
    assert (result.returncode, result.stderr) == (1, "Операция была прервана пользователем\n")
