"""The goods table of a Zarvik-12M cash register: read it, write it, clear it.

    import zarvik12m
    register = zarvik12m.Register("/dev/ttyUSB0", baud=9600, net=1)
    goods = register.load_goods()

Pure Python over the C library libzarvik12m-c.so.1, which is found through
ZARVIK12M_LIBRARY, next to this package, or on the loader's path."""

from .register import Error, Goods, Properties, Register, version

__all__ = ["Error", "Goods", "Properties", "Register", "version"]
__version__ = "1.0.0"
