#include "Ftd2xx.h"

#include "Ftd2xxFake.h"
#include "Ftd2xxReal.h"

std::unique_ptr<TFtd2xx> MakeFtd2xx(const QString& choice)
{
    if (choice.isEmpty() || choice == QLatin1String("libftdi"))
        return MakeRealFtd2xx();
    return std::make_unique<TFakeFtd2xx>(choice);
}

namespace {
TFtd2xx* installed = nullptr;

TFtd2xx& madeAtFirstUse()
{
    static const std::unique_ptr<TFtd2xx> table = MakeFtd2xx(QString::fromLocal8Bit(qgetenv("QUOREL_FTD2XX")));
    return *table;
}
} // namespace

TFtd2xx& Ftd2xx() { return installed ? *installed : madeAtFirstUse(); }

TFtd2xx* SetFtd2xx(TFtd2xx* table)
{
    TFtd2xx* previous = installed;
    installed = table;
    return previous;
}
