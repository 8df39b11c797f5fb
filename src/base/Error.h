#pragma once

#include <QString>

#include <cstdint>
#include <stdexcept>

namespace corvina {

// Error numbers the procedures recognise. They keep the values the QuickBooks SDK and the
// original database provider used, so messages and logs read the same as users know them.
namespace errc {
inline constexpr std::int32_t kTableLocked = -2147467259; // 0x80004005: held by another program
inline constexpr std::int32_t kDatabaseFailure =
    -2147217900; // 0x80040E14: any other database error
inline constexpr std::int32_t kFileFailure =
    -2147024893; // 0x80070003: a file could not be read/written
} // namespace errc

// The one error type of the core: a 32-bit error number, its description and the numbered
// step (0 when unknown) at which a procedure failed. Procedures catch it at their boundary.
class Error : public std::runtime_error {
public:
    Error(std::int32_t number, const QString &description, int step = 0);

    std::int32_t number() const noexcept { return m_number; }
    const QString &description() const noexcept { return m_description; }
    int step() const noexcept { return m_step; }

private:
    std::int32_t m_number;
    QString m_description;
    int m_step;
};

// The numbered step a procedure has reached, which its error report names when it fails.
// The procedure moves it on as it goes (`step.reach(30)`) and hands it by reference to the
// helpers that run some of its steps; its error boundary reads `number()`.
class ProcedureStep {
public:
    explicit ProcedureStep(int first) noexcept : m_number(first) {}

    void reach(int number) noexcept { m_number = number; }
    int number() const noexcept { return m_number; }

private:
    int m_number;
};

} // namespace corvina
