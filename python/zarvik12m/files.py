"""Goods tables in files: the PLU text file of Zarvik12mPLU and CSV."""

from __future__ import annotations

import csv
import decimal
import errno
import io
import os
import stat
import sys
import tempfile
from typing import Callable, Iterable, Literal, Optional, TypeVar, Union

from .register import Goods

MAX_GOODS = 4000
CSV_FIELDS = ["code", "barcode", "price", "name", "group", "quantity"]
UTF8_BOM = b"\xef\xbb\xbf"
STANDARD_STREAM = "-"

# "plu": the fixed-width lines of Zarvik12mPLU; "csv": a header row, RFC 4180.
FileFormat = Literal["plu", "csv"]
_Number = TypeVar("_Number", int, decimal.Decimal)


class FileFormatError(ValueError):
    """A goods file that cannot be read, or a table that cannot be written
    into one as it is; nothing has been sent or written."""


class FileError(OSError):
    """A file that cannot be opened, created or written, named as the user
    gave it, with the texts Zarvik12mPLU uses."""

    def __init__(self, path: str, failure: BaseException) -> None:
        number = failure.errno if isinstance(failure, OSError) else None
        text = file_error_text(number) if number is not None else str(failure)
        super().__init__(number, text, path)
        self.text = text

    def __str__(self) -> str:
        return "%s: %s" % (self.filename, self.text)


def file_error_text(number: int) -> str:
    """Zarvik12mPLU's text of a system error number."""
    if number == errno.ENOENT:
        return "File not found"
    if number == errno.ENOTDIR:
        return "Path not found"
    if number in (errno.EMFILE, errno.ENFILE):
        return "Too many open files"
    if number in (errno.EACCES, errno.EPERM, errno.EROFS, errno.EISDIR, errno.ETXTBSY):
        return "File access denied"
    if number in (errno.ENOSPC, getattr(errno, "EDQUOT", errno.ENOSPC)):
        return "Disk full"
    return "I/O error %d" % number


def _money(value: Union[int, decimal.Decimal]) -> str:
    return "%.2f" % decimal.Decimal(value).quantize(decimal.Decimal("0.01"), decimal.ROUND_HALF_EVEN)


def _amount(value: Union[int, decimal.Decimal]) -> str:
    return "%.3f" % decimal.Decimal(value).quantize(decimal.Decimal("0.001"), decimal.ROUND_HALF_EVEN)


def plu_text(goods: Iterable[Goods], separator: str = ";") -> str:
    """The PLU file's text: one line per entry, fields aligned as
    Zarvik12mPLU writes them, CR LF line ends. An entry whose field holds
    the separator or a line break could not be read back: it is refused,
    naming the entry."""
    lines = []
    for index, entry in enumerate(goods):
        fields = [
            ("code", "%4d" % entry.code),
            ("barcode", entry.barcode.rjust(13)),
            ("price", _money(entry.price).rjust(11)),
            ("name", entry.name.ljust(16)),
            ("group", "%2d" % entry.group),
            ("quantity", _amount(entry.quantity).rjust(11)),
        ]
        for field, text in fields:
            for character, what in ((separator, "the separator %r" % separator), ("\r", "a line break"),
                                    ("\n", "a line break")):
                if character in text:
                    raise FileFormatError(
                        "entry %d (code %d): the %s %r holds %s, so the file could not be read back; "
                        "choose another --separator or --format csv" % (index + 1, entry.code, field, text, what))
        lines.append(separator.join(text for _, text in fields) + "\r\n")
    return "".join(lines)


def csv_text(goods: Iterable[Goods], separator: str = ";") -> str:
    """CSV with a header row, quoted as RFC 4180 says, CR LF line ends. Bar
    codes without the blanks that right-align them (the register adds them
    back)."""
    out = io.StringIO()
    writer = csv.writer(out, delimiter=separator, lineterminator="\r\n")
    writer.writerow(CSV_FIELDS)
    for entry in goods:
        writer.writerow([entry.code, entry.barcode.lstrip(" "), _money(entry.price), entry.name, entry.group,
                         _amount(entry.quantity)])
    return out.getvalue()


def _number(text: str, line: int, field: str, kind: Callable[[str], _Number]) -> _Number:
    try:
        value = kind(text.strip())
    except (ValueError, decimal.InvalidOperation):
        raise FileFormatError("line %d: %s is not a number: %r" % (line, field, text)) from None
    if isinstance(value, decimal.Decimal) and not value.is_finite():
        raise FileFormatError("line %d: %s is not a number: %r" % (line, field, text))
    return value


def _goods(line: int, code: str, barcode: str, price: str, name: str, group: str, quantity: str) -> Goods:
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


def _check_count(goods: list[Goods]) -> list[Goods]:
    if len(goods) > MAX_GOODS:
        raise FileFormatError("more than %d goods" % MAX_GOODS)
    return goods


def parse_plu(text: str, separator: str = ";") -> list[Goods]:
    """The entries of a PLU file's text. A line holds six fields; the sixth
    is the rest of the line. Empty lines are skipped; a field that is not
    what it must be fails with the line's number."""
    goods: list[Goods] = []
    for number, line in enumerate(text.split("\n"), start=1):
        line = line.removesuffix("\r").replace("\r", "")
        if not line.strip():
            continue
        fields = line.split(separator, 5)
        if len(fields) != 6:
            raise FileFormatError("line %d: %d fields instead of 6" % (number, len(fields)))
        goods.append(_goods(number, *fields))
    return _check_count(goods)


def parse_csv(text: str, separator: str = ";") -> list[Goods]:
    """The entries of a CSV text whose header row names the six fields. A
    row of empty fields only (as spreadsheets save after the table) is
    skipped."""
    reader = csv.DictReader(io.StringIO(text, newline=""), delimiter=separator, strict=True)
    missing = [field for field in CSV_FIELDS if field not in (reader.fieldnames or [])]
    if missing:
        raise FileFormatError("line 1: the header lacks %s" % ", ".join(missing))
    goods: list[Goods] = []
    try:
        for row in reader:
            if None not in row and all(not (value or "").strip() for value in row.values()):
                continue
            if None in row or any(row[field] is None for field in CSV_FIELDS):
                raise FileFormatError("line %d: not 6 fields" % reader.line_num)
            goods.append(_goods(reader.line_num, *(row[field] for field in CSV_FIELDS)))
    except csv.Error as failure:
        # The line the CSV reader stopped at: the DictReader's own count is
        # that of the last row it gave.
        raise FileFormatError("line %d: %s" % (reader.reader.line_num, failure)) from None
    return _check_count(goods)


def _is_utf8_beyond_ascii(data: bytes) -> bool:
    """Well-formed UTF-8 with at least one byte beyond ASCII: Zarvik12mPLU
    then takes a PLU file for UTF-8."""
    try:
        data.decode("utf-8")
    except UnicodeDecodeError:
        return False
    return any(byte > 0x7F for byte in data)


def decode(data: bytes, file_format: FileFormat = "plu", encoding: Optional[str] = None,
           path: str = "the file") -> str:
    """The text of a goods file's bytes. Without an encoding a PLU file is
    UTF-8 when it is well-formed UTF-8 beyond ASCII (as Zarvik12mPLU /w
    decides), else Windows-1251; a CSV file is UTF-8."""
    if encoding is None:
        if file_format == "plu":
            encoding = "utf-8" if _is_utf8_beyond_ascii(data) else "cp1251"
        else:
            encoding = "utf-8"
        suggestion = "; if it is Windows-1251, give --encoding cp1251" if encoding == "utf-8" else ""
    else:
        suggestion = ""
    try:
        text = data.decode(encoding)
    except UnicodeDecodeError as failure:
        line = data[: failure.start].count(b"\n") + 1
        raise FileFormatError("%s, line %d: not %s text%s" % (path, line, encoding, suggestion)) from None
    return text[1:] if text.startswith("\ufeff") else text


def read_goods(path: str, file_format: FileFormat = "plu", separator: str = ";",
               encoding: Optional[str] = None) -> list[Goods]:
    """The goods of a file ("-": standard input)."""
    try:
        if path == STANDARD_STREAM:
            data = sys.stdin.buffer.read()
        else:
            with open(path, "rb") as file:
                data = file.read()
    except OSError as failure:
        raise FileError(path, failure) from None
    text = decode(data, file_format, encoding, "standard input" if path == STANDARD_STREAM else path)
    return parse_plu(text, separator) if file_format == "plu" else parse_csv(text, separator)


def encode(goods: Iterable[Goods], file_format: FileFormat = "plu", separator: str = ";",
           encoding: Optional[str] = None, bom: bool = False) -> bytes:
    """The bytes of a goods file: Windows-1251 for PLU files and UTF-8 for
    CSV unless told otherwise, with a byte-order mark first when asked
    (UTF-8 only)."""
    encoding = encoding or ("cp1251" if file_format == "plu" else "utf-8")
    text = plu_text(goods, separator) if file_format == "plu" else csv_text(goods, separator)
    try:
        data = text.encode(encoding)
    except UnicodeEncodeError as failure:
        raise FileFormatError("%r cannot be written in %s" % (failure.object[failure.start:failure.end], encoding)) \
            from None
    if bom:
        if encoding.replace("_", "-").lower() not in ("utf-8", "utf8"):
            raise FileFormatError("a byte-order mark is written with the UTF-8 encoding only")
        data = UTF8_BOM + data
    return data


class OutputFile:
    """The file that a read fills, prepared before the register is read so
    that a file or folder that cannot be written is found first. It is
    written as Zarvik12mPLU /l writes its file:
    - "-" is standard output;
    - a regular file (or a new one) is written beside itself under a hidden
      temporary name that replaces it once complete, keeping its
      permissions (and owner, where the process may set it); through a
      link, the file it leads to is replaced and the link kept;
    - an existing file that may not be written, or that no one may write,
      is refused ("File access denied");
    - something that is no regular file (a device, a pipe) is written in
      place, as is a file whose folder takes no temporary file;
    - failures name the user's file, never the temporary one."""

    def __init__(self, path: str) -> None:
        self.path = path
        self._scratch: Optional[str] = None
        self._descriptor: Optional[int] = None
        self._in_place = False
        self._status: Optional[os.stat_result] = None
        if path == STANDARD_STREAM:
            return
        self._target = os.path.realpath(path)
        try:
            self._status = os.stat(self._target)
        except FileNotFoundError:
            self._status = None
        except OSError as failure:
            raise FileError(path, failure) from None
        if self._status is not None:
            if stat.S_ISDIR(self._status.st_mode):
                raise FileError(path, OSError(errno.EISDIR, "is a folder"))
            if not os.access(self._target, os.W_OK) or (
                    stat.S_ISREG(self._status.st_mode) and not self._status.st_mode & 0o222):
                raise FileError(path, OSError(errno.EACCES, "read-only"))
            if not stat.S_ISREG(self._status.st_mode):
                self._in_place = True
                return
        folder, name = os.path.split(self._target)
        try:
            self._descriptor, self._scratch = tempfile.mkstemp(dir=folder, prefix=".%s." % name)
        except OSError as failure:
            if self._status is None:
                raise FileError(path, failure) from None
            self._in_place = True

    def write(self, data: bytes) -> None:
        """Writes the whole content; the file is then complete."""
        if self.path == STANDARD_STREAM:
            try:
                sys.stdout.flush()
                sys.stdout.buffer.write(data)
                sys.stdout.buffer.flush()
            except OSError as failure:
                raise FileError("standard output", failure) from None
            return
        try:
            if self._in_place:
                with open(self._target, "wb") as file:
                    file.write(data)
                return
            # Made by __init__ for a file written under a temporary name;
            # write() is called once.
            assert self._descriptor is not None and self._scratch is not None
            with os.fdopen(self._descriptor, "wb") as file:
                self._descriptor = None
                file.write(data)
                self._take_over_attributes(file.fileno())
            os.replace(self._scratch, self._target)
            self._scratch = None
        except OSError as failure:
            raise FileError(self.path, failure) from None
        finally:
            self.discard()

    def _take_over_attributes(self, descriptor: int) -> None:
        if not hasattr(os, "fchmod"):  # Windows: a new file has the folder's rights
            return
        if self._status is None:
            umask = os.umask(0)
            os.umask(umask)
            os.fchmod(descriptor, 0o666 & ~umask)
            return
        os.fchmod(descriptor, stat.S_IMODE(self._status.st_mode))
        try:
            os.fchown(descriptor, self._status.st_uid, self._status.st_gid)
        except OSError:
            pass  # not the owner: the file becomes the process's

    def discard(self) -> None:
        """Removes the temporary file of a read that did not complete."""
        if self._descriptor is not None:
            os.close(self._descriptor)
            self._descriptor = None
        if self._scratch is not None:
            try:
                os.unlink(self._scratch)
            except OSError:
                pass
            self._scratch = None

    def __enter__(self) -> OutputFile:
        return self

    def __exit__(self, *failure: object) -> None:
        self.discard()


def write_goods(path: str, goods: Iterable[Goods], file_format: FileFormat = "plu", separator: str = ";",
                encoding: Optional[str] = None, bom: bool = False) -> None:
    """Writes the goods into a file ("-": standard output), as OutputFile
    says."""
    data = encode(goods, file_format, separator, encoding, bom)
    with OutputFile(path) as output:
        output.write(data)
