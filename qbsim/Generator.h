#pragma once

#include <QDate>

#include <cstdint>

class QIODevice;

namespace corvina::qbsim {

struct GeneratorOptions {
    int customers = 40; // top-level customers; jobs come on top of these
    int invoices = 300;
    std::uint64_t seed = 1;
    QDate lastDate = QDate(2026, 11, 30); // invoice dates run over several years up to this day
};

// Writes a company file for the stand-in to `out`: a qbXML response document holding the
// customers (with jobs), invoices with line items, items of every kind and sales reps.
// The same options always give the same bytes. Returns false when writing to `out` failed, and
// false without writing anything when the options cannot be met: negative counts, invoices
// without any customer to bill, or no last date.
bool generateCompany(const GeneratorOptions &options, QIODevice &out);

} // namespace corvina::qbsim
