"""Goods files without a register: what the package writes reads back the
same, what it cannot read back or take is refused with the line or entry,
and a file prepared for a read stays as it was until the table is there."""

import dataclasses
import decimal
import os
import stat

import pytest

from conftest import CYRILLIC_GOODS
from zarvik12m import Goods, files

D = decimal.Decimal
HEADER = "code;barcode;price;name;group;quantity\r\n"


def test_the_plu_file_of_zarvik12mplu_reads_and_writes_back_byte_for_byte():
    data = CYRILLIC_GOODS.read_bytes()
    goods = files.parse_plu(files.decode(data, "plu"))
    assert goods[1] == Goods(2, "      2100259", D("720.00"), "Сыр Ёлочка ё/1  ", 2, D("12.350"))
    assert goods[3] == Goods(4, "             ", D("1999999.00"), 'Tea, 25 "pcs"   ', 0, D("0.001"))
    assert files.encode(goods, "plu") == data
    # The same text in UTF-8 is taken for UTF-8; blank lines and a
    # byte-order mark are no entries.
    utf8 = files.UTF8_BOM + data.decode("cp1251").replace("\r\n", "\r\n\r\n").encode("utf-8")
    assert files.parse_plu(files.decode(utf8, "plu")) == goods
    # Another separator, and CSV, carry the same table (CSV's bar codes
    # without the blanks that right-align them).
    assert files.parse_plu(files.plu_text(goods, "|"), "|") == goods
    unaligned = [dataclasses.replace(entry, barcode=entry.barcode.lstrip()) for entry in goods]
    for separator in ";,\t":
        assert files.parse_csv(files.csv_text(goods, separator), separator) == unaligned


def test_csv_from_a_spreadsheet_quotes_a_bom_and_trailing_empty_rows(tmp_path):
    path = tmp_path / "table.csv"
    goods = [Goods(1, "46", D(12), 'Чай "Слон"; 1л', 3, D("0.5"))]
    files.write_goods(str(path), goods, "csv", bom=True)
    data = path.read_bytes()
    assert data == files.UTF8_BOM + (HEADER + '1;46;12.00;"Чай ""Слон""; 1л";3;0.500\r\n').encode()
    path.write_bytes(data + b";;;;;\r\n;;;;;\r\n")
    assert files.read_goods(str(path), "csv") == goods
    # Columns in another order, as a spreadsheet may have moved them.
    moved = "name;code;quantity;group;price;barcode\nЧай;1;1;0;5;\n"
    assert files.parse_csv(moved) == [Goods(1, "", D(5), "Чай", 0, D(1))]


@pytest.mark.parametrize("text, message", [
    ("   0;1;1.00;a; 1;1.000", "line 1: code 0 is not 1..4000"),
    ("4001;1;1.00;a; 1;1.000", "line 1: code 4001 is not 1..4000"),
    ("\r\n\r\n   1;1;1.00;a;256;1.000", "line 3: group 256 is not 0..255"),
    ("   1;12345678901234;1.00;a; 1;1.000", "line 1: bar code longer than 13 characters"),
    ("   1;1;12,50;a; 1;1.000", "line 1: price is not a number: '12,50'"),
    ("   1;1;NaN;a; 1;1.000", "line 1: price is not a number: 'NaN'"),
    ("   1;1;1.00;a; 1;Infinity", "line 1: quantity is not a number: 'Infinity'"),
    ("   1;x;1.00;a; 1;1.000;more", "line 1: quantity is not a number: '1.000;more'"),
    ("   1;1;1.00;a; 1", "line 1: 5 fields instead of 6"),
    ("1;;1;a;1;1\n" * 4001, "more than 4000 goods"),
], ids=lambda value: value[:40])
def test_a_plu_line_that_is_not_an_entry_is_refused_with_its_number(text, message):
    with pytest.raises(files.FileFormatError, match="^" + message.replace("(", r"\(").replace(".", r"\.")):
        files.parse_plu(text)


@pytest.mark.parametrize("text, message", [
    ("code;barcode;price;name\r\n", "line 1: the header lacks group, quantity"),
    (HEADER + "1;;1;a;1;1\r\n2;;1;a;1\r\n", "line 3: not 6 fields"),
    (HEADER + "1;;1;a;1;1;7\r\n", "line 2: not 6 fields"),
    (HEADER + '1;;1;"a"b;1;1\r\n', "line 2: ';' expected after '\"'"),
    (HEADER + "1;;1;a;x;1\r\n", "line 2: group is not a number: 'x'"),
])
def test_a_csv_row_that_is_not_an_entry_is_refused_with_its_line(text, message):
    with pytest.raises(files.FileFormatError, match="^" + message.replace("(", r"\(")):
        files.parse_csv(text)


def test_texts_that_could_not_be_read_back_or_decoded_are_refused():
    # A field holding the separator or a line break, naming the entry.
    for name, what in (("a;b", "the separator ';'"), ("a\nb", "a line break")):
        with pytest.raises(files.FileFormatError, match="entry 2 \\(code 7\\): the name .* holds %s" % what):
            files.plu_text([Goods(1), Goods(7, name=name)])
    with pytest.raises(files.FileFormatError, match="'茶' cannot be written in cp1251"):
        files.encode([Goods(1, name="5茶")], "plu")
    with pytest.raises(files.FileFormatError, match="UTF-8 encoding only"):
        files.encode([Goods(1)], "plu", bom=True)
    # Bytes that are not the encoding's: the line, and what to do.
    cp1251 = (HEADER + "1;;1;Чай;1;1\r\n").encode("cp1251")
    with pytest.raises(files.FileFormatError, match="^t.csv, line 2: not utf-8 text; if it is Windows-1251"):
        files.decode(cp1251, "csv", path="t.csv")
    assert files.parse_csv(files.decode(cp1251, "csv", "cp1251"))[0].name == "Чай"
    with pytest.raises(files.FileFormatError, match="line 1: not ascii text$"):
        files.decode("Чай".encode(), "plu", "ascii")


def test_an_output_file_is_replaced_whole_or_left_as_it_was(tmp_path):
    old = tmp_path / "plu.txt"
    old.write_bytes(b"old")
    old.chmod(0o640)
    # Prepared and then dropped, as when the register could not be read.
    with files.OutputFile(str(old)):
        assert len(os.listdir(tmp_path)) == 2
    assert old.read_bytes() == b"old" and os.listdir(tmp_path) == ["plu.txt"]
    files.write_goods(str(old), [Goods(1)])
    assert old.read_bytes() == b"   1;             ;       0.00;                ; 0;      0.000\r\n"
    assert stat.S_IMODE(old.stat().st_mode) == 0o640 and os.listdir(tmp_path) == ["plu.txt"]
    # What cannot be written or read names the user's file.
    old.chmod(0o444)
    with pytest.raises(files.FileError, match="plu.txt: File access denied$"):
        files.OutputFile(str(old))
    with pytest.raises(files.FileError, match="missing.txt: File not found$"):
        files.read_goods(str(tmp_path / "missing.txt"))
