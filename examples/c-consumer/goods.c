/* Prints the goods table of the register on a COM port, one entry a line,
 * then the number of entries:
 *
 *   zarvik12m-goods PORT BAUD NETNUMBER */
#include <stdio.h>
#include <stdlib.h>

#include <zarvik12m/zarvik12m.h>

static zarvik12m_goods_item goods[ZARVIK12M_MAX_GOODS];

int main(int argc, char** argv)
{
    uint16_t count = 0;
    uint16_t k;
    zarvik12m_error error;
    int rc;
    if (argc != 4) {
        fprintf(stderr, "usage: zarvik12m-goods PORT BAUD NETNUMBER\n");
        return 2;
    }
    rc = zarvik12m_load_goods((uint8_t)atoi(argv[1]), (int32_t)atoi(argv[2]), (uint8_t)atoi(argv[3]), goods,
                              ZARVIK12M_MAX_GOODS, &count, &error);
    for (k = 0; k < count; ++k) {
        printf("%4u %-13s %10.2f %s\n", (unsigned)goods[k].code, goods[k].barcode, (double)goods[k].price / 10000,
               goods[k].name);
    }
    if (rc != 0) {
        /* The message is UTF-8 text. */
        fprintf(stderr, "error %d: %s\n", error.code, error.message);
        return 1;
    }
    printf("goods: %u\n", (unsigned)count);
    return 0;
}
