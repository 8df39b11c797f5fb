#pragma once

#include <QString>

#include <cstdint>

namespace corvina {

// Texts of the invoice browser's numbers, in the default QLocale, with its separators.

// A currency amount in ten-thousandths, as the totals hold it.
using CurrencyUnits = std::int64_t;
inline constexpr CurrencyUnits kCurrencyScale = 10000;

// A double rounded to the nearest ten-thousandth, halves away from zero.
CurrencyUnits toCurrency(double value);

// "#,##0.00": thousands separators, two decimals, halves away from zero; no minus on zero.
QString currencyText(CurrencyUnits amount);

// The grid's "Standard" number format: thousands separators and two decimals.
QString standardNumberText(double value);

// A number as the grid shows it without a format: up to 15 significant digits, no
// thousands separators.
QString generalNumberText(double value);

} // namespace corvina
