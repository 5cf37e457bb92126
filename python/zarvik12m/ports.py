"""The COM port number through which the driver reaches what the caller
names: a number, a Windows COM name, or the path of a device."""

from __future__ import annotations

import errno
import os
import re
import stat
import threading
from typing import MutableMapping, Optional, Tuple, Union

# What a caller names a port with: a number, a name or a path.
PortName = Union[int, str, "os.PathLike[str]"]
# Why a device cannot serve: the system's error number and text, when known.
Reason = Tuple[Optional[int], str]

PORTS = range(1, 33)
_WINDOWS_COM = re.compile(r"^(?:\\\\\.\\)?COM([0-9]{1,3})$", re.IGNORECASE)
_VARIABLE = "ZARVIK12M_COM%d"
# A register on the network (a serial-to-Ethernet converter, ser2net): the
# driver connects to it itself.
_NETWORK_ADDRESS = re.compile(r"^(?:tcp|rfc2217)://", re.IGNORECASE)
DIALOUT_HINT = "add the user to the dialout group (sudo usermod -aG dialout $USER) and log in again"


# The kinds of a system failure, named as the driver's platform layer names
# them; the package decides by the kind and shows the system's words.
NOT_FOUND = "not found"
BUSY = "busy"
DENIED = "denied"
NOT_SERIAL = "not a serial device"
TIMED_OUT = "timed out"
CLOSED = "closed"
OTHER = "other"
_KINDS = {
    errno.ENOENT: NOT_FOUND, errno.ENOTDIR: NOT_FOUND,
    errno.EBUSY: BUSY, errno.ETXTBSY: BUSY,
    errno.EACCES: DENIED, errno.EPERM: DENIED, errno.EROFS: DENIED,
    errno.ENXIO: NOT_SERIAL, errno.ENODEV: NOT_SERIAL, errno.ENOTTY: NOT_SERIAL,
    errno.ETIMEDOUT: TIMED_OUT,
    errno.EBADF: CLOSED, errno.EPIPE: CLOSED, errno.ECONNRESET: CLOSED, errno.ECONNABORTED: CLOSED,
    errno.ENOTCONN: CLOSED, errno.ESHUTDOWN: CLOSED,
}


def error_kind(number: Optional[int], opening: bool = False) -> Optional[str]:
    """The kind of an errno value (None: no number); at the opening of a
    device EIO too means no serial line there (a ttyS without a UART)."""
    if number is None:
        return None
    if opening and number == errno.EIO:
        return NOT_SERIAL
    return _KINDS.get(number, OTHER)


def direct_number(port: PortName, system: str = os.name) -> Optional[int]:
    """The COM number the driver opens by itself for `port`, or None when
    the name needs a ZARVIK12M_COM<N> variable: a number 1..32, and on
    Windows (system "nt") the names COM1..COM32 and \\\\.\\COM1..\\\\.\\COM32,
    in any case."""
    if isinstance(port, bool) or not isinstance(port, (int, str, os.PathLike)):
        raise TypeError("port must be a number or a device name, not %s" % type(port).__name__)
    if isinstance(port, int):
        if port not in PORTS:
            raise ValueError("port number must be 1..32, not %d" % port)
        return port
    name = os.fspath(port)
    if not isinstance(name, str) or not name:
        raise ValueError("port name must be a non-empty text, not %r" % (port,))
    if system == "nt":
        match = _WINDOWS_COM.match(name)
        if match and int(match.group(1)) in PORTS:
            return int(match.group(1))
    return None


class ComNumbers:
    """The COM numbers of device paths, through ZARVIK12M_COM<N> variables
    of an environment. A path whose variable is set keeps its number; a new
    path takes the highest number whose variable no one set, else one this
    object set for a path no longer in use. Under a lock: two threads never
    get one number for different paths, and a variable the program set
    itself is never taken."""

    def __init__(self, environment: MutableMapping[str, str]) -> None:
        self._environment = environment
        self._lock = threading.Lock()
        self._users: dict[int, int] = {}  # number -> registers using it, for the numbers set here

    def take(self, name: str) -> int:
        """The number for the path, counted as used until release()."""
        with self._lock:
            for number in PORTS:
                if self._environment.get(_VARIABLE % number) == name:
                    if number in self._users:
                        self._users[number] += 1
                    return number
            free = [number for number in reversed(PORTS) if _VARIABLE % number not in self._environment]
            unused = [number for number in reversed(PORTS) if self._users.get(number) == 0]
            for number in free + unused:
                self._environment[_VARIABLE % number] = name
                self._users[number] = 1
                return number
        raise ValueError("no free COM number left for %s: ZARVIK12M_COM1..32 are all in use" % name)

    def release(self, number: int) -> None:
        with self._lock:
            if self._users.get(number, 0) > 0:
                self._users[number] -= 1


# The process's own environment, which the driver reads.
process_com_numbers = ComNumbers(os.environ)


def device_of(number: int, environment: Optional[MutableMapping[str, str]] = None) -> Optional[str]:
    """The device the driver opens for the number, when a variable names it."""
    environment = os.environ if environment is None else environment
    return environment.get(_VARIABLE % number)


def is_network_address(name: object) -> bool:
    """Whether the name is tcp://HOST:PORT or rfc2217://HOST:PORT (or meant
    as one), which the driver opens as a network connection."""
    return isinstance(name, str) and _NETWORK_ADDRESS.match(name) is not None


def open_failure_reason(path: str) -> Optional[Reason]:
    """Why the device at `path` cannot serve as a serial line, as
    (errno or None, text), or None when it opens or is no file (a network
    address: the driver's message names it). Tried only after the driver
    failed to open it."""
    if os.name == "nt" or is_network_address(path):
        return None
    try:
        descriptor = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    except OSError as failure:
        return failure.errno, failure.strerror
    try:
        if not stat.S_ISCHR(os.fstat(descriptor).st_mode) or not os.isatty(descriptor):
            return errno.ENOTTY, "not a serial device"
        # The driver's lock, which keeps every second opener out (fcntl is
        # no module of Windows, which never comes here).
        import fcntl
        try:
            fcntl.flock(descriptor, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            return errno.EBUSY, os.strerror(errno.EBUSY)
    finally:
        os.close(descriptor)
    return None


def reason_text(reason: Reason) -> str:
    """The text of open_failure_reason's answer, with the hint for a
    permission problem."""
    number, text = reason
    if error_kind(number, opening=True) == DENIED:
        return "%s; %s" % (text, DIALOUT_HINT)
    return text
