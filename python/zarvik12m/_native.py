"""The C interface of libzarvik12m-c.so.1, declared for ctypes."""

import ctypes
import os

MAX_GOODS = 4000
BARCODE_SIZE = 14
NAME_SIZE = 49
DEVICE_NAME_SIZE = 64
SERIAL_NUMBER_SIZE = 14
MESSAGE_SIZE = 512

LIBRARY_NAME = "zarvik12m-c.dll" if os.name == "nt" else "libzarvik12m-c.so.1"


class GoodsItem(ctypes.Structure):
    _fields_ = [
        ("code", ctypes.c_uint16),
        ("barcode", ctypes.c_char * BARCODE_SIZE),
        ("price", ctypes.c_int64),
        ("name", ctypes.c_char * NAME_SIZE),
        ("group", ctypes.c_uint8),
        ("quantity", ctypes.c_double),
    ]


class Properties(ctypes.Structure):
    _fields_ = [
        ("device_name", ctypes.c_char * DEVICE_NAME_SIZE),
        ("serial_number", ctypes.c_char * SERIAL_NUMBER_SIZE),
        ("max_goods", ctypes.c_uint16),
    ]


class ErrorRecord(ctypes.Structure):
    _fields_ = [("code", ctypes.c_int), ("message", ctypes.c_char * MESSAGE_SIZE)]


def _candidates():
    """Where the library is looked for, in order: ZARVIK12M_LIBRARY, next to
    this package, then the loader's own search path."""
    named = os.environ.get("ZARVIK12M_LIBRARY")
    if named:
        return [named]
    beside = os.path.join(os.path.dirname(os.path.abspath(__file__)), LIBRARY_NAME)
    return [beside, LIBRARY_NAME] if os.path.exists(beside) else [LIBRARY_NAME]


def _declare(library):
    u8, i32, p = ctypes.c_uint8, ctypes.c_int32, ctypes.POINTER
    signatures = {
        "zarvik12m_load_goods": (
            ctypes.c_int,
            [u8, i32, u8, p(GoodsItem), ctypes.c_size_t, p(ctypes.c_uint16), p(ErrorRecord)],
        ),
        "zarvik12m_write_goods": (ctypes.c_int, [u8, i32, u8, p(GoodsItem), ctypes.c_uint16, p(ErrorRecord)]),
        "zarvik12m_clear_goods": (ctypes.c_int, [u8, i32, u8, p(ErrorRecord)]),
        "zarvik12m_get_properties": (ctypes.c_int, [u8, i32, u8, p(Properties), p(ErrorRecord)]),
        "zarvik12m_progress_position": (i32, [u8]),
        "zarvik12m_progress_max": (i32, [u8]),
        "zarvik12m_progress_stop": (None, [u8]),
        "zarvik12m_version": (ctypes.c_char_p, []),
    }
    for name, (result, arguments) in signatures.items():
        function = getattr(library, name)
        function.restype = result
        function.argtypes = arguments
    return library


_library = None


def library():
    """The loaded C library, loaded on first use."""
    global _library
    if _library is None:
        failures = []
        for candidate in _candidates():
            try:
                _library = _declare(ctypes.CDLL(candidate))
                break
            except OSError as failure:
                failures.append(str(failure))
        else:
            raise OSError("cannot load %s: %s" % (LIBRARY_NAME, "; ".join(failures)))
    return _library
