/* The C interface of the Zarvik-12M driver: libzarvik12m-c.so.1.
 *
 * Plain C (C99 and later) and C++: no C++ type crosses it and nothing
 * throws out of it. Every operation opens the COM port, runs its commands
 * against the register with the given network number and closes the port
 * again; it blocks until it is done. Another thread may meanwhile watch
 * the port's progress and ask for a stop (zarvik12m_progress_*).
 *
 * Each operation returns 0 on success, the driver's error code on a
 * driver failure (a register status 1..255, a port error -100..-120, a
 * command error -200..-202, -300 for a stop), or -1 for any other failure
 * (no memory, a thread that cannot start, a bad argument); the error
 * record, when given, then holds the code and its text. Texts are UTF-8.
 *
 * Port numbers 1..32 have progress slots; COM port N is the device that
 * ZARVIK12M_COM<N> names, else the system's N-th serial port. Every call
 * fails with -1 before the port is opened for a port outside 1..32, a
 * network number outside 1..99 or a line speed outside 50..4000000 bits
 * per second; a speed the device cannot run fails when the port is opened,
 * before anything is sent. */
#ifndef ZARVIK12M_ZARVIK12M_H
#define ZARVIK12M_ZARVIK12M_H

/* A C header: C++ style checks do not apply to it. */
// NOLINTBEGIN(modernize-deprecated-headers, modernize-use-using)

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#if defined(ZARVIK12M_C_BUILDING)
#define ZARVIK12M_C_API __declspec(dllexport)
#else
#define ZARVIK12M_C_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define ZARVIK12M_C_API __attribute__((visibility("default")))
#else
#define ZARVIK12M_C_API
#endif

/* The calling convention of every zarvik12m_* function. 32-bit Windows:
 * __stdcall, which the 32-bit hosts of that system (point-of-sale
 * programs, office macros, scripting hosts) expect, exported from
 * zarvik12m-c.dll under the plain names zarvik12m_load_goods and so on
 * (no _name@N decoration); from such a host declare the functions as
 * stdcall, from Python load the DLL with ctypes.WinDLL. Everywhere else
 * the system's one convention: nothing changes. */
#if defined(_WIN32) && !defined(_WIN64)
#define ZARVIK12M_CALL __stdcall
#else
#define ZARVIK12M_CALL
#endif

/* The number of goods numbers the register's table holds (1..4000): an
 * array of this many entries reads every possible table. */
#define ZARVIK12M_MAX_GOODS 4000

/* Room of the text fields, the terminating NUL included. A name holds at
 * most 16 characters, each up to 3 bytes in UTF-8. */
#define ZARVIK12M_BARCODE_SIZE 14
#define ZARVIK12M_NAME_SIZE 49
#define ZARVIK12M_DEVICE_NAME_SIZE 64
#define ZARVIK12M_SERIAL_NUMBER_SIZE 14
#define ZARVIK12M_MESSAGE_SIZE 512

/* The code of a failure that is not the driver's own. */
#define ZARVIK12M_ERROR_OTHER (-1)

/* One goods entry of the register's table. */
typedef struct zarvik12m_goods_item {
    uint16_t code;                        /* goods number, 1..4000 */
    char barcode[ZARVIK12M_BARCODE_SIZE]; /* up to 13 bytes, as the register keeps them */
    int64_t price;                        /* money value x 10000 */
    char name[ZARVIK12M_NAME_SIZE];       /* UTF-8, at most 16 characters */
    uint8_t group;                        /* kept with the entry, passed through */
    double quantity;                      /* three decimals on the wire */
} zarvik12m_goods_item;

/* What zarvik12m_get_properties reports. */
typedef struct zarvik12m_properties {
    char device_name[ZARVIK12M_DEVICE_NAME_SIZE];     /* UTF-8 */
    char serial_number[ZARVIK12M_SERIAL_NUMBER_SIZE]; /* the register's factory number */
    uint16_t max_goods;                               /* the table's size, 4000 */
} zarvik12m_properties;

/* A failure: its code (as returned) and its text in UTF-8. */
typedef struct zarvik12m_error {
    int code;
    char message[ZARVIK12M_MESSAGE_SIZE];
} zarvik12m_error;

/* Reads the goods table, goods numbers 1, 2, ... up to the first number
 * the register does not hold, into items, which has room for capacity
 * entries. On every return, also after a failure, *count entries are
 * valid. A table longer than capacity fills items and fails with -1. */
ZARVIK12M_C_API int ZARVIK12M_CALL zarvik12m_load_goods(uint8_t port, int32_t baud, uint8_t net,
                                                        zarvik12m_goods_item* items, size_t capacity, uint16_t* count,
                                                        zarvik12m_error* error);

/* Writes entries 0 .. count - 1 into the register, in order. The whole
 * table is checked first: one that the register could not give back as it
 * is written fails with -1 before anything is sent, the message naming the
 * entry (counted from 1) and the field ("Товар 2, название: ..."). Codes
 * 1..N for N entries, each once, in any order; bar codes of at most 13
 * printable ASCII characters; prices in whole units 0..4294967295; names
 * of at most 16 characters (trailing blanks not kept) from printable ASCII,
 * Ђ Ѓ ‚ ѓ „, Ё, ё and А..я; quantities 0..4294967.295 with at most three
 * decimals. After a register failure the entries before the failing one
 * stay written. */
ZARVIK12M_C_API int ZARVIK12M_CALL zarvik12m_write_goods(uint8_t port, int32_t baud, uint8_t net,
                                                         const zarvik12m_goods_item* items, uint16_t count,
                                                         zarvik12m_error* error);

/* Deletes the register's goods table. */
ZARVIK12M_C_API int ZARVIK12M_CALL zarvik12m_clear_goods(uint8_t port, int32_t baud, uint8_t net,
                                                         zarvik12m_error* error);

/* Fills the record with the device's name, factory number and table size. */
ZARVIK12M_C_API int ZARVIK12M_CALL zarvik12m_get_properties(uint8_t port, int32_t baud, uint8_t net,
                                                            zarvik12m_properties* properties, zarvik12m_error* error);

/* The port's progress: commands begun by the running (or last) operation,
 * and its maximum. 0 for a port without a slot. */
ZARVIK12M_C_API int32_t ZARVIK12M_CALL zarvik12m_progress_position(uint8_t port);
ZARVIK12M_C_API int32_t ZARVIK12M_CALL zarvik12m_progress_max(uint8_t port);

/* Asks the port's running operation to stop before its next command; it
 * then fails with -300. */
ZARVIK12M_C_API void ZARVIK12M_CALL zarvik12m_progress_stop(uint8_t port);

/* The library's version, "1.0.0". */
ZARVIK12M_C_API const char* ZARVIK12M_CALL zarvik12m_version(void);

#ifdef __cplusplus
}
#endif

// NOLINTEND(modernize-deprecated-headers, modernize-use-using)
#endif
