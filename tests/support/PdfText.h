#pragma once

#include <QString>

namespace corvina::test {

// The text of a PDF as `pdftotext -layout` lays it out (poppler-utils); pages end with a
// form feed. A missing tool fails the test and gives an empty text.
QString pdfText(const QString &pdf);

} // namespace corvina::test
