#include "analysis/campaign/CampaignText.h"

#include <QLocale>

#include <cmath>

namespace corvina {

namespace {

const QLocale &textLocale()
{
    static const QLocale locale(QLocale::English, QLocale::UnitedStates);
    return locale;
}

} // namespace

QString moneyText(double amount)
{
    return textLocale().toString(amount, 'f', 2);
}

QString numberText(double value)
{
    const double rounded = std::round(value * 10) / 10;
    return textLocale().toString(rounded, 'f', rounded == std::floor(rounded) ? 0 : 1);
}

QString timesText(int days)
{
    return days == 1 ? QStringLiteral("1 day") : QStringLiteral("%1 days").arg(days);
}

} // namespace corvina
