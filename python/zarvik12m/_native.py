"""The C interface of libzarvik12m-c.so.1 (zarvik12m-c.dll on Windows),
declared for ctypes."""

from __future__ import annotations

import ctypes
import os
from typing import Any, Callable, Mapping, Optional

from .errors import LibraryError

MAX_GOODS = 4000
BARCODE_SIZE = 14
NAME_SIZE = 49
DEVICE_NAME_SIZE = 64
SERIAL_NUMBER_SIZE = 14
MESSAGE_SIZE = 512


def library_name(system: str = os.name) -> str:
    """The C library's file name on the system (os.name)."""
    return "zarvik12m-c.dll" if system == "nt" else "libzarvik12m-c.so.1"


def loader_name(system: str = os.name, pointer_size: int = ctypes.sizeof(ctypes.c_void_p)) -> str:
    """The ctypes loader of the C library: 32-bit Windows builds it with the
    __stdcall convention (WinDLL); everywhere else there is one (CDLL)."""
    return "WinDLL" if system == "nt" and pointer_size == 4 else "CDLL"


LIBRARY_NAME = library_name()


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


def _installed_folder() -> Optional[str]:
    """The way to the library's folder that installing the package wrote
    (the Debian package), or None."""
    try:
        # Written by the install; absent from the source tree.
        from ._installed import LIBRARY_FOLDER_FROM_PACKAGE  # type: ignore[import]
    except ImportError:
        return None
    return str(LIBRARY_FOLDER_FROM_PACKAGE)


def candidates(environment: Mapping[str, str] = os.environ, folder: str = os.path.dirname(os.path.abspath(__file__)),
               system: str = os.name, installed: Optional[str] = None) -> list[str]:
    """Where the library is looked for, in order: ZARVIK12M_LIBRARY, next to
    this package, where the package was installed to find it, then the
    loader's own search path. On Windows a library loaded by its path finds
    the DLLs it needs beside it."""
    named = environment.get("ZARVIK12M_LIBRARY")
    if named:
        return [named]
    name = library_name(system)
    found = [os.path.join(folder, name)]
    if installed:
        found.append(os.path.normpath(os.path.join(folder, installed, name)))
    return [path for path in found if os.path.exists(path)] + [name]


def _declare(library: ctypes.CDLL) -> ctypes.CDLL:
    u8, i32, p = ctypes.c_uint8, ctypes.c_int32, ctypes.POINTER
    signatures: dict[str, tuple[Any, list[Any]]] = {
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
        try:
            function = getattr(library, name)
        except AttributeError:
            raise LibraryError(
                "%s is not the C library %s: it has no %s (ZARVIK12M_LIBRARY names the C library, "
                "not the C++ one)" % (library._name, LIBRARY_NAME, name)
            ) from None
        function.restype = result
        function.argtypes = arguments
    return library


_library: Optional[ctypes.CDLL] = None


def library() -> ctypes.CDLL:
    """The loaded C library, loaded on first use."""
    global _library
    if _library is None:
        loader: Callable[[str], ctypes.CDLL] = getattr(ctypes, loader_name())
        failures: list[str] = []
        for candidate in candidates(installed=_installed_folder()):
            try:
                loaded = loader(candidate)
            except OSError as failure:
                failures.append(str(failure))
                continue
            _library = _declare(loaded)
            break
        else:
            raise LibraryError("cannot load %s: %s" % (LIBRARY_NAME, "; ".join(failures)))
    return _library
