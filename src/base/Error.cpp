#include "base/Error.h"

namespace corvina {

Error::Error(std::int32_t number, const QString &description, int step)
    : std::runtime_error(description.toStdString()), m_number(number), m_description(description),
      m_step(step)
{
}

} // namespace corvina
