// libzarvik12m-c.so: the C interface over the seven exports of
// libzarvik12m.so. Every entry point catches whatever the driver raises and
// turns it into a return code and an error record; texts cross in UTF-8.
// Nothing here calls the operating system.

#include "zarvik12m/zarvik12m.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <exception>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "capi/goods_rules.h"
#include "driver/common/cp1251.h"
#include "zarvik12m/exports.h"

// The records are laid out alike by every build, 32- and 64-bit, Linux and
// Windows: callers in other languages (the Python package among them)
// describe them field by field, whatever the width of their host.
static_assert(offsetof(zarvik12m_goods_item, code) == 0);
static_assert(offsetof(zarvik12m_goods_item, barcode) == 2);
static_assert(offsetof(zarvik12m_goods_item, price) == 16);
static_assert(offsetof(zarvik12m_goods_item, name) == 24);
static_assert(offsetof(zarvik12m_goods_item, group) == 73);
static_assert(offsetof(zarvik12m_goods_item, quantity) == 80);
static_assert(sizeof(zarvik12m_goods_item) == 88);
static_assert(offsetof(zarvik12m_properties, device_name) == 0);
static_assert(offsetof(zarvik12m_properties, serial_number) == 64);
static_assert(offsetof(zarvik12m_properties, max_goods) == 78);
static_assert(sizeof(zarvik12m_properties) == 80);
static_assert(offsetof(zarvik12m_error, code) == 0);
static_assert(offsetof(zarvik12m_error, message) == 4);
static_assert(sizeof(zarvik12m_error) == 516);

namespace {

using zarvik12m::Cp1251ToUtf8;
namespace goods_rules = zarvik12m::goods_rules;

// A failure of a C call that is not the driver's own: a bad argument, or a
// name that the register cannot hold. Its text is UTF-8 already.
class TCallError {
public:
    explicit TCallError(std::string message) : FMessage(std::move(message)) {}
    [[nodiscard]] const std::string& Message() const noexcept { return FMessage; }

private:
    std::string FMessage;
};

// Copies text into a NUL-terminated field of `size` bytes; a text too long
// is cut at a character boundary, so the field stays well-formed UTF-8.
void CopyText(char* field, std::size_t size, std::string_view text)
{
    std::size_t length = std::min(text.size(), size - 1);
    if (length < text.size()) {
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0U) == 0x80U) {
            --length;
        }
    }
    std::memcpy(field, text.data(), length);
    std::memset(field + length, 0, size - length);
}

int Report(zarvik12m_error* error, int code, std::string_view utf8) noexcept
{
    if (error != nullptr) {
        error->code = code;
        CopyText(error->message, sizeof error->message, utf8);
    }
    return code;
}

// Runs one call: 0 when it returns, else the failure's code with its text.
template <typename TCall>
int Guarded(zarvik12m_error* error, TCall call) noexcept
{
    try {
        call();
        return Report(error, 0, "");
    } catch (const EZarvik12mError& failure) {
        try {
            return Report(error, failure.ErrorCode(), Cp1251ToUtf8(failure.what()));
        } catch (...) {
            return Report(error, failure.ErrorCode(), "");
        }
    } catch (const TCallError& failure) {
        return Report(error, ZARVIK12M_ERROR_OTHER, failure.Message());
    } catch (const std::bad_alloc&) {
        return Report(error, ZARVIK12M_ERROR_OTHER, "Недостаточно памяти");
    } catch (const std::exception& failure) {
        try {
            return Report(error, ZARVIK12M_ERROR_OTHER, Cp1251ToUtf8(failure.what()));
        } catch (...) {
            return Report(error, ZARVIK12M_ERROR_OTHER, "");
        }
    } catch (...) {
        return Report(error, ZARVIK12M_ERROR_OTHER, "Неизвестная ошибка");
    }
}

void CopyItemOut(const TZarvik12m_GoodsItem& from, zarvik12m_goods_item& to)
{
    to = zarvik12m_goods_item{};
    to.code = from.Code;
    CopyText(to.barcode, sizeof to.barcode, from.Barcode.View());
    to.price = from.Price;
    CopyText(to.name, sizeof to.name, Cp1251ToUtf8(from.Name.View()));
    to.group = from.Group;
    to.quantity = from.Quantity;
}

// The driver's record of an entry that the table's rules passed.
TZarvik12m_GoodsItem ItemIn(const zarvik12m_goods_item& from)
{
    TZarvik12m_GoodsItem to{};
    to.Code = from.code;
    to.Barcode.Assign(std::string_view(from.barcode));
    to.Price = from.price;
    to.Name.Assign(goods_rules::RegisterName(from.name).value_or(""));
    to.Group = from.group;
    to.Quantity = from.quantity;
    return to;
}

// Fails the call at once, before the port is opened, when the line's
// arguments are out of range.
void CheckLineArguments(std::uint8_t port, std::int32_t baud, std::uint8_t net)
{
    if (std::optional<std::string> problem = goods_rules::CheckLine(port, baud, net)) {
        throw TCallError(std::move(*problem));
    }
}

}  // namespace

extern "C" {

ZARVIK12M_C_API int ZARVIK12M_CALL zarvik12m_load_goods(uint8_t port, int32_t baud, uint8_t net,
                                                        zarvik12m_goods_item* items, size_t capacity, uint16_t* count,
                                                        zarvik12m_error* error)
{
    if (count != nullptr) {
        *count = 0;
    }
    if (count == nullptr || (items == nullptr && capacity != 0)) {
        return Report(error, ZARVIK12M_ERROR_OTHER, "zarvik12m_load_goods: нулевой указатель");
    }
    return Guarded(error, [&] {
        CheckLineArguments(port, baud, net);
        TZarvik12m_Goods goods;
        std::uint16_t read = 0;
        // The driver's failure is raised again once the entries read before
        // it are in the caller's array.
        std::exception_ptr failure;
        try {
            LoadGoods(port, baud, net, goods, read);
        } catch (...) {
            failure = std::current_exception();
        }
        const std::size_t stored = items == nullptr ? 0 : std::min({std::size_t{read}, goods.size(), capacity});
        for (std::size_t k = 0; k < stored; ++k) {
            CopyItemOut(goods[k], items[k]);
        }
        *count = static_cast<std::uint16_t>(stored);
        if (failure) {
            std::rethrow_exception(failure);
        }
        if (stored < read) {
            throw TCallError("В таблице ККМ " + std::to_string(read) + " товаров, а места только для " +
                             std::to_string(capacity));
        }
    });
}

ZARVIK12M_C_API int ZARVIK12M_CALL zarvik12m_write_goods(uint8_t port, int32_t baud, uint8_t net,
                                                         const zarvik12m_goods_item* items, uint16_t count,
                                                         zarvik12m_error* error)
{
    if (items == nullptr && count != 0) {
        return Report(error, ZARVIK12M_ERROR_OTHER, "zarvik12m_write_goods: нулевой указатель");
    }
    return Guarded(error, [&] {
        CheckLineArguments(port, baud, net);
        const std::span<const zarvik12m_goods_item> table(items, items == nullptr ? 0 : count);
        const std::vector<goods_rules::TGoodsProblem> problems = goods_rules::CheckGoods(table);
        if (!problems.empty()) {
            throw TCallError(problems.front().Message);
        }
        TZarvik12m_Goods goods;
        goods.reserve(count);
        for (const zarvik12m_goods_item& item : table) {
            goods.push_back(ItemIn(item));
        }
        WriteGoods(port, baud, net, goods, count);
    });
}

ZARVIK12M_C_API int ZARVIK12M_CALL zarvik12m_clear_goods(uint8_t port, int32_t baud, uint8_t net,
                                                         zarvik12m_error* error)
{
    return Guarded(error, [&] {
        CheckLineArguments(port, baud, net);
        ClearGoods(port, baud, net);
    });
}

ZARVIK12M_C_API int ZARVIK12M_CALL zarvik12m_get_properties(uint8_t port, int32_t baud, uint8_t net,
                                                            zarvik12m_properties* properties, zarvik12m_error* error)
{
    if (properties == nullptr) {
        return Report(error, ZARVIK12M_ERROR_OTHER, "zarvik12m_get_properties: нулевой указатель");
    }
    return Guarded(error, [&] {
        // The driver fills in what it knows of itself before it asks the
        // register; the caller gets that part also after a failure.
        CheckLineArguments(port, baud, net);
        TZarvik12m_Properties found{};
        std::exception_ptr failure;
        try {
            GetProperties(port, baud, net, found);
        } catch (...) {
            failure = std::current_exception();
        }
        CopyText(properties->device_name, sizeof properties->device_name, Cp1251ToUtf8(found.DeviceName));
        CopyText(properties->serial_number, sizeof properties->serial_number, found.SerialNumber.View());
        properties->max_goods = found.MaxGoods;
        if (failure) {
            std::rethrow_exception(failure);
        }
    });
}

ZARVIK12M_C_API int32_t ZARVIK12M_CALL zarvik12m_progress_position(uint8_t port)
{
    return GetProgressPosition(port);
}

ZARVIK12M_C_API int32_t ZARVIK12M_CALL zarvik12m_progress_max(uint8_t port)
{
    return GetProgressMax(port);
}

ZARVIK12M_C_API void ZARVIK12M_CALL zarvik12m_progress_stop(uint8_t port)
{
    ProgressProcessStop(port);
}

ZARVIK12M_C_API const char* ZARVIK12M_CALL zarvik12m_version(void)
{
    return ZARVIK12M_C_VERSION;
}

}  // extern "C"
