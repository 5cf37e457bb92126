"""One cash register on a COM port: its goods table and properties."""

from __future__ import annotations

import ctypes
import dataclasses
import decimal
import os
import re
import threading
import weakref
from typing import Any, Callable, Iterable, NoReturn, Optional, Union

from . import _native, ports
from .errors import Cancelled, Error, GoodsError, PortError, error_of

# Called with (position, maximum) as an operation goes on.
Progress = Callable[[int, int], object]

# Texts of the C records: names and messages are UTF-8; bar codes are the
# register's bytes, read as Windows-1251, a byte without a character kept
# as an escape.
_BARCODE_ENCODING = "cp1251"
_POLL_SECONDS = 0.1
# The line speeds the C library accepts: any a serial line can run.
MIN_BAUD = 50
MAX_BAUD = 4000000
_FIELD_LABELS = {"code": "код", "barcode": "штрихкод", "price": "цена", "name": "название", "group": "группа",
                 "quantity": "количество"}
_PRICE_SCALE = 10000
_INT64_MAX = 2**63 - 1


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


def _goods_of(item: _native.GoodsItem) -> Goods:
    return Goods(
        code=item.code,
        barcode=item.barcode.decode(_BARCODE_ENCODING, "surrogateescape"),
        price=decimal.Decimal(item.price) / _PRICE_SCALE,
        name=item.name.decode("utf-8", "replace"),
        group=item.group,
        # The register keeps thousandths.
        quantity=decimal.Decimal(round(item.quantity * 1000)) / 1000,
    )


def _decimal(value: object) -> decimal.Decimal:
    if isinstance(value, bool) or not isinstance(value, (int, float, str, decimal.Decimal)):
        raise TypeError("a number is expected, not %s" % type(value).__name__)
    return decimal.Decimal(repr(value)) if isinstance(value, float) else decimal.Decimal(value)


def whole_price(price: Union[int, float, str, decimal.Decimal]) -> decimal.Decimal:
    """The price rounded to whole units as Zarvik12mPLU /w rounds it: to
    ten-thousandths, then to units, halves to even both times."""
    ten_thousandths = (_decimal(price) * _PRICE_SCALE).to_integral_value(decimal.ROUND_HALF_EVEN)
    return (ten_thousandths / _PRICE_SCALE).to_integral_value(decimal.ROUND_HALF_EVEN)


def _item_of(goods: object, index: int, round_prices: bool = False) -> _native.GoodsItem:
    """The C record of an entry. The C library checks the table's values;
    what its record cannot carry at all is refused here in the same words
    (GoodsError); a value of the wrong type raises TypeError."""

    def refuse(field: str, what: str) -> NoReturn:
        raise GoodsError("Товар %d, %s: %s" % (index + 1, _FIELD_LABELS[field], what), row=index, field=field)

    def wrong_type(field: str, expected: str) -> TypeError:
        value = getattr(goods, field)
        return TypeError("entry %d: %s must be %s, not %s" % (index + 1, field, expected, type(value).__name__))

    def integer(field: str, low: int, high: int) -> int:
        value = getattr(goods, field)
        if isinstance(value, bool) or not isinstance(value, int):
            raise wrong_type(field, "an integer")
        if not low <= value <= high:
            refuse(field, "%d вне %d..%d" % (value, low, high))
        return value

    if not isinstance(goods, Goods):
        raise TypeError("entry %d: a Goods is expected, not %s" % (index + 1, type(goods).__name__))
    for field in ("barcode", "name"):
        if not isinstance(getattr(goods, field), str):
            raise wrong_type(field, "a text")
    for field in ("price", "quantity"):
        value = getattr(goods, field)
        if isinstance(value, bool) or not isinstance(value, (int, float, decimal.Decimal)):
            raise wrong_type(field, "a number")
    item = _native.GoodsItem()
    item.code = integer("code", 1, _native.MAX_GOODS)
    item.group = integer("group", 0, 255)
    try:
        barcode = goods.barcode.encode("ascii")
    except UnicodeError:
        refuse("barcode", "допустимы только цифры, латинские буквы, знаки и пробел")
    if len(barcode) >= _native.BARCODE_SIZE:
        refuse("barcode", "длиннее 13 символов")
    item.barcode = barcode
    price = _decimal(goods.price)
    if not price.is_finite():
        refuse("price", "вне 0..4294967295")
    if round_prices:
        price = whole_price(price)
    scaled = price * _PRICE_SCALE
    if not -_INT64_MAX <= scaled <= _INT64_MAX:
        refuse("price", "вне 0..4294967295")
    if scaled != scaled.to_integral_value():
        refuse("price", "касса хранит цену в целых единицах, дробная часть была бы округлена")
    item.price = int(scaled)
    name = goods.name.encode("utf-8", "surrogatepass")
    if len(name) >= _native.NAME_SIZE:
        refuse("name", "длиннее 16 символов (%d)" % len(goods.name.rstrip(" ")))
    item.name = name
    # NaN, infinities and values out of range reach the C library's check;
    # decimals beyond thousandths that a float would lose are refused here.
    quantity = goods.quantity
    if isinstance(quantity, decimal.Decimal) and quantity.is_finite() and abs(quantity) < 10**12 and \
            quantity != quantity.quantize(decimal.Decimal("0.001"), decimal.ROUND_DOWN):
        refuse("quantity", "больше трёх знаков после запятой")
    try:
        item.quantity = float(goods.quantity)
    except OverflowError:
        item.quantity = float("inf")
    return item


class Register:
    """The register on a COM port, `port` being its number (1..32), on
    Windows also a name such as "COM3" or r"\\\\.\\COM12", the path of a
    device, or a register on the network, "tcp://HOST:PORT" (raw TCP, the
    converter's line settings) or "rfc2217://HOST:PORT" (the driver sets
    the line); names and addresses are reached through a ZARVIK12M_COM<N>
    variable that the package sets. Every method opens the port, runs its
    commands and closes it again; `progress`, when given, is called with
    (position, maximum) as the operation goes on. Ctrl+C (KeyboardInterrupt)
    during a call stops the operation before its next command and is raised
    once the driver has ended."""

    def __init__(self, port: ports.PortName, baud: int = 9600, net: int = 1) -> None:
        for name, value in (("baud", baud), ("net", net)):
            if isinstance(value, bool) or not isinstance(value, int):
                raise TypeError("%s must be an integer, not %s" % (name, type(value).__name__))
        if not 1 <= net <= 99:
            raise ValueError("net must be 1..99, not %d" % net)
        if not MIN_BAUD <= baud <= MAX_BAUD:
            raise ValueError("baud must be %d..%d, not %d" % (MIN_BAUD, MAX_BAUD, baud))
        number = ports.direct_number(port)
        self.name: Union[int, str] = port if isinstance(port, int) else os.fspath(port)
        if number is None:
            number = ports.process_com_numbers.take(str(self.name))
            weakref.finalize(self, ports.process_com_numbers.release, number)
        self.port = number
        self.baud = baud
        self.net = net
        self._library = _native.library()

    def load_goods(self, progress: Optional[Progress] = None) -> list[Goods]:
        """The goods table, goods numbers 1, 2, ... up to the first one the
        register does not hold, as a list of Goods. The Error of a failed
        read carries the entries read before it as .goods."""
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

    def write_goods(self, goods: Iterable[Goods], progress: Optional[Progress] = None,
                    round_prices: bool = False) -> None:
        """Writes the entries into the register's table, in order. A table
        that the register could not give back unchanged raises GoodsError
        before anything is sent (the codes must be 1..N, in any order); a
        price with a fraction is refused unless round_prices rounds it to
        whole units as Zarvik12mPLU does. A stopped write raises Cancelled,
        whose .written tells how many entries the register took (so does
        the KeyboardInterrupt of a Ctrl+C)."""
        table = list(goods)
        if len(table) > _native.MAX_GOODS:
            raise GoodsError("Товар %d, код: в таблице %d товаров, касса хранит не больше %d"
                             % (_native.MAX_GOODS + 1, len(table), _native.MAX_GOODS),
                             row=_native.MAX_GOODS, field="code")
        items = (_native.GoodsItem * max(len(table), 1))()
        for index, entry in enumerate(table):
            items[index] = _item_of(entry, index, round_prices)
        error = _native.ErrorRecord()
        try:
            rc = self._run(
                lambda: self._library.zarvik12m_write_goods(
                    self.port, self.baud, self.net, items, len(table), ctypes.byref(error)
                ),
                progress,
            )
        except KeyboardInterrupt as interrupt:
            # The count rides on the interrupt to the caller's handler.
            interrupt.written = int(  # type: ignore[attr-defined]
                self._library.zarvik12m_progress_position(self.port))
            raise
        if rc != 0:
            failure = self._error(rc, error)
            if isinstance(failure, Cancelled):
                failure.written = int(self._library.zarvik12m_progress_position(self.port))
            raise failure

    def clear_goods(self, progress: Optional[Progress] = None) -> None:
        """Deletes the register's goods table."""
        error = _native.ErrorRecord()
        rc = self._run(
            lambda: self._library.zarvik12m_clear_goods(self.port, self.baud, self.net, ctypes.byref(error)),
            progress,
        )
        if rc != 0:
            raise self._error(rc, error)

    def properties(self, progress: Optional[Progress] = None) -> Properties:
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

    def _error(self, rc: int, error: _native.ErrorRecord) -> Error:
        """The exception of a failed call. A port failure names the port as
        the caller gave it, with the system's reason when it can be found."""
        message = error.message.decode("utf-8", "replace")
        if not -120 <= rc <= -100:
            return error_of(rc, message)
        named = isinstance(self.name, str)
        if named:
            message = re.sub(r"^\[COM\d+", lambda _: "[%s" % self.name, message)
        device = self.name if isinstance(self.name, str) else ports.device_of(self.port)
        reason = ports.open_failure_reason(device) if device is not None else None
        if reason is None:
            return PortError(rc, message, port=self.name)
        return PortError(rc, "%s (%s)" % (message, ports.reason_text(reason)), port=self.name,
                         reason=reason[1], errno=reason[0], kind=ports.error_kind(reason[0], opening=True))

    def _run(self, call: Callable[[], Any], progress: Optional[Progress]) -> int:
        """Runs the C call on a thread of its own while this thread watches
        it: it reports the progress, and a KeyboardInterrupt (or a failure of
        the progress callback) asks the driver to stop, waits until the call
        has returned and is then raised."""
        outcome: dict[str, Any] = {}

        def work() -> None:
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
            # The export clears a stop request as it starts: the request is
            # renewed until the call has ended.
            while worker.is_alive():
                self._library.zarvik12m_progress_stop(self.port)
                try:
                    worker.join(_POLL_SECONDS)
                except KeyboardInterrupt:
                    pass
            raise
        self._report(progress, shown)
        if "failure" in outcome:
            raise outcome["failure"]
        rc: int = outcome["rc"]
        return rc

    def _report(self, progress: Optional[Progress],
                shown: Optional[tuple[int, int]]) -> Optional[tuple[int, int]]:
        if progress is None:
            return shown
        now = (
            int(self._library.zarvik12m_progress_position(self.port)),
            int(self._library.zarvik12m_progress_max(self.port)),
        )
        if now != shown:
            progress(*now)
        return now


def version() -> str:
    """The C library's version."""
    text: bytes = _native.library().zarvik12m_version()
    return text.decode("ascii")
