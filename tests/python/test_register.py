"""The Python package against the emulator: the Register class and the
command line python3 -m zarvik12m."""

import decimal
import os
import signal
import subprocess
import sys

import pytest

import zarvik12m
from conftest import CYRILLIC_GOODS, SOURCE

D = decimal.Decimal
BAUD = 115200

# cyrillic_goods.txt as the register gives it back.
EXPECTED = [
    zarvik12m.Goods(1, "4607010079192", D("52"), "Хлеб бородинский", 1, D("24")),
    zarvik12m.Goods(2, "      2100259", D("720"), "Сыр Ёлочка ё/1", 2, D("12.35")),
    zarvik12m.Goods(3, "          123", D("12"), "Молоко", 255, D("1")),
    zarvik12m.Goods(4, "             ", D("1999999"), 'Tea, 25 "pcs"', 0, D("0.001")),
]


def register_on(emulator):
    return zarvik12m.Register(emulator.path, baud=BAUD)


def test_a_cyrillic_table_reads_field_by_field_and_writes_back(emulator):
    register_emulator = emulator("--load", str(CYRILLIC_GOODS), "--serial", "77700077")
    register = register_on(register_emulator)
    seen = []
    goods = register.load_goods(progress=lambda position, maximum: seen.append((position, maximum)))
    assert goods == EXPECTED
    assert all(isinstance(entry.price, D) and isinstance(entry.quantity, D) for entry in goods)
    assert seen[-1] == (len(EXPECTED) + 1, 4000)
    assert register.properties() == zarvik12m.Properties("Зарвик-12М", "77700077", 4000)

    # A name that Windows-1251 cannot hold refuses the whole write.
    register.clear_goods()
    with pytest.raises(zarvik12m.Error) as refused:
        register.write_goods(goods[:1] + [zarvik12m.Goods(2, "1", D("1.5"), "Чай 茶", 1, D(1))])
    assert refused.value.code == -1 and "Товар 2" in str(refused.value)
    assert register.load_goods() == []

    register.write_goods(goods)
    register_emulator.stop()
    assert register_emulator.saved.read_bytes() == CYRILLIC_GOODS.read_bytes()


def test_a_register_status_and_a_missing_device_raise_the_drivers_errors(emulator, tmp_path):
    register = register_on(emulator("--status", "49:9"))
    with pytest.raises(zarvik12m.Error) as status:
        register.write_goods(EXPECTED)
    assert status.value.code == 9
    assert str(status.value) == "Ошибка ККМ: Есть продажи по данному товару"

    missing = zarvik12m.Register(str(tmp_path / "no-such-device"), baud=BAUD)
    with pytest.raises(OSError) as failure:
        missing.load_goods()
    assert isinstance(failure.value, zarvik12m.Error)
    assert failure.value.code == -110
    assert failure.value.goods == []
    assert "Ошибка открытия порта" in str(failure.value)


def test_ctrl_c_stops_the_driver_before_its_next_command(emulator):
    register = register_on(emulator("--generate", "4000"))

    def interrupt_at_ten(position, maximum):
        if position >= 10:
            signal.raise_signal(signal.SIGINT)

    with pytest.raises(KeyboardInterrupt):
        register.load_goods(progress=interrupt_at_ten)
    stopped_at = zarvik12m.register._native.library().zarvik12m_progress_position(register.port)
    assert 10 <= stopped_at < 4000
    # The driver has closed the port: the register answers the next call.
    assert len(register.load_goods()) == 4000


def run_cli(*arguments):
    environment = dict(os.environ, PYTHONPATH=str(SOURCE / "python"))
    return subprocess.run(
        [sys.executable, "-m", "zarvik12m", *arguments], env=environment, capture_output=True, text=True, timeout=120
    )


def test_csv_out_of_the_register_and_back_in_restores_it_byte_for_byte(emulator, tmp_path):
    register_emulator = emulator("--load", str(CYRILLIC_GOODS))
    table = tmp_path / "plu.csv"
    line = ["--port", register_emulator.path, "--baud", str(BAUD)]
    read = run_cli("read", *line, "--format", "csv", str(table))
    assert read.returncode == 0, read.stderr
    assert table.read_bytes().decode("utf-8").splitlines()[0] == "code;barcode;price;name;group;quantity"
    assert 'Tea, 25 ""pcs""' in table.read_text(encoding="utf-8")

    cleared = run_cli("clear", *line)
    assert cleared.returncode == 0, cleared.stderr
    written = run_cli("write", *line, "--format", "csv", str(table))
    assert written.returncode == 0, written.stderr

    plu = tmp_path / "plu.txt"
    assert run_cli("read", *line, str(plu)).returncode == 0
    assert plu.read_bytes() == CYRILLIC_GOODS.read_bytes()
    info = run_cli("info", *line)
    assert info.stdout.splitlines()[0] == "device: Зарвик-12М"
    register_emulator.stop()
    assert register_emulator.saved.read_bytes() == CYRILLIC_GOODS.read_bytes()


def test_the_command_line_fails_with_exit_code_1(emulator, tmp_path):
    register_emulator = emulator("--load", str(CYRILLIC_GOODS))
    line = ["--port", register_emulator.path, "--baud", str(BAUD)]
    broken = tmp_path / "broken.csv"
    broken.write_text("code;barcode;price;name;group;quantity\n5;1;twelve;Хлеб;1;1\n", encoding="utf-8")
    refused = run_cli("write", *line, "--format", "csv", str(broken))
    assert refused.returncode == 1 and "line 2" in refused.stderr

    assert run_cli("read", "--format", "csv").returncode == 1  # no --port, no file
    missing = run_cli("info", "--port", str(tmp_path / "nothing"))
    assert missing.returncode == 1 and "Ошибка открытия порта" in missing.stderr

    # Nothing reached the register.
    register_emulator.stop()
    assert register_emulator.saved.read_bytes() == CYRILLIC_GOODS.read_bytes()
