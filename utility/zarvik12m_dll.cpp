#include "utility/zarvik12m_dll.h"

#include <stdexcept>

#include "driver/common/cp1251.h"

namespace zarvik12m {

namespace {

// The export's address as its function type; false when it is missing.
template <class TFunction>
bool BindExport(TDynamicLibrary& library, const char* exportName, TFunction& function)
{
    function = reinterpret_cast<TFunction>(library.Bind(exportName));
    return function != nullptr;
}

}  // namespace

TZarvik12mDll::TZarvik12mDll(const std::string& fileName) : FHandle(fileName)
{
    if (!FHandle.Loaded()) {
        throw std::runtime_error(std::string("Не могу загрузить "_cp1251) + fileName);
    }
    // Any failure while binding is told as the one message; the library is
    // unloaded with the half-built object.
    bool bound = false;
    try {
        bound = BindExport(FHandle, GetProgressPositionExportName, FGetProgressPosition) &&
                BindExport(FHandle, GetProgressMaxExportName, FGetProgressMax) &&
                BindExport(FHandle, ProgressProcessStopExportName, FProgressProcessStop) &&
                BindExport(FHandle, GetPropertiesExportName, FGetProperties) &&
                BindExport(FHandle, LoadGoodsExportName, FLoadGoods) &&
                BindExport(FHandle, WriteGoodsExportName, FWriteGoods) &&
                BindExport(FHandle, ClearGoodsExportName, FClearGoods);
    } catch (...) {
        bound = false;
    }
    if (!bound) {
        throw std::runtime_error(std::string("Ошибка загрузки "_cp1251) + fileName);
    }
}

}  // namespace zarvik12m
