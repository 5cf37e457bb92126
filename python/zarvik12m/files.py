"""Goods tables in files: the PLU text file of Zarvik12mPLU and CSV."""

import csv
import decimal
import io
import os
import tempfile

from .register import Goods

MAX_GOODS = 4000
CSV_FIELDS = ["code", "barcode", "price", "name", "group", "quantity"]


class FileFormatError(ValueError):
    """A line of a goods file that cannot be read; nothing has been sent."""


def _money(value):
    return "%.2f" % decimal.Decimal(value).quantize(decimal.Decimal("0.01"), decimal.ROUND_HALF_EVEN)


def _amount(value):
    return "%.3f" % decimal.Decimal(value).quantize(decimal.Decimal("0.001"), decimal.ROUND_HALF_EVEN)


def plu_text(goods, separator=";"):
    """The PLU file's text: one line per entry, fields aligned as
    Zarvik12mPLU writes them, CR LF line ends."""
    lines = []
    for entry in goods:
        fields = [
            "%4d" % entry.code,
            entry.barcode.rjust(13),
            _money(entry.price).rjust(11),
            entry.name.ljust(16),
            "%2d" % entry.group,
            _amount(entry.quantity).rjust(11),
        ]
        lines.append(separator.join(fields) + "\r\n")
    return "".join(lines)


def csv_text(goods, separator=";"):
    """CSV with a header row, quoted as RFC 4180 says, CR LF line ends. Bar
    codes without the blanks that right-align them (the register adds them
    back)."""
    out = io.StringIO()
    writer = csv.writer(out, delimiter=separator, lineterminator="\r\n")
    writer.writerow(CSV_FIELDS)
    for entry in goods:
        writer.writerow(
            [entry.code, entry.barcode.lstrip(" "), _money(entry.price), entry.name, entry.group, _amount(entry.quantity)]
        )
    return out.getvalue()


def _number(text, line, field, kind):
    try:
        value = kind(text.strip())
    except (ValueError, decimal.InvalidOperation):
        raise FileFormatError("line %d: %s is not a number: %r" % (line, field, text)) from None
    if kind is decimal.Decimal and not value.is_finite():
        raise FileFormatError("line %d: %s is not a number: %r" % (line, field, text))
    return value


def _goods(line, code, barcode, price, name, group, quantity):
    entry = Goods(
        code=_number(code, line, "code", int),
        barcode=barcode,
        price=_number(price, line, "price", decimal.Decimal),
        name=name,
        group=_number(group, line, "group", int),
        quantity=_number(quantity, line, "quantity", decimal.Decimal),
    )
    if not 1 <= entry.code <= MAX_GOODS:
        raise FileFormatError("line %d: code %d is not 1..%d" % (line, entry.code, MAX_GOODS))
    if not 0 <= entry.group <= 255:
        raise FileFormatError("line %d: group %d is not 0..255" % (line, entry.group))
    if len(barcode) > 13:
        raise FileFormatError("line %d: bar code longer than 13 characters: %r" % (line, barcode))
    return entry


def _check_count(goods):
    if len(goods) > MAX_GOODS:
        raise FileFormatError("more than %d goods" % MAX_GOODS)
    return goods


def parse_plu(text, separator=";"):
    """The entries of a PLU file's text. A line holds six fields; the sixth
    is the rest of the line. Empty lines are skipped; a field that is not
    what it must be fails with the line's number."""
    goods = []
    for number, line in enumerate(text.split("\n"), start=1):
        line = line.removesuffix("\r").replace("\r", "")
        if not line.strip():
            continue
        fields = line.split(separator, 5)
        if len(fields) != 6:
            raise FileFormatError("line %d: %d fields instead of 6" % (number, len(fields)))
        goods.append(_goods(number, *fields))
    return _check_count(goods)


def parse_csv(text, separator=";"):
    """The entries of a CSV text whose header row names the six fields."""
    reader = csv.DictReader(io.StringIO(text, newline=""), delimiter=separator, strict=True)
    missing = [field for field in CSV_FIELDS if field not in (reader.fieldnames or [])]
    if missing:
        raise FileFormatError("line 1: the header lacks %s" % ", ".join(missing))
    goods = []
    try:
        for row in reader:
            if None in row or any(row[field] is None for field in CSV_FIELDS):
                raise FileFormatError("line %d: not 6 fields" % reader.line_num)
            goods.append(_goods(reader.line_num, *(row[field] for field in CSV_FIELDS)))
    except csv.Error as failure:
        raise FileFormatError("line %d: %s" % (reader.line_num, failure)) from None
    return _check_count(goods)


def read_goods(path, file_format="plu", separator=";", encoding=None):
    """The goods of a file; encoding None is Windows-1251 for PLU files and
    UTF-8 for CSV."""
    encoding = encoding or ("cp1251" if file_format == "plu" else "utf-8")
    with open(path, "rb") as file:
        data = file.read()
    try:
        text = data.decode(encoding)
    except UnicodeDecodeError as failure:
        raise FileFormatError("%s is not %s text: %s" % (path, encoding, failure)) from None
    if text.startswith("\ufeff"):
        text = text[1:]
    return parse_plu(text, separator) if file_format == "plu" else parse_csv(text, separator)


def write_goods(path, goods, file_format="plu", separator=";", encoding=None):
    """Writes the goods into a file, replacing it only once the whole text is
    written: a failure leaves an existing file as it was."""
    encoding = encoding or ("cp1251" if file_format == "plu" else "utf-8")
    text = plu_text(goods, separator) if file_format == "plu" else csv_text(goods, separator)
    data = text.encode(encoding, "surrogateescape")
    folder = os.path.dirname(os.path.abspath(path))
    descriptor, scratch = tempfile.mkstemp(dir=folder, prefix=".%s." % os.path.basename(path))
    try:
        with os.fdopen(descriptor, "wb") as file:
            file.write(data)
        if os.path.exists(path):
            os.chmod(scratch, os.stat(path).st_mode & 0o7777)
        else:
            umask = os.umask(0)
            os.umask(umask)
            os.chmod(scratch, 0o666 & ~umask)
        os.replace(scratch, path)
    except BaseException:
        os.unlink(scratch)
        raise
