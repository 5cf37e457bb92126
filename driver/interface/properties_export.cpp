// The properties export of libzarvik12m.so.

#include "driver/common/cp1251.h"
#include "driver/interface/export_session.h"
#include "zarvik12m/exports.h"

using namespace zarvik12m;

void GetProperties(std::uint8_t port, std::int32_t baudRate, std::uint8_t netNumber, TZarvik12m_Properties& properties)
{
    BeginProgress(port, 1);
    TExportSession session(port, netNumber);
    session.Start(baudRate);
    // What the driver knows of itself is filled in first: a caller still
    // has it when the register does not answer.
    properties.DeviceName = "Зарвик-12М"_cp1251;
    properties.MaxGoods = MaxGoodsCount;
    const TAnswer answer = session.Execute(SerialNumberCommand);
    properties.SerialNumber = session.Expect<TRX_SERIAL_NUMBER_DataIn>(answer).SerialNumber;
}
