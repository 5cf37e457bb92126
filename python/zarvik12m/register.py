"""One cash register on a COM port: its goods table and properties."""

import ctypes
import dataclasses
import decimal
import os
import threading

from . import _native

# Texts of the C records: names and messages are UTF-8; bar codes are the
# register's bytes, read as Windows-1251, a byte without a character kept
# as an escape so that it is written back unchanged.
_BARCODE_ENCODING = "cp1251"
_POLL_SECONDS = 0.1
_PORTS = range(1, 33)


class Error(OSError):
    """A failure of the driver: .code is the driver's error code (a register
    status 1..255, -100..-120 for the port, -200..-202 for a command, -300
    for a stop) or -1 for a failure of another kind; the message is the
    driver's Russian text."""

    def __init__(self, code, message):
        super().__init__(code, message)
        self.code = code
        self.message = message

    def __str__(self):
        return self.message


@dataclasses.dataclass
class Goods:
    """One entry of the register's goods table."""

    code: int
    barcode: str = ""
    price: decimal.Decimal = decimal.Decimal(0)
    name: str = ""
    group: int = 0
    quantity: decimal.Decimal = decimal.Decimal(0)


@dataclasses.dataclass
class Properties:
    device_name: str
    serial_number: str
    max_goods: int


def _goods_of(item):
    return Goods(
        code=item.code,
        barcode=item.barcode.decode(_BARCODE_ENCODING, "surrogateescape"),
        price=decimal.Decimal(item.price) / 10000,
        name=item.name.decode("utf-8", "replace"),
        group=item.group,
        # The register keeps thousandths.
        quantity=decimal.Decimal(round(item.quantity * 1000)) / 1000,
    )


def _item_of(goods, index):
    """The C record of an entry; what cannot fit it fails as the C library
    fails a bad argument, with -1 and before anything is sent."""

    def refuse(what):
        raise Error(-1, "Товар %d: %s" % (index + 1, what))

    item = _native.GoodsItem()
    try:
        code, group = int(goods.code), int(goods.group)
        if not 0 <= code <= 0xFFFF or not 0 <= group <= 0xFF:
            refuse("код или группа вне допустимых значений")
        item.code = code
        barcode = str(goods.barcode).encode(_BARCODE_ENCODING, "surrogateescape")
        if len(barcode) >= _native.BARCODE_SIZE:
            refuse("штрихкод длиннее 13 символов")
        item.barcode = barcode
        price = decimal.Decimal(goods.price) if not isinstance(goods.price, float) else decimal.Decimal(str(goods.price))
        item.price = int((price * 10000).to_integral_value(decimal.ROUND_HALF_EVEN))
        name = str(goods.name).encode("utf-8", "surrogatepass")
        if len(name) >= _native.NAME_SIZE:
            refuse("название длиннее 16 символов")
        item.name = name
        item.group = group
        item.quantity = float(goods.quantity)
    except Error:
        raise
    except (ValueError, TypeError, decimal.InvalidOperation, OverflowError, UnicodeError) as failure:
        refuse("неверное значение поля (%s)" % failure)
    return item


def _com_number_for(path):
    """The COM number that reaches the device at `path`: one whose
    ZARVIK12M_COM<N> already names it, else the highest one not set, which is
    then set (the driver reads it when it opens the port)."""
    path = os.fspath(path)
    for number in _PORTS:
        if os.environ.get("ZARVIK12M_COM%d" % number) == path:
            return number
    for number in reversed(_PORTS):
        variable = "ZARVIK12M_COM%d" % number
        if variable not in os.environ:
            os.environ[variable] = path
            return number
    raise Error(-1, "Нет свободного номера COM-порта для %s" % path)


class Register:
    """The register on a COM port, `port` being its number (1..32) or the
    path of its device. Every method opens the port, runs its commands and
    closes it again; `progress`, when given, is called with (position,
    maximum) as the operation goes on. Ctrl+C (KeyboardInterrupt) during a
    call stops the operation before its next command and is raised once the
    driver has ended."""

    def __init__(self, port, baud=9600, net=1):
        if isinstance(port, int):
            self.port = port
        else:
            self.port = _com_number_for(port)
        if not 1 <= self.port <= 32:
            raise ValueError("port must be 1..32 or a device path, not %r" % (port,))
        if not 1 <= net <= 99:
            raise ValueError("net must be 1..99, not %r" % (net,))
        self.baud = int(baud)
        self.net = int(net)
        self._library = _native.library()

    def load_goods(self, progress=None):
        """The goods table, goods numbers 1, 2, ... up to the first one the
        register does not hold, as a list of Goods. An Error of a failed read
        carries the entries read before it as .goods."""
        items = (_native.GoodsItem * _native.MAX_GOODS)()
        count = ctypes.c_uint16(0)
        error = _native.ErrorRecord()
        rc = self._run(
            lambda: self._library.zarvik12m_load_goods(
                self.port, self.baud, self.net, items, len(items), ctypes.byref(count), ctypes.byref(error)
            ),
            progress,
        )
        goods = [_goods_of(items[k]) for k in range(count.value)]
        if rc != 0:
            failure = self._error(rc, error)
            failure.goods = goods
            raise failure
        return goods

    def write_goods(self, goods, progress=None):
        """Writes the entries into the register's table, in order."""
        goods = list(goods)
        if len(goods) > _native.MAX_GOODS:
            raise Error(-1, "Товаров больше %d: %d" % (_native.MAX_GOODS, len(goods)))
        items = (_native.GoodsItem * max(len(goods), 1))()
        for index, entry in enumerate(goods):
            items[index] = _item_of(entry, index)
        error = _native.ErrorRecord()
        rc = self._run(
            lambda: self._library.zarvik12m_write_goods(
                self.port, self.baud, self.net, items, len(goods), ctypes.byref(error)
            ),
            progress,
        )
        if rc != 0:
            raise self._error(rc, error)

    def clear_goods(self, progress=None):
        """Deletes the register's goods table."""
        error = _native.ErrorRecord()
        rc = self._run(
            lambda: self._library.zarvik12m_clear_goods(self.port, self.baud, self.net, ctypes.byref(error)),
            progress,
        )
        if rc != 0:
            raise self._error(rc, error)

    def properties(self, progress=None):
        """The device's name, factory number and table size."""
        record = _native.Properties()
        error = _native.ErrorRecord()
        rc = self._run(
            lambda: self._library.zarvik12m_get_properties(
                self.port, self.baud, self.net, ctypes.byref(record), ctypes.byref(error)
            ),
            progress,
        )
        if rc != 0:
            raise self._error(rc, error)
        return Properties(
            device_name=record.device_name.decode("utf-8", "replace"),
            serial_number=record.serial_number.decode(_BARCODE_ENCODING, "surrogateescape"),
            max_goods=record.max_goods,
        )

    @staticmethod
    def _error(rc, error):
        return Error(rc, error.message.decode("utf-8", "replace"))

    def _run(self, call, progress):
        """Runs the C call on a thread of its own while this thread watches
        it: it reports the progress, and a KeyboardInterrupt (or a failure of
        the progress callback) asks the driver to stop, waits until the call
        has returned and is then raised."""
        outcome = {}

        def work():
            try:
                outcome["rc"] = call()
            except BaseException as failure:  # reported on the caller's thread
                outcome["failure"] = failure

        worker = threading.Thread(target=work, name="zarvik12m COM%d" % self.port, daemon=True)
        worker.start()
        shown = None
        try:
            while worker.is_alive():
                worker.join(_POLL_SECONDS)
                shown = self._report(progress, shown)
        except BaseException:
            self._library.zarvik12m_progress_stop(self.port)
            while worker.is_alive():
                try:
                    worker.join()
                except KeyboardInterrupt:
                    self._library.zarvik12m_progress_stop(self.port)
            raise
        self._report(progress, shown)
        if "failure" in outcome:
            raise outcome["failure"]
        return outcome["rc"]

    def _report(self, progress, shown):
        if progress is None:
            return shown
        now = (
            int(self._library.zarvik12m_progress_position(self.port)),
            int(self._library.zarvik12m_progress_max(self.port)),
        )
        if now != shown:
            progress(*now)
        return now


def version():
    """The C library's version."""
    return _native.library().zarvik12m_version().decode("ascii")
