#include "driver/common/error_text.h"

#include <algorithm>
#include <array>
#include <utility>

#include "driver/common/cp1251.h"

namespace zarvik12m {

namespace {

struct TErrorTextEntry {
    std::int16_t Code;
    std::string_view Text;
};

constexpr std::array ErrorTable = {
    TErrorTextEntry{0, "Команда выполнена успешно"_cp1251},
    TErrorTextEntry{1, "Ошибка ККМ: Не хватает наличных при оплате чека"_cp1251},
    TErrorTextEntry{2, "Ошибка ККМ: Не хватает наличных в кассе при выполнении возврата и изъятия"_cp1251},
    TErrorTextEntry{3, "Ошибка ККМ: Нет соответствия ставкам ККМ"_cp1251},
    TErrorTextEntry{4, "Ошибка ККМ: Переполнение буфера покупок"_cp1251},
    TErrorTextEntry{5, "Ошибка ККМ: Нет продаж"_cp1251},
    TErrorTextEntry{6, "Ошибка ККМ: Ошибка 24 часа, переполнение записей в КЛ"_cp1251},
    TErrorTextEntry{7, "Ошибка ККМ: Нет товара с таким кодом"_cp1251},
    TErrorTextEntry{8, "Ошибка ККМ: Код товара превысил максимально возможный"_cp1251},
    TErrorTextEntry{9, "Ошибка ККМ: Есть продажи по данному товару"_cp1251},
    TErrorTextEntry{10,
                    "Ошибка ККМ: Не верно задан адрес или количество байт при записи или чтении массива "
                    "программируемых параметров"_cp1251},
    TErrorTextEntry{11, "Ошибка ККМ: Операция запрещена при открытой смене"_cp1251},
    TErrorTextEntry{12, "Ошибка ККМ: Переполнение суммы продажи"_cp1251},
    TErrorTextEntry{13, "Ошибка ККМ: Неверный формат данных"_cp1251},
    TErrorTextEntry{14, "Ошибка ККМ: Нет бумаги"_cp1251},
    TErrorTextEntry{15, "Ошибка ККМ: ККМ необходимо перевести в режим \"КАССА\""_cp1251},
    TErrorTextEntry{16, "Ошибка ККМ: Несуществующий номер продажи"_cp1251},
    TErrorTextEntry{17, "Ошибка ККМ: Неизвестная ошибка"_cp1251},
    TErrorTextEntry{-100, "[COM%d] Ошибка записи в порт: Передано %d из %d байт"_cp1251},
    TErrorTextEntry{-101, "[COM%d] Ошибка записи в порт: Не могу передать в порт"_cp1251},
    TErrorTextEntry{-102,
                    "[COM%d] Ошибка записи в порт: Неправильно установлен размер блока для записи - %d из %d "
                    "максимально байт"_cp1251},
    TErrorTextEntry{-103, "[COM%d] Ошибка чтения из порта: Принято %d из %d байт"_cp1251},
    TErrorTextEntry{-104, "[COM%d] Ошибка чтения из порта: Не могу принять из порта"_cp1251},
    TErrorTextEntry{-105,
                    "[COM%d] Ошибка чтения из порта: Неправильно установлен размер блока для чтения - %d из %d "
                    "максимально байт"_cp1251},
    TErrorTextEntry{-106, "[COM%d] Ошибка открытия порта: Не могу установить маску событий"_cp1251},
    TErrorTextEntry{-107, "[COM%d] Ошибка открытия порта: Не могу установить таймауты"_cp1251},
    TErrorTextEntry{-108, "[COM%d] Ошибка открытия порта: Не могу установить параметры"_cp1251},
    TErrorTextEntry{-109, "[COM%d] Ошибка открытия порта: Не могу установить размер очередей"_cp1251},
    TErrorTextEntry{-110, "[COM%d] Ошибка открытия порта: Не могу открыть порт \"%s\""_cp1251},
    TErrorTextEntry{-111, "[COM%d] Ошибка очистки порта: Не могу очитить порт"_cp1251},
    TErrorTextEntry{-112,
                    "[COM%d] Ошибка обработки входной очереди: Не могу встать в очередь - необходимо %d из %d "
                    "свободных байт"_cp1251},
    TErrorTextEntry{-113,
                    "[COM%d] Ошибка обработки входной очереди: Не могу скопировать из очереди - запрашивается "
                    "%d из %d максимально байт"_cp1251},
    TErrorTextEntry{-114,
                    "[COM%d] Ошибка обработки входной очереди: Не могу скопировать из очереди - имеется %d из "
                    "%d запрашиваемых байт"_cp1251},
    TErrorTextEntry{-115,
                    "[COM%d] Ошибка обработки входной очереди: Не могу удалить из очереди - запрашивается %d "
                    "из %d максимально байт"_cp1251},
    TErrorTextEntry{-116,
                    "[COM%d] Ошибка обработки входной очереди: Не могу удалить из очереди - имеется %d из %d "
                    "запрашиваемых байт"_cp1251},
    TErrorTextEntry{-117, "[COM%d] Ошибка обработки входного потока: Не могу создать событие чтения"_cp1251},
    TErrorTextEntry{-118, "[COM%d] Ошибка обработки входного потока: Не могу ожидать событие чтения"_cp1251},
    TErrorTextEntry{-119, "[COM%d] Ошибка обработки входного потока: Не могу узнать статус потока"_cp1251},
    TErrorTextEntry{-120, "[COM%d] Ошибка обработки выходного потока: Не могу создать событие записи"_cp1251},
    TErrorTextEntry{-200, "[COM%d NetNum%d] Ошибка кодирования команды: Команды с номером %d не существует"_cp1251},
    TErrorTextEntry{-201, "[COM%d NetNum%d] Ошибка кодирования команды: Некоректный размер данных команды"_cp1251},
    TErrorTextEntry{-202, "[COM%d NetNum%d] Команда не выполнилась"_cp1251},
    TErrorTextEntry{-300, "Операция была прервана пользователем"_cp1251},
};

}  // namespace

std::optional<std::string_view> ErrorText(std::int16_t code)
{
    const auto* const entry =
        std::find_if(ErrorTable.begin(), ErrorTable.end(), [code](const TErrorTextEntry& e) { return e.Code == code; });
    if (entry == ErrorTable.end()) {
        return std::nullopt;
    }
    return entry->Text;
}

}  // namespace zarvik12m
