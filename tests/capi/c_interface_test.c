/* The C interface against the emulator, as a C program sees it: built as
 * C99 against zarvik12m.h alone. One scenario per run, for the emulator
 * that c_interface_test.sh started on COM port 1:
 *
 *   c_interface_test table    the table of cyrillic_goods.txt: every field,
 *                             too little room, refused names, clear, write
 *                             back (the script compares the saved table)
 *   c_interface_test status   a register answering goods reads with status 5
 *   c_interface_test missing  COM port 1 naming no device
 *   c_interface_test cancel   a stop while a 4000 goods table is read */
#define _POSIX_C_SOURCE 200809L

#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "zarvik12m/zarvik12m.h"

#define PORT 1
#define BAUD 115200
#define NET 1

static int failures = 0;

#define CHECK(condition)                                                            \
    do {                                                                            \
        if (!(condition)) {                                                         \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
            ++failures;                                                             \
        }                                                                           \
    } while (0)

#define CHECK_CALL(expected, rc, error)                                                                             \
    do {                                                                                                            \
        int got_ = (rc);                                                                                            \
        if (got_ != (expected)) {                                                                                   \
            fprintf(stderr, "%s:%d: returned %d (%s), expected %d\n", __FILE__, __LINE__, got_, (error).message,    \
                    (expected));                                                                                    \
            ++failures;                                                                                             \
        } else if ((error).code != got_) {                                                                          \
            fprintf(stderr, "%s:%d: error record holds %d, returned %d\n", __FILE__, __LINE__, (error).code, got_); \
            ++failures;                                                                                             \
        }                                                                                                           \
    } while (0)

static int starts_with(const char* text, const char* prefix)
{
    return strncmp(text, prefix, strlen(prefix)) == 0;
}

/* cyrillic_goods.txt as the register gives it back: bar codes right-aligned
 * in 13 characters, names without their padding. */
static const zarvik12m_goods_item expected_goods[] = {
    {1, "4607010079192", 520000, "Хлеб бородинский", 1, 24.0},
    {2, "      2100259", 7200000, "Сыр Ёлочка ё/1", 2, 12.35},
    {3, "          123", 120000, "Молоко", 255, 1.0},
    {4, "             ", 19999990000LL, "Tea, 25 \"pcs\"", 0, 0.001},
};
#define EXPECTED_COUNT ((uint16_t)(sizeof expected_goods / sizeof expected_goods[0]))

static zarvik12m_goods_item items[ZARVIK12M_MAX_GOODS];

static void check_same_goods(const zarvik12m_goods_item* got, uint16_t count)
{
    uint16_t k;
    CHECK(count == EXPECTED_COUNT);
    for (k = 0; k < count && k < EXPECTED_COUNT; ++k) {
        const zarvik12m_goods_item* want = &expected_goods[k];
        if (got[k].code != want->code || strcmp(got[k].barcode, want->barcode) != 0 || got[k].price != want->price ||
            strcmp(got[k].name, want->name) != 0 || got[k].group != want->group ||
            got[k].quantity < want->quantity - 0.0005 || got[k].quantity > want->quantity + 0.0005) {
            fprintf(stderr, "entry %u: %u [%s] %lld [%s] %u %.3f\n", (unsigned)k, (unsigned)got[k].code, got[k].barcode,
                    (long long)got[k].price, got[k].name, (unsigned)got[k].group, got[k].quantity);
            ++failures;
        }
    }
}

static void table(void)
{
    zarvik12m_error error;
    zarvik12m_properties properties;
    zarvik12m_goods_item refused[2];
    uint16_t count = 99;

    CHECK(strcmp(zarvik12m_version(), "1.0.0") == 0);
    CHECK_CALL(0, zarvik12m_get_properties(PORT, BAUD, NET, &properties, &error), error);
    CHECK(strcmp(properties.device_name, "Зарвик-12М") == 0);
    CHECK(strcmp(properties.serial_number, "12345678") == 0);
    CHECK(properties.max_goods == ZARVIK12M_MAX_GOODS);

    CHECK_CALL(0, zarvik12m_load_goods(PORT, BAUD, NET, items, ZARVIK12M_MAX_GOODS, &count, &error), error);
    check_same_goods(items, count);
    CHECK(zarvik12m_progress_position(PORT) == EXPECTED_COUNT + 1);
    CHECK(zarvik12m_progress_max(PORT) == ZARVIK12M_MAX_GOODS);

    /* Too little room: the entries that fit, and a failure that says so. */
    memset(refused, 0, sizeof refused);
    CHECK_CALL(-1, zarvik12m_load_goods(PORT, BAUD, NET, refused, 2, &count, &error), error);
    CHECK(count == 2 && refused[1].code == 2 && strcmp(refused[1].name, "Сыр Ёлочка ё/1") == 0);
    CHECK(strstr(error.message, "4") != NULL);

    /* Bad arguments fail with -1 and a text; NULL error records are allowed. */
    CHECK(zarvik12m_load_goods(PORT, BAUD, NET, items, ZARVIK12M_MAX_GOODS, NULL, NULL) == -1);
    CHECK(zarvik12m_get_properties(PORT, BAUD, NET, NULL, NULL) == -1);
    CHECK_CALL(-1, zarvik12m_write_goods(PORT, BAUD, NET, NULL, 1, &error), error);
    CHECK(error.message[0] != '\0');

    CHECK_CALL(0, zarvik12m_clear_goods(PORT, BAUD, NET, &error), error);
    CHECK_CALL(0, zarvik12m_load_goods(PORT, BAUD, NET, items, ZARVIK12M_MAX_GOODS, &count, &error), error);
    CHECK(count == 0);

    /* A name that Windows-1251 cannot hold, or one of 17 characters, refuses
     * the whole call before the first entry is sent. */
    refused[0] = expected_goods[0];
    refused[1] = expected_goods[1];
    strcpy(refused[1].name, "Чай 茶");
    CHECK_CALL(-1, zarvik12m_write_goods(PORT, BAUD, NET, refused, 2, &error), error);
    CHECK(starts_with(error.message, "Товар 2: "));
    strcpy(refused[1].name, "Хлеб бородинский!");
    CHECK_CALL(-1, zarvik12m_write_goods(PORT, BAUD, NET, refused, 2, &error), error);
    CHECK(strstr(error.message, "16") != NULL);
    memset(refused[1].name, 'x', sizeof refused[1].name); /* no terminating NUL */
    CHECK_CALL(-1, zarvik12m_write_goods(PORT, BAUD, NET, refused, 2, &error), error);
    CHECK_CALL(0, zarvik12m_load_goods(PORT, BAUD, NET, items, ZARVIK12M_MAX_GOODS, &count, &error), error);
    CHECK(count == 0);

    /* The table written back; the script compares what the register holds
     * with the file it started from. */
    CHECK_CALL(0, zarvik12m_write_goods(PORT, BAUD, NET, expected_goods, EXPECTED_COUNT, &error), error);
    CHECK_CALL(0, zarvik12m_load_goods(PORT, BAUD, NET, items, ZARVIK12M_MAX_GOODS, &count, &error), error);
    check_same_goods(items, count);
}

static void status(void)
{
    zarvik12m_error error;
    uint16_t count = 99;
    CHECK_CALL(5, zarvik12m_load_goods(PORT, BAUD, NET, items, ZARVIK12M_MAX_GOODS, &count, &error), error);
    CHECK(count == 0);
    CHECK(strcmp(error.message, "Ошибка ККМ: Нет продаж") == 0);
    /* Other commands are answered as usual. */
    CHECK_CALL(0, zarvik12m_clear_goods(PORT, BAUD, NET, &error), error);
}

static void missing(void)
{
    zarvik12m_error error;
    zarvik12m_properties properties;
    uint16_t count = 99;
    CHECK_CALL(-110, zarvik12m_load_goods(PORT, BAUD, NET, items, ZARVIK12M_MAX_GOODS, &count, &error), error);
    CHECK(count == 0);
    CHECK(starts_with(error.message, "[COM1] Ошибка открытия порта"));
    CHECK(zarvik12m_get_properties(PORT, BAUD, NET, &properties, NULL) == -110);
}

struct load_call {
    int rc;
    uint16_t count;
    zarvik12m_error error;
};

static void* run_load(void* argument)
{
    struct load_call* call = argument;
    call->rc = zarvik12m_load_goods(PORT, BAUD, NET, items, ZARVIK12M_MAX_GOODS, &call->count, &call->error);
    return NULL;
}

static void cancel(void)
{
    struct load_call call;
    pthread_t thread;
    const struct timespec poll = {0, 1000000};
    memset(&call, 0, sizeof call);
    if (pthread_create(&thread, NULL, run_load, &call) != 0) {
        fprintf(stderr, "no thread\n");
        ++failures;
        return;
    }
    /* The progress is polled as a program's progress bar polls it. */
    while (zarvik12m_progress_position(PORT) < 10 || zarvik12m_progress_max(PORT) != ZARVIK12M_MAX_GOODS) {
        nanosleep(&poll, NULL);
    }
    zarvik12m_progress_stop(PORT);
    pthread_join(thread, NULL);
    CHECK_CALL(-300, call.rc, call.error);
    CHECK(strcmp(call.error.message, "Операция была прервана пользователем") == 0);
    CHECK(call.count >= 9 && call.count < ZARVIK12M_MAX_GOODS);
    CHECK(call.count == 0 || items[call.count - 1].code == call.count);
}

int main(int argc, char** argv)
{
    const char* scenario = argc > 1 ? argv[1] : "";
    if (strcmp(scenario, "table") == 0) {
        table();
    } else if (strcmp(scenario, "status") == 0) {
        status();
    } else if (strcmp(scenario, "missing") == 0) {
        missing();
    } else if (strcmp(scenario, "cancel") == 0) {
        cancel();
    } else {
        fprintf(stderr, "usage: c_interface_test table|status|missing|cancel\n");
        return 2;
    }
    if (failures != 0) {
        fprintf(stderr, "%s: %d failed\n", scenario, failures);
        return 1;
    }
    printf("%s: passed\n", scenario);
    return 0;
}
