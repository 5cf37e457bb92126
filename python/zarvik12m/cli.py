"""zarvik12m (python3 -m zarvik12m): the goods table of a register from the
command line."""

from __future__ import annotations

import argparse
import sys
from typing import NoReturn, Optional, Sequence, TextIO, Union

from . import files
from .errors import Cancelled, Error, LibraryError
from .register import MAX_BAUD, MIN_BAUD, Register, version

STOPPED_MESSAGE = "Операция была прервана пользователем"


class _Parser(argparse.ArgumentParser):
    # Wrong usage ends with exit code 1, as every other failure does.
    def error(self, message: str) -> NoReturn:
        self.print_usage(sys.stderr)
        self.exit(1, "%s: error: %s\n" % (self.prog, message))


def _port(text: str) -> Union[int, str]:
    return int(text) if text.isdigit() else text


def _separator(text: str) -> str:
    if len(text) != 1 or text in "\r\n\"":
        raise argparse.ArgumentTypeError("the separator is one character, not a quote or line break: %r" % text)
    return text


def _baud(text: str) -> int:
    if not text.isdigit() or not MIN_BAUD <= int(text) <= MAX_BAUD:
        raise argparse.ArgumentTypeError("the line speed is %d..%d, not %r" % (MIN_BAUD, MAX_BAUD, text))
    return int(text)


def _net(text: str) -> int:
    if not text.isdigit() or not 1 <= int(text) <= 99:
        raise argparse.ArgumentTypeError("the network number is 1..99, not %r" % text)
    return int(text)


def parser(prog: str = "zarvik12m") -> argparse.ArgumentParser:
    # The subcommands' parents are of the subcommands' class.
    common = _Parser(add_help=False)
    line = common.add_argument_group("register")
    line.add_argument("--port", required=True, type=_port,
                      help="COM port number (1..32), a Windows COM name (COM3) or a device path (/dev/ttyUSB0)")
    line.add_argument("--baud", type=_baud, default=9600, help="line speed (default 9600)")
    line.add_argument("--net", type=_net, default=1, help="the register's network number, 1..99 (default 1)")

    table_file = _Parser(add_help=False)
    layout = table_file.add_argument_group("file")
    layout.add_argument("file", help="the goods file; - is standard output (read) or input (write)")
    layout.add_argument("--format", choices=["plu", "csv"], default="plu",
                        help="plu: the fixed-width lines of Zarvik12mPLU (default); csv: a header row, RFC 4180")
    layout.add_argument("--separator", type=_separator, default=";", help="field separator (default ';')")
    layout.add_argument("--encoding", default=None,
                        help="file encoding (default: plu files are written in cp1251 as Zarvik12mPLU's and read "
                             "as UTF-8 when they are UTF-8; csv files are UTF-8)")

    top = _Parser(prog=prog,
                  description="Reads, writes and clears the goods (PLU) table of a Zarvik-12M cash register.",
                  epilog="Exit code 0 on success, 1 otherwise. Messages of the driver and the register are "
                         "its Russian texts. Ctrl+C stops a read or write before its next command.")
    top.add_argument("--version", action="version", version="%(prog)s " + version_text())
    commands = top.add_subparsers(dest="command", required=True, metavar="command", parser_class=_Parser)
    read = commands.add_parser("read", parents=[common, table_file], help="read the register's table into the file")
    read.add_argument("--bom", action="store_true",
                      help="begin a UTF-8 file with a byte-order mark, so that spreadsheet programs take it as UTF-8")
    write = commands.add_parser("write", parents=[common, table_file], help="write the file's goods into the register")
    write.add_argument("--round-prices", action="store_true",
                       help="round prices to whole units as Zarvik12mPLU does, instead of refusing a fraction")
    commands.add_parser("clear", parents=[common], help="delete the register's table")
    commands.add_parser("info", parents=[common], help="show the register's name, factory number and table size")
    return top


def version_text() -> str:
    try:
        return version()
    except Error:
        return "(C library not found)"


class _Bar:
    """A progress bar on standard error, drawn only when that is a terminal."""

    def __init__(self, stream: TextIO) -> None:
        self.stream = stream
        self.drawn = False

    def __call__(self, position: int, maximum: int) -> None:
        if maximum <= 0:
            return
        width = 40
        filled = min(width, width * position // maximum)
        self.stream.write("\r[%s%s] %d/%d" % ("#" * filled, "." * (width - filled), position, maximum))
        self.stream.flush()
        self.drawn = True

    def end(self) -> None:
        if self.drawn:
            self.stream.write("\n")
            self.stream.flush()
            self.drawn = False


def _run(arguments: argparse.Namespace, bar: Optional[_Bar]) -> str:
    register = Register(arguments.port, baud=arguments.baud, net=arguments.net)
    if arguments.command == "read":
        # The file is prepared first: one that cannot be written is found
        # before the register is read.
        with files.OutputFile(arguments.file) as output:
            goods = register.load_goods(progress=bar)
            output.write(files.encode(goods, arguments.format, arguments.separator, arguments.encoding,
                                      arguments.bom))
        where = "standard output" if arguments.file == files.STANDARD_STREAM else arguments.file
        return "%d goods read into %s" % (len(goods), where)
    if arguments.command == "write":
        goods = files.read_goods(arguments.file, arguments.format, arguments.separator, arguments.encoding)
        register.write_goods(goods, progress=bar, round_prices=arguments.round_prices)
        return "%d goods written" % len(goods)
    if arguments.command == "clear":
        register.clear_goods()
        return "the goods table is cleared"
    properties = register.properties()
    return "device: %s\nserial number: %s\nmax goods: %d" % (
        properties.device_name, properties.serial_number, properties.max_goods)


def main(argv: Optional[Sequence[str]] = None, prog: str = "zarvik12m") -> int:
    arguments = parser(prog).parse_args(argv)
    bar = _Bar(sys.stderr) if sys.stderr.isatty() else None
    # With the table on standard output, every message goes to standard error.
    messages = sys.stderr if getattr(arguments, "file", None) == files.STANDARD_STREAM else sys.stdout
    try:
        try:
            result = _run(arguments, bar)
        finally:
            if bar is not None:
                bar.end()
    except KeyboardInterrupt as interrupt:
        print(STOPPED_MESSAGE, file=sys.stderr)
        written = getattr(interrupt, "written", None)
        if written is not None:
            print("%d goods were written before the stop" % written, file=sys.stderr)
        return 1
    except Cancelled as failure:
        print(failure.message, file=sys.stderr)
        if failure.written is not None:
            print("%d goods were written before the stop" % failure.written, file=sys.stderr)
        return 1
    except LibraryError as failure:
        print("%s: %s" % (prog, failure.message), file=sys.stderr)
        return 1
    except Error as failure:
        print(failure.message, file=sys.stderr)
        return 1
    except (files.FileFormatError, files.FileError, OSError, ValueError, TypeError) as failure:
        print("%s: %s" % (arguments.command, failure), file=sys.stderr)
        return 1
    print(result, file=messages)
    return 0


def run() -> int:
    """The zarvik12m command: main(), with Ctrl+C at any moment a message
    and exit code 1 rather than a traceback."""
    try:
        return main()
    except KeyboardInterrupt:
        print(STOPPED_MESSAGE, file=sys.stderr)
        return 1
