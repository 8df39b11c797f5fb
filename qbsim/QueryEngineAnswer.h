#pragma once

// What the query engine finds for one query before the response is written: its status and
// the records that match, and the iterator those records page through. Private to
// QueryEngine*.cpp.

#include "qbsim/CompanyFile.h"
#include "qbsim/QueryEngine.h"
#include "qbsim/QueryRequest.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace corvina::qbsim {

// An iterator's records: every match of the query that started it, handed out page by page.
struct QuerySession::Iterator {
    int kind;
    unsigned keep;
    std::vector<std::uint32_t> matches;
    std::size_t next = 0;
};

namespace engine {

// A response's statusCode, statusSeverity and statusMessage.
struct Status {
    int code = 0;
    QLatin1StringView severity;
    QString message;
};

const QLatin1StringView kInfo("Info");
const QLatin1StringView kError("Error");

struct Answer {
    const Query *query = nullptr;
    Status status;
    const std::vector<ListRecord> *list = nullptr;       // null for invoices
    const std::vector<DeletedRecord> *deleted = nullptr; // deletion queries
    unsigned keep = 0;                                   // invoice parts kept
    std::vector<std::uint32_t> matches;                  // record indices, file order
    bool unlimited = false;                              // MaxReturned sizes pages, not the match
    std::optional<QString> iteratorId;
    std::optional<qsizetype> iteratorRemaining;
    const QuerySession *host = nullptr; // for a HostQuery
};

// The answer to one query: matched records, or the status of what was wrong; starts,
// continues or stops the query's iterator in `session`.
Answer answer(const CompanyFile &company, QuerySession &session, const Query &query);

} // namespace engine

} // namespace corvina::qbsim
