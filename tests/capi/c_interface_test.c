/* The C interface against the emulator, as a C program sees it: built as
 * C99 against zarvik12m.h alone. One scenario per run, for the emulator
 * that c_interface_test.sh started on COM port 1:
 *
 *   c_interface_test table    the table of cyrillic_goods.txt: every field,
 *                             too little room, refused names, clear, write
 *                             back (the script compares the saved table)
 *   c_interface_test status   a register answering goods reads with status 5
 *   c_interface_test missing  COM port 1 naming no device
 *   c_interface_test cancel   a stop while a 4000 goods table is read
 *   c_interface_test refusals tables and arguments the register could not
 *                             give back unchanged, each refused with -1
 *                             (the script checks that no byte was sent)
 *   c_interface_test limits   the extreme values every field holds, written
 *                             and read back unchanged */
#define _POSIX_C_SOURCE 200809L

#include <math.h>
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
    CHECK(starts_with(error.message, "Товар 2, название: "));
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

/* A write of the table, expected to be refused with a message that begins
 * with `prefix` and holds `detail` (when not NULL). */
static void check_refused(int line, const zarvik12m_goods_item* table, uint16_t count, const char* prefix,
                          const char* detail)
{
    zarvik12m_error error;
    const int rc = zarvik12m_write_goods(PORT, BAUD, NET, table, count, &error);
    if (rc != -1 || error.code != -1 || !starts_with(error.message, prefix) ||
        (detail != NULL && strstr(error.message, detail) == NULL)) {
        fprintf(stderr, "%s:%d: returned %d (%s), expected -1 (%s ... %s)\n", __FILE__, line, rc, error.message,
                prefix, detail != NULL ? detail : "");
        ++failures;
    }
}

#define REFUSED(table, count, prefix, detail) check_refused(__LINE__, (table), (count), (prefix), (detail))

/* A three-entry table that the register holds as it is. */
static void sound_table(zarvik12m_goods_item* table)
{
    uint16_t k;
    for (k = 0; k < 3; ++k) {
        memset(&table[k], 0, sizeof table[k]);
        table[k].code = (uint16_t)(k + 1);
        strcpy(table[k].barcode, "460");
        table[k].price = 10000;
        strcpy(table[k].name, "Чай");
        table[k].quantity = 1.5;
    }
}

static void refused_names(zarvik12m_goods_item* table)
{
    static const char* const names[] = {
        "Чай №1",        /* № has a Windows-1251 byte the register changes */
        "«Чай»",         /* the quotation marks of spreadsheets */
        "Чай 5€",        /* the euro sign */
        "Чай — чёрный",  /* the dash */
        "Чай…",          /* the ellipsis */
        ("Чай\xC2\xA0" "5"), /* the no-break space of spreadsheet exports */
        "Чай 茶",        /* no Windows-1251 byte at all */
        "Чай\t5",        /* a control character */
        "Ч\xD0",         /* not UTF-8 */
        "Хлеб бородинский!",
    };
    size_t k;
    for (k = 0; k < sizeof names / sizeof names[0]; ++k) {
        sound_table(table);
        strcpy(table[2].name, names[k]);
        REFUSED(table, 3, "Товар 3, название: ", NULL);
    }
    sound_table(table);
    strcpy(table[0].name, "Чай №1");
    REFUSED(table, 3, "Товар 1, название: ", "«№» (U+2116)");
    memset(table[0].name, 'x', sizeof table[0].name); /* no terminating NUL */
    REFUSED(table, 3, "Товар 1, название: ", NULL);
}

static void refused_numbers(zarvik12m_goods_item* table)
{
    const int64_t prices[] = {-450000, 999999999999900LL, 455000, 42949672960000LL};
    const double quantities[] = {-1.0, NAN, INFINITY, 1e12, 0.0015, 4294967.296};
    size_t k;
    for (k = 0; k < sizeof prices / sizeof prices[0]; ++k) {
        sound_table(table);
        table[1].price = prices[k];
        REFUSED(table, 3, "Товар 2, цена: ", NULL);
    }
    table[1].price = 455000; /* 45.50 */
    REFUSED(table, 3, "Товар 2, цена: ", "целых");
    for (k = 0; k < sizeof quantities / sizeof quantities[0]; ++k) {
        sound_table(table);
        table[1].quantity = quantities[k];
        REFUSED(table, 3, "Товар 2, количество: ", NULL);
    }
    sound_table(table);
    memset(table[1].barcode, '1', sizeof table[1].barcode); /* 14 digits, no NUL */
    REFUSED(table, 3, "Товар 2, штрихкод: ", NULL);
    strcpy(table[1].barcode, "46\xD0\x81");
    REFUSED(table, 3, "Товар 2, штрихкод: ", NULL);
}

static void refused_codes(zarvik12m_goods_item* table)
{
    static zarvik12m_goods_item oversized[ZARVIK12M_MAX_GOODS + 1];
    uint16_t k;
    sound_table(table);
    table[1].code = 0;
    REFUSED(table, 3, "Товар 2, код: ", "0 вне 1..4000");
    table[1].code = 4001;
    REFUSED(table, 3, "Товар 2, код: ", "4001 вне 1..4000");
    table[1].code = 1;
    REFUSED(table, 3, "Товар 2, код: ", "уже у товара 1");
    table[1].code = 40; /* 1, 40, 3: a read would stop at the free code 2 */
    REFUSED(table, 3, "Товар 2, код: ", "нет товара с кодом 2");
    for (k = 0; k <= ZARVIK12M_MAX_GOODS; ++k) {
        oversized[k].code = (uint16_t)(k + 1);
    }
    REFUSED(oversized, ZARVIK12M_MAX_GOODS + 1, "Товар 4001, код: ", "не больше 4000");
}

static void refused_arguments(zarvik12m_goods_item* table)
{
    zarvik12m_error error;
    zarvik12m_properties properties;
    uint16_t count = 99;
    sound_table(table);
    CHECK_CALL(-1, zarvik12m_write_goods(0, BAUD, NET, table, 3, &error), error);
    CHECK(strstr(error.message, "порта 0") != NULL);
    CHECK_CALL(-1, zarvik12m_clear_goods(33, BAUD, NET, &error), error);
    CHECK_CALL(-1, zarvik12m_get_properties(PORT, BAUD, 0, &properties, &error), error);
    CHECK(strstr(error.message, "1..99") != NULL);
    CHECK_CALL(-1, zarvik12m_clear_goods(PORT, BAUD, 100, &error), error);
    CHECK_CALL(-1, zarvik12m_clear_goods(PORT, 0, NET, &error), error);
    CHECK_CALL(-1, zarvik12m_clear_goods(PORT, -9600, NET, &error), error);
    CHECK_CALL(-1, zarvik12m_load_goods(PORT, 7, NET, items, ZARVIK12M_MAX_GOODS, &count, &error), error);
    CHECK(count == 0);
    count = 99;
    CHECK_CALL(-1, zarvik12m_load_goods(PORT, BAUD, NET, NULL, 5, &count, &error), error);
    CHECK(count == 0);
}

static void refusals(void)
{
    zarvik12m_goods_item table[3];
    refused_names(table);
    refused_numbers(table);
    refused_codes(table);
    refused_arguments(table);
}

/* Each field at its extremes, in codes written out of order: read back as
 * written (in code order, bar codes right-aligned). */
static void limits(void)
{
    static const zarvik12m_goods_item written[] = {
        {3, "", 0, "", 0, 0.0},
        {1, "ABC-12 x/9", 42949672950000LL, "Ђѓ„ Ёё АЯая 09az", 255, 4294967.295},
        {2, "4607010079192", 10000, "Хлеб  ", 7, 0.001},
    };
    static const zarvik12m_goods_item expected[] = {
        {1, "   ABC-12 x/9", 42949672950000LL, "Ђѓ„ Ёё АЯая 09az", 255, 4294967.295},
        {2, "4607010079192", 10000, "Хлеб", 7, 0.001},
        {3, "             ", 0, "", 0, 0.0},
    };
    zarvik12m_error error;
    uint16_t count = 0;
    uint16_t k;
    CHECK_CALL(0, zarvik12m_write_goods(PORT, BAUD, NET, written, 3, &error), error);
    CHECK_CALL(0, zarvik12m_load_goods(PORT, BAUD, NET, items, ZARVIK12M_MAX_GOODS, &count, &error), error);
    CHECK(count == 3);
    for (k = 0; k < count && k < 3; ++k) {
        if (items[k].code != expected[k].code ||
            strcmp(items[k].barcode, expected[k].barcode) != 0 || items[k].price != expected[k].price ||
            strcmp(items[k].name, expected[k].name) != 0 || items[k].group != expected[k].group ||
            items[k].quantity != expected[k].quantity) {
            fprintf(stderr, "entry %u: %u [%s] %lld [%s] %u %.3f\n", (unsigned)k, (unsigned)items[k].code,
                    items[k].barcode, (long long)items[k].price, items[k].name, (unsigned)items[k].group,
                    items[k].quantity);
            ++failures;
        }
    }
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
    } else if (strcmp(scenario, "refusals") == 0) {
        refusals();
    } else if (strcmp(scenario, "limits") == 0) {
        limits();
    } else {
        fprintf(stderr, "usage: c_interface_test table|status|missing|cancel|refusals|limits\n");
        return 2;
    }
    if (failures != 0) {
        fprintf(stderr, "%s: %d failed\n", scenario, failures);
        return 1;
    }
    printf("%s: passed\n", scenario);
    return 0;
}
