#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/register_on_port.h"
#include "tests/support/temp_directory.h"
#include "tests/utility/support/utility_process.h"
#include "tools/emulator/emulator.h"
#include "tools/emulator/goods_record.h"
#include "tools/emulator/wire.h"

// What the end-to-end tests of Zarvik12mPLU share: the built utility run in
// a scratch folder against an emulated register on COM port 1.

namespace zarvik12m::testing {

// The last line of every run that succeeded.
inline const std::string UtilitySuccess = "\nКоманда выполнена успешно\n";

// The table as the driver reads it: a few Windows-1251 signs (№, say) have
// no place in the register's character set and come back as another.
inline emulator::TGoodsTable AsDelivered(emulator::TGoodsTable table)
{
    for (auto& [number, record] : table) {
        emulator::TBytes field;
        emulator::PutDosField(field, record.Name, emulator::NameWidth);
        record.Name = emulator::GetDosField(field.data(), emulator::NameWidth);
    }
    return table;
}

class UtilityOnRegister : public ::testing::Test {
protected:
    // The utility run in the scratch folder.
    TProcessResult Run(std::vector<std::string> arguments) const
    {
        return RunUtility(UtilityOptions(std::move(arguments), FDirectory.Path()));
    }

    [[nodiscard]] std::filesystem::path Path(const std::string& name) const { return FDirectory.Path() / name; }

    TTempDirectory FDirectory;
    TRegisterOnPort FRegister{1};
    emulator::TEmulator& FEmulator = FRegister.Emulator;
};

}  // namespace zarvik12m::testing
