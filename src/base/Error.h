#pragma once

#include <QString>

#include <cstdint>
#include <stdexcept>

namespace corvina {

// Error numbers the procedures recognise. They keep the values the QuickBooks SDK and the
// original database provider used, so messages and logs read the same as users know them.
namespace errc {
inline constexpr std::int32_t kTableLocked = -2147467259;   // 0x80004005: held by another program
inline constexpr std::int32_t kDatabaseFailure = -2147217900; // 0x80040E14: any other database error
inline constexpr std::int32_t kFileFailure = -2147024893;   // 0x80070003: a file could not be read/written
} // namespace errc

// The one error type of the core: a 32-bit error number, its description and the numbered
// step (0 when unknown) at which a procedure failed. Procedures catch it at their boundary.
class Error : public std::runtime_error {
public:
    Error(std::int32_t number, const QString &description, int line = 0);

    std::int32_t number() const noexcept { return m_number; }
    const QString &description() const noexcept { return m_description; }
    int line() const noexcept { return m_line; }

    // A copy of this error that names the step where it surfaced, unless it already names one.
    Error atLine(int line) const;

private:
    std::int32_t m_number;
    QString m_description;
    int m_line;
};

} // namespace corvina
