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
#include <string>
#include <string_view>

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

using zarvik12m::Cp1251ByteOf;
using zarvik12m::Cp1251UpperHalf;
using zarvik12m::DecodeUtf8;

// A failure of a C call that is not the driver's own: a bad argument, or a
// name that the register cannot hold. Its text is UTF-8 already.
class TCallError {
public:
    explicit TCallError(std::string message) : FMessage(std::move(message)) {}
    [[nodiscard]] const std::string& Message() const noexcept { return FMessage; }

private:
    std::string FMessage;
};

void AppendUtf8(std::string& out, char32_t codePoint)
{
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0U | (codePoint >> 6U)));
        out.push_back(static_cast<char>(0x80U | (codePoint & 0x3FU)));
    } else {
        out.push_back(static_cast<char>(0xE0U | (codePoint >> 12U)));
        out.push_back(static_cast<char>(0x80U | ((codePoint >> 6U) & 0x3FU)));
        out.push_back(static_cast<char>(0x80U | (codePoint & 0x3FU)));
    }
}

// Windows-1251 to UTF-8; byte 0x98, which has no character, becomes U+FFFD.
std::string ToUtf8(std::string_view cp1251)
{
    std::string out;
    out.reserve(cp1251.size() * 2);
    for (const char c : cp1251) {
        const auto byte = static_cast<unsigned char>(c);
        AppendUtf8(out, byte < 0x80 ? char32_t{byte} : Cp1251UpperHalf[byte - 0x80U]);
    }
    return out;
}

// UTF-8 to Windows-1251, nothing when a character has no Windows-1251 form
// or the bytes are not well-formed UTF-8.
std::optional<std::string> ToCp1251(std::string_view utf8)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const zarvik12m::TUtf8Sequence sequence = DecodeUtf8(utf8, i);
        const int byte = sequence.Length == 0 ? -1 : Cp1251ByteOf(sequence.CodePoint);
        if (byte < 0) {
            return std::nullopt;
        }
        out.push_back(static_cast<char>(byte));
        i += sequence.Length;
    }
    return out;
}

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

// The text of a NUL-terminated field, or nothing when the field has no NUL.
std::optional<std::string_view> FieldText(const char* field, std::size_t size)
{
    const void* end = std::memchr(field, 0, size);
    if (end == nullptr) {
        return std::nullopt;
    }
    return std::string_view(field, static_cast<std::size_t>(static_cast<const char*>(end) - field));
}

// "Товар 3: <what>", the entry counted from 1 as the caller's index + 1.
std::string ItemMessage(std::size_t index, std::string_view what)
{
    return "Товар " + std::to_string(index + 1) + ": " + std::string(what);
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
            return Report(error, failure.ErrorCode(), ToUtf8(failure.what()));
        } catch (...) {
            return Report(error, failure.ErrorCode(), "");
        }
    } catch (const TCallError& failure) {
        return Report(error, ZARVIK12M_ERROR_OTHER, failure.Message());
    } catch (const std::bad_alloc&) {
        return Report(error, ZARVIK12M_ERROR_OTHER, "Недостаточно памяти");
    } catch (const std::exception& failure) {
        try {
            return Report(error, ZARVIK12M_ERROR_OTHER, ToUtf8(failure.what()));
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
    CopyText(to.name, sizeof to.name, ToUtf8(from.Name.View()));
    to.group = from.Group;
    to.quantity = from.Quantity;
}

TZarvik12m_GoodsItem ItemIn(const zarvik12m_goods_item& from, std::size_t index)
{
    TZarvik12m_GoodsItem to{};
    to.Code = from.code;
    const std::optional<std::string_view> barcode = FieldText(from.barcode, sizeof from.barcode);
    if (!barcode) {
        throw TCallError(ItemMessage(index, "штрихкод без завершающего нуля"));
    }
    to.Barcode.Assign(*barcode);
    to.Price = from.price;
    const std::optional<std::string_view> name = FieldText(from.name, sizeof from.name);
    const std::optional<std::string> cp1251 = name ? ToCp1251(*name) : std::nullopt;
    if (!cp1251) {
        throw TCallError(ItemMessage(index, "в названии символ, которого нет в Windows-1251"));
    }
    if (cp1251->size() > decltype(to.Name)::MaxLength) {
        throw TCallError(ItemMessage(index, "название длиннее 16 символов"));
    }
    to.Name.Assign(*cp1251);
    to.Group = from.group;
    to.Quantity = from.quantity;
    return to;
}

}  // namespace

extern "C" {

ZARVIK12M_C_API int ZARVIK12M_CALL zarvik12m_load_goods(uint8_t port, int32_t baud, uint8_t net,
                                                        zarvik12m_goods_item* items, size_t capacity, uint16_t* count,
                                                        zarvik12m_error* error)
{
    if (count == nullptr || (items == nullptr && capacity != 0)) {
        return Report(error, ZARVIK12M_ERROR_OTHER, "zarvik12m_load_goods: нулевой указатель");
    }
    *count = 0;
    return Guarded(error, [&] {
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
        TZarvik12m_Goods goods;
        goods.reserve(count);
        for (std::size_t k = 0; k < count; ++k) {
            goods.push_back(ItemIn(items[k], k));
        }
        WriteGoods(port, baud, net, goods, count);
    });
}

ZARVIK12M_C_API int ZARVIK12M_CALL zarvik12m_clear_goods(uint8_t port, int32_t baud, uint8_t net,
                                                         zarvik12m_error* error)
{
    return Guarded(error, [&] { ClearGoods(port, baud, net); });
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
        TZarvik12m_Properties found{};
        std::exception_ptr failure;
        try {
            GetProperties(port, baud, net, found);
        } catch (...) {
            failure = std::current_exception();
        }
        CopyText(properties->device_name, sizeof properties->device_name, ToUtf8(found.DeviceName));
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
