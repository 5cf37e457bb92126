"""python3 -m zarvik12m: the goods table of a register from the command line."""

import argparse
import sys

from . import files
from .register import Error, Register, version

STOPPED_MESSAGE = "Операция была прервана пользователем"


class _Parser(argparse.ArgumentParser):
    # Wrong usage ends with exit code 1, as every other failure does.
    def error(self, message):
        self.print_usage(sys.stderr)
        self.exit(1, "%s: error: %s\n" % (self.prog, message))


def _port(text):
    return int(text) if text.isdigit() else text


def _separator(text):
    if len(text) != 1:
        raise argparse.ArgumentTypeError("the separator is one character, not %r" % text)
    return text


def parser():
    common = argparse.ArgumentParser(add_help=False)
    line = common.add_argument_group("register")
    line.add_argument("--port", required=True, type=_port, help="COM port number (1..32) or device path")
    line.add_argument("--baud", type=int, default=9600, help="line speed (default 9600)")
    line.add_argument("--net", type=int, default=1, help="the register's network number, 1..99 (default 1)")

    table_file = argparse.ArgumentParser(add_help=False)
    layout = table_file.add_argument_group("file")
    layout.add_argument("file", help="the goods file")
    layout.add_argument("--format", choices=["plu", "csv"], default="plu",
                        help="plu: the fixed-width lines of Zarvik12mPLU (default); csv: a header row, RFC 4180")
    layout.add_argument("--separator", type=_separator, default=";", help="field separator (default ';')")
    layout.add_argument("--encoding", default=None,
                        help="file encoding (default cp1251 for plu, as Zarvik12mPLU's files; utf-8 for csv)")

    top = _Parser(prog="python3 -m zarvik12m",
                  description="Reads, writes and clears the goods (PLU) table of a Zarvik-12M cash register.",
                  epilog="Exit code 0 on success, 1 otherwise. Messages of the driver and the register are "
                         "its Russian texts. Ctrl+C stops a read or write before its next command.")
    top.add_argument("--version", action="version", version="%(prog)s " + version_text())
    commands = top.add_subparsers(dest="command", required=True, metavar="command", parser_class=_Parser)
    commands.add_parser("read", parents=[common, table_file], help="read the register's table into the file")
    commands.add_parser("write", parents=[common, table_file], help="write the file's goods into the register")
    commands.add_parser("clear", parents=[common], help="delete the register's table")
    commands.add_parser("info", parents=[common], help="show the register's name, factory number and table size")
    return top


def version_text():
    try:
        return version()
    except OSError:
        return "(C library not found)"


class _Bar:
    """A progress bar on standard error, drawn only when that is a terminal."""

    def __init__(self, stream):
        self.stream = stream
        self.drawn = False

    def __call__(self, position, maximum):
        if maximum <= 0:
            return
        width = 40
        filled = min(width, width * position // maximum)
        self.stream.write("\r[%s%s] %d/%d" % ("#" * filled, "." * (width - filled), position, maximum))
        self.stream.flush()
        self.drawn = True

    def end(self):
        if self.drawn:
            self.stream.write("\n")
            self.stream.flush()
            self.drawn = False


def _run(arguments, bar):
    register = Register(arguments.port, baud=arguments.baud, net=arguments.net)
    progress = bar if bar is not None else None
    if arguments.command == "read":
        goods = register.load_goods(progress=progress)
        files.write_goods(arguments.file, goods, arguments.format, arguments.separator, arguments.encoding)
        return "%d goods read into %s" % (len(goods), arguments.file)
    if arguments.command == "write":
        goods = files.read_goods(arguments.file, arguments.format, arguments.separator, arguments.encoding)
        register.write_goods(goods, progress=progress)
        return "%d goods written" % len(goods)
    if arguments.command == "clear":
        register.clear_goods()
        return "the goods table is cleared"
    properties = register.properties()
    return "device: %s\nserial number: %s\nmax goods: %d" % (
        properties.device_name, properties.serial_number, properties.max_goods)


def main(argv=None):
    arguments = parser().parse_args(argv)
    bar = _Bar(sys.stderr) if sys.stderr.isatty() else None
    try:
        try:
            result = _run(arguments, bar)
        finally:
            if bar is not None:
                bar.end()
    except KeyboardInterrupt:
        print(STOPPED_MESSAGE, file=sys.stderr)
        return 1
    except Error as failure:
        print(failure.message, file=sys.stderr)
        return 1
    except (files.FileFormatError, OSError, ValueError, LookupError) as failure:
        print("%s: %s" % (arguments.command, failure), file=sys.stderr)
        return 1
    print(result)
    return 0
