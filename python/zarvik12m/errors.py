"""The exceptions of the package.

Error is the base of every failure of the driver and the register; its
.code is the driver's error code and its message the driver's Russian
text. Bad arguments raise ValueError or TypeError; a goods table that the
register could not give back unchanged raises GoodsError, which is both."""

from __future__ import annotations

from typing import TYPE_CHECKING, Optional, Union

if TYPE_CHECKING:
    from .register import Goods


class Error(Exception):
    """A failure of the driver: .code is the driver's error code (a register
    status 1..255, -100..-120 for the port, -200..-202 for a command, -300
    for a stop) or -1 for a failure of another kind. The failure of a read
    carries the entries read before it as .goods."""

    goods: list[Goods]

    def __init__(self, code: int, message: str) -> None:
        super().__init__(code, message)
        self.code = code
        self.message = message

    def __str__(self) -> str:
        return self.message


class PortError(Error, OSError):
    """The COM port cannot be opened, read or written (-100..-120). .port is
    what the caller named; .reason, when known, the system's reason, .errno
    its number and .kind its kind ("not found", "busy", "denied", "not a
    serial device", "timed out", "closed", "other"; see ports.error_kind)."""

    def __init__(self, code: int, message: str, port: Union[int, str, None] = None, reason: Optional[str] = None,
                 errno: Optional[int] = None, kind: Optional[str] = None) -> None:
        Error.__init__(self, code, message)
        self.port = port
        self.reason = reason
        # An OSError's number and text are None when the system gave none
        # (older typeshed versions say int and str).
        self.errno = errno  # type: ignore[assignment]
        self.kind = kind
        self.filename = port if isinstance(port, str) else None
        self.strerror = reason  # type: ignore[assignment]


class RegisterError(Error):
    """The register refused the command with its status (1..255)."""


class CommandError(Error):
    """The register did not answer, or answered wrongly (-200..-202)."""


class Cancelled(Error):
    """The operation was stopped before its next command (-300). .written,
    for a stopped write, is how many entries the register took."""

    written: Optional[int] = None


class GoodsError(Error, ValueError):
    """A goods table the register could not give back unchanged, refused
    before anything is sent: .row is the entry's index, .field its field
    ("code", "barcode", "price", "name", "group", "quantity")."""

    def __init__(self, message: str, row: Optional[int] = None, field: Optional[str] = None) -> None:
        Error.__init__(self, -1, message)
        self.row = row
        self.field = field


class LibraryError(Error, OSError):
    """The C library cannot be found or is not the C library."""

    def __init__(self, message: str) -> None:
        Error.__init__(self, -1, message)


# The field names of the rules' messages ("Товар 3, название: ...").
FIELD_LABELS = {
    "код": "code",
    "штрихкод": "barcode",
    "цена": "price",
    "название": "name",
    "группа": "group",
    "количество": "quantity",
}


def goods_error(message: str) -> Optional[GoodsError]:
    """The GoodsError of a refusal message of the C library, which reads
    "Товар <n>, <field>: <why>"; None for a message of another kind."""
    head, colon, _ = message.partition(": ")
    entry, comma, label = head.partition(", ")
    words = entry.split(" ")
    if not colon or not comma or len(words) != 2 or words[0] != "Товар" or not words[1].isdigit():
        return None
    if label not in FIELD_LABELS:
        return None
    return GoodsError(message, row=int(words[1]) - 1, field=FIELD_LABELS[label])


def error_of(code: int, message: str, port: Union[int, str, None] = None, reason: Optional[str] = None,
             errno: Optional[int] = None, kind: Optional[str] = None) -> Error:
    """The exception of a failed call of the C library."""
    if 1 <= code <= 255:
        return RegisterError(code, message)
    if -120 <= code <= -100:
        return PortError(code, message, port=port, reason=reason, errno=errno, kind=kind)
    if -202 <= code <= -200:
        return CommandError(code, message)
    if code == -300:
        return Cancelled(code, message)
    if code == -1:
        refused = goods_error(message)
        if refused is not None:
            return refused
    return Error(code, message)
