#include "views/InvoiceFormat.h"

#include <QLocale>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>

namespace corvina {

namespace {

constexpr int kSignificantDigits = 15;

// |value| × 10^decimals rounded to a whole number, halves away from zero, judged on the
// value's first 15 significant digits so that 2.675 counts as the decimal it was typed as.
// Nothing when the result would not fit.
std::optional<std::int64_t> scaledMagnitude(double value, int decimals)
{
    if (!std::isfinite(value))
        return std::nullopt;
    if (value == 0.0)
        return 0;
    char text[40];
    std::snprintf(text, sizeof text, "%.*e", kSignificantDigits - 1, std::fabs(value));
    // text: d.dddddddddddddde±x…
    std::int64_t digits = 0;
    int kept = 0;
    const int exponent = std::atoi(text + kSignificantDigits + 2);
    const int keep = kSignificantDigits + exponent - (kSignificantDigits - 1) + decimals;
    if (keep > 18)
        return std::nullopt;
    const char *p = text;
    int nextDigit = 0;
    for (int i = 0; i < kSignificantDigits; ++p) {
        if (*p == '.')
            continue;
        const int digit = *p - '0';
        if (i < keep) {
            digits = digits * 10 + digit;
            ++kept;
        } else if (i == keep) {
            nextDigit = digit;
        }
        ++i;
    }
    for (; kept < keep; ++kept)
        digits *= 10;
    if (nextDigit >= 5)
        ++digits;
    return digits;
}

std::optional<std::int64_t> scaled(double value, int decimals)
{
    const auto magnitude = scaledMagnitude(value, decimals);
    if (!magnitude)
        return std::nullopt;
    return value < 0 ? -*magnitude : *magnitude;
}

QLocale groupingLocale()
{
    QLocale locale;
    locale.setNumberOptions(QLocale::DefaultNumberOptions);
    return locale;
}

// A whole number of hundredths with grouped thousands and two decimals.
QString hundredthsText(std::int64_t hundredths)
{
    const QLocale locale = groupingLocale();
    const std::uint64_t magnitude = hundredths < 0 ? 0 - static_cast<std::uint64_t>(hundredths)
                                                   : static_cast<std::uint64_t>(hundredths);
    QString fraction = locale.toString(static_cast<qulonglong>(magnitude % 100));
    if (magnitude % 100 < 10)
        fraction.prepend(locale.zeroDigit());
    QString text = locale.toString(static_cast<qulonglong>(magnitude / 100)) +
                   locale.decimalPoint() + fraction;
    if (hundredths < 0)
        text.prepend(locale.negativeSign());
    return text;
}

} // namespace

CurrencyUnits toCurrency(double value)
{
    if (const auto units = scaled(value, 4))
        return *units;
    if (std::isnan(value))
        return 0;
    return value < 0 ? std::numeric_limits<CurrencyUnits>::min()
                     : std::numeric_limits<CurrencyUnits>::max();
}

QString currencyText(CurrencyUnits amount)
{
    const std::uint64_t magnitude =
        amount < 0 ? 0 - static_cast<std::uint64_t>(amount) : static_cast<std::uint64_t>(amount);
    const auto hundredths = static_cast<std::int64_t>((magnitude + 50) / 100);
    return hundredthsText(amount < 0 ? -hundredths : hundredths);
}

QString standardNumberText(double value)
{
    if (const auto hundredths = scaled(value, 2))
        return hundredthsText(*hundredths);
    return groupingLocale().toString(value, 'f', 2);
}

QString generalNumberText(double value)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', kSignificantDigits);
}

} // namespace corvina
