#include "reporting/Format.h"

namespace corvina::reporting {

QString formatValue(const QVariant &value, const QString &format)
{
    (void)format;
    return value.isNull() ? QString() : value.toString();
}

} // namespace corvina::reporting
