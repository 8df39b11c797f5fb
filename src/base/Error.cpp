#include "base/Error.h"

namespace corvina {

Error::Error(std::int32_t number, const QString &description, int line)
    : std::runtime_error(description.toStdString()), m_number(number), m_description(description),
      m_line(line)
{
}

Error Error::atLine(int line) const
{
    return Error(m_number, m_description, m_line != 0 ? m_line : line);
}

} // namespace corvina
