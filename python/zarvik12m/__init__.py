"""The goods table of a Zarvik-12M cash register: read it, write it, clear it.

    import zarvik12m
    register = zarvik12m.Register("/dev/ttyUSB0", baud=9600, net=1)
    goods = register.load_goods()

Pure Python over the C library libzarvik12m-c.so.1 (zarvik12m-c.dll on
Windows), which is found through ZARVIK12M_LIBRARY, next to this package,
or on the loader's path."""

from ._version import __version__ as __version__  # noqa: F401 (the package's version)
from .errors import Cancelled, CommandError, Error, GoodsError, LibraryError, PortError, RegisterError
from .register import Goods, Properties, Register, version

__all__ = [
    "Cancelled",
    "CommandError",
    "Error",
    "Goods",
    "GoodsError",
    "LibraryError",
    "PortError",
    "Properties",
    "Register",
    "RegisterError",
    "version",
]
