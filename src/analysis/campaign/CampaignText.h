#pragma once

#include <QString>

namespace corvina {

// How the campaign lists write numbers into their titles and reasons, the same whatever the
// desktop's language: reasons are saved for letters.

// "1,234.50"
QString moneyText(double amount);
// Whole numbers without decimals, others with one: "30", "22.5".
QString numberText(double value);
// "1 day", "4 days": how many distinct days a customer bought on.
QString timesText(int days);

} // namespace corvina
