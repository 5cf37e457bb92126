"""The command line's files: written as Zarvik12mPLU /l writes its file,
readable by the other side, and refused before the register is touched
when they cannot be."""

import os
import stat
import subprocess
import sys
import threading

from conftest import CYRILLIC_GOODS, SOURCE

BAUD = 115200


def cli(*arguments, stdin=None):
    environment = dict(os.environ, PYTHONPATH=str(SOURCE / "python"))
    return subprocess.run([sys.executable, "-m", "zarvik12m", *arguments], env=environment, capture_output=True,
                          input=stdin, timeout=120)


def line_of(register_emulator):
    return ["--port", register_emulator.path, "--baud", str(BAUD)]


def test_read_writes_through_links_into_devices_and_pipes_and_refuses_read_only_files(emulator, tmp_path):
    trace = tmp_path / "trace.txt"
    register_emulator = emulator("--load", str(CYRILLIC_GOODS), "--trace=%s" % trace)
    line = line_of(register_emulator)
    expected = CYRILLIC_GOODS.read_bytes()

    # Files that cannot be written are found before the register is read;
    # the messages name the user's file.
    locked = tmp_path / "locked.txt"
    locked.write_bytes(b"old")
    locked.chmod(0o444)
    refused = cli("read", *line, str(locked))
    assert refused.returncode == 1 and locked.read_bytes() == b"old"
    assert "%s: File access denied" % locked in refused.stderr.decode()
    nowhere = cli("read", *line, str(tmp_path / "missing" / "plu.txt"))
    assert nowhere.returncode == 1 and str(tmp_path / "missing" / "plu.txt") in nowhere.stderr.decode()
    folder = cli("read", *line, str(tmp_path))
    assert folder.returncode == 1 and "File access denied" in folder.stderr.decode()
    assert trace.read_text() == ""
    assert not [name for name in os.listdir(tmp_path) if name.startswith(".")]

    # Through a link: the file it leads to is written, the link stays.
    target = tmp_path / "target.txt"
    target.write_bytes(b"old")
    target.chmod(0o640)
    link = tmp_path / "link.txt"
    link.symlink_to(target)
    assert cli("read", *line, str(link)).returncode == 0
    assert link.is_symlink() and target.read_bytes() == expected
    assert stat.S_IMODE(target.stat().st_mode) == 0o640

    # "-" is standard output: the table alone, the messages on standard error.
    out = cli("read", *line, "-")
    assert out.returncode == 0 and out.stdout == expected and b"4 goods read" in out.stderr

    # A pipe is written in place and stays a pipe.
    pipe = tmp_path / "pipe"
    os.mkfifo(pipe)
    received = []
    reader = threading.Thread(target=lambda: received.append(pipe.read_bytes()))
    reader.start()
    piped = cli("read", *line, str(pipe))
    reader.join(timeout=60)
    assert piped.returncode == 0, piped.stderr
    assert received == [expected] and stat.S_ISFIFO(pipe.stat().st_mode)

    # Standard input for write.
    assert cli("clear", *line).returncode == 0
    assert cli("write", *line, "-", stdin=expected).returncode == 0
    register_emulator.stop()
    assert register_emulator.saved.read_bytes() == expected


def test_files_other_programs_write_and_read(emulator, tmp_path):
    register_emulator = emulator()
    line = line_of(register_emulator)

    # A PLU file in UTF-8 is taken for UTF-8, as Zarvik12mPLU /w takes it.
    utf8 = tmp_path / "utf8.txt"
    utf8.write_bytes(CYRILLIC_GOODS.read_bytes().decode("cp1251").encode("utf-8"))
    assert cli("write", *line, str(utf8)).returncode == 0
    plu = tmp_path / "plu.txt"
    assert cli("read", *line, str(plu)).returncode == 0
    assert plu.read_bytes() == CYRILLIC_GOODS.read_bytes()

    # A CSV from a spreadsheet: a byte-order mark, a trailing all-empty row.
    table = tmp_path / "table.csv"
    assert cli("read", *line, "--format", "csv", "--bom", str(table)).returncode == 0
    data = table.read_bytes()
    assert data.startswith(b"\xef\xbb\xbfcode;barcode;price;name;group;quantity\r\n")
    table.write_bytes(data.replace("Молоко".encode(), "Молоко 3,2% 1л".encode()) + b";;;;;\r\n")
    assert cli("clear", *line).returncode == 0
    written = cli("write", *line, "--format", "csv", str(table))
    assert written.returncode == 0, written.stderr
    assert b"4 goods written" in written.stdout

    # A name holding the separator is refused by read, naming the entry;
    # the file is not made.
    commas = tmp_path / "commas.txt"
    refused = cli("read", *line, "--separator", ",", str(commas))
    assert refused.returncode == 1 and not commas.exists()
    assert "entry 3 (code 3): the name 'Молоко 3,2% 1л  ' holds the separator ','" in refused.stderr.decode()
    # CSV quotes it.
    assert cli("read", *line, "--format", "csv", "--separator", ",", str(commas)).returncode == 0
    assert '3,123,12.00,"Молоко 3,2% 1л",255,1.000' in commas.read_text(encoding="utf-8")

    # A CSV that is not UTF-8: the line, and what to do.
    cp1251 = tmp_path / "cp1251.csv"
    cp1251.write_bytes("code;barcode;price;name;group;quantity\r\n1;1;1;Чай;1;1\r\n".encode("cp1251"))
    wrong = cli("write", *line, "--format", "csv", str(cp1251))
    assert wrong.returncode == 1
    assert "line 2: not utf-8 text; if it is Windows-1251, give --encoding cp1251" in wrong.stderr.decode()
    assert cli("write", *line, "--format", "csv", "--encoding", "cp1251", str(cp1251)).returncode == 0

    # A price with a fraction is refused before anything is sent, unless
    # rounding is asked for.
    fraction = tmp_path / "fraction.csv"
    fraction.write_text("code;barcode;price;name;group;quantity\n1;1;45.50;Чай;1;1\n", encoding="utf-8")
    refused = cli("write", *line, "--format", "csv", str(fraction))
    assert refused.returncode == 1 and "Товар 1, цена:" in refused.stderr.decode()
    assert cli("write", *line, "--format", "csv", "--round-prices", str(fraction)).returncode == 0
    out = cli("read", *line, "-")
    assert out.stdout.startswith("   1;            1;      46.00;".encode())
