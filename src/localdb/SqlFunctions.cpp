#include "localdb/SqlFunctions.h"

#include "localdb/TextRule.h"

#include <QChar>
#include <QList>
#include <QString>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace corvina {

namespace {

// ---- Last(value, order) ----------------------------------------------------------------

struct LastState {
    sqlite3_value *value;
    sqlite3_value *order;
};

int storageRank(int type)
{
    switch (type) {
    case SQLITE_NULL: return 0;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: return 1;
    case SQLITE_TEXT: return 2;
    default: return 3;
    }
}

template <typename T> int threeWay(T a, T b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

// SQLite's own ordering of values: NULL < numbers < text (binary) < blobs.
int compareValues(sqlite3_value *a, sqlite3_value *b)
{
    const int typeA = sqlite3_value_type(a);
    const int typeB = sqlite3_value_type(b);
    const int rankA = storageRank(typeA);
    const int rankB = storageRank(typeB);
    if (rankA != rankB)
        return threeWay(rankA, rankB);
    switch (rankA) {
    case 0: return 0;
    case 1:
        if (typeA == SQLITE_INTEGER && typeB == SQLITE_INTEGER)
            return threeWay(sqlite3_value_int64(a), sqlite3_value_int64(b));
        return threeWay(sqlite3_value_double(a), sqlite3_value_double(b));
    default: {
        const void *bytesA =
            rankA == 2 ? static_cast<const void *>(sqlite3_value_text(a)) : sqlite3_value_blob(a);
        const void *bytesB =
            rankA == 2 ? static_cast<const void *>(sqlite3_value_text(b)) : sqlite3_value_blob(b);
        const int lengthA = sqlite3_value_bytes(a);
        const int lengthB = sqlite3_value_bytes(b);
        const int common = std::min(lengthA, lengthB);
        const int cmp = common > 0 ? std::memcmp(bytesA, bytesB, static_cast<size_t>(common)) : 0;
        return cmp != 0 ? threeWay(cmp, 0) : threeWay(lengthA, lengthB);
    }
    }
}

void lastStep(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    auto *state = static_cast<LastState *>(sqlite3_aggregate_context(ctx, sizeof(LastState)));
    if (state == nullptr) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    // ">=": on equal orders the row read later wins.
    if (state->order != nullptr && compareValues(argv[1], state->order) < 0)
        return;
    sqlite3_value *value = sqlite3_value_dup(argv[0]);
    sqlite3_value *order = sqlite3_value_dup(argv[1]);
    if (value == nullptr || order == nullptr) {
        sqlite3_value_free(value);
        sqlite3_value_free(order);
        sqlite3_result_error_nomem(ctx);
        return;
    }
    sqlite3_value_free(state->value);
    sqlite3_value_free(state->order);
    state->value = value;
    state->order = order;
}

void lastFinal(sqlite3_context *ctx)
{
    auto *state = static_cast<LastState *>(sqlite3_aggregate_context(ctx, 0));
    if (state == nullptr || state->value == nullptr) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_value(ctx, state->value);
    sqlite3_value_free(state->value);
    sqlite3_value_free(state->order);
    state->value = nullptr;
    state->order = nullptr;
}

// ---- like(pattern, text [, escape]) -----------------------------------------------------

struct LikeToken {
    enum Kind { Literal, AnyOne, AnyRun } kind;
    char32_t ch; // case-folded, for Literal
};

QString valueText(sqlite3_value *value)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
    return QString::fromUtf8(text, sqlite3_value_bytes(value));
}

// False when the pattern ends in a lone escape character, which matches nothing.
bool parseLikePattern(const QString &pattern, bool hasEscape, char32_t escape,
                      std::vector<LikeToken> *tokens)
{
    const QList<uint> points = pattern.toUcs4();
    for (qsizetype i = 0; i < points.size(); ++i) {
        const auto c = static_cast<char32_t>(points[i]);
        if (hasEscape && c == escape) {
            if (++i == points.size())
                return false;
            tokens->push_back(
                {LikeToken::Literal, QChar::toCaseFolded(static_cast<char32_t>(points[i]))});
        } else if (c == U'%') {
            if (tokens->empty() || tokens->back().kind != LikeToken::AnyRun)
                tokens->push_back({LikeToken::AnyRun, 0});
        } else if (c == U'_') {
            tokens->push_back({LikeToken::AnyOne, 0});
        } else {
            tokens->push_back({LikeToken::Literal, QChar::toCaseFolded(c)});
        }
    }
    return true;
}

// Wildcard match with backtracking to the last run wildcard; linear in practice.
bool likeMatches(const std::vector<LikeToken> &tokens, const QString &text)
{
    const QList<uint> points = text.toUcs4();
    const size_t n = static_cast<size_t>(points.size());
    const size_t m = tokens.size();
    constexpr size_t kNone = std::numeric_limits<size_t>::max();
    size_t t = 0;
    size_t p = 0;
    size_t runToken = kNone;
    size_t runText = 0;
    while (t < n) {
        const char32_t c =
            QChar::toCaseFolded(static_cast<char32_t>(points[static_cast<qsizetype>(t)]));
        if (p < m && (tokens[p].kind == LikeToken::AnyOne ||
                      (tokens[p].kind == LikeToken::Literal && tokens[p].ch == c))) {
            ++t;
            ++p;
        } else if (p < m && tokens[p].kind == LikeToken::AnyRun) {
            runToken = p++;
            runText = t;
        } else if (runToken != kNone) {
            p = runToken + 1;
            t = ++runText;
        } else {
            return false;
        }
    }
    while (p < m && tokens[p].kind == LikeToken::AnyRun)
        ++p;
    return p == m;
}

void likeFunction(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
            sqlite3_result_null(ctx);
            return;
        }
    }
    char32_t escape = 0;
    if (argc == 3) {
        const QList<uint> points = valueText(argv[2]).toUcs4();
        if (points.size() != 1) {
            sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
            return;
        }
        escape = static_cast<char32_t>(points.front());
    }
    std::vector<LikeToken> tokens;
    const bool valid = parseLikePattern(valueText(argv[0]), argc == 3, escape, &tokens);
    sqlite3_result_int(ctx, valid && likeMatches(tokens, valueText(argv[1])) ? 1 : 0);
}

int nocaseCollation(void *, int lengthA, const void *a, int lengthB, const void *b)
{
    return compareWithoutCase(QByteArrayView(static_cast<const char *>(a), lengthA),
                              QByteArrayView(static_cast<const char *>(b), lengthB));
}

} // namespace

int registerSqlFunctions(sqlite3 *db)
{
    constexpr int kFlags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    int rc = sqlite3_create_function_v2(db, "Last", 2, SQLITE_UTF8, nullptr, nullptr, lastStep,
                                        lastFinal, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function_v2(db, "like", 2, kFlags, nullptr, likeFunction, nullptr,
                                        nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function_v2(db, "like", 3, kFlags, nullptr, likeFunction, nullptr,
                                        nullptr, nullptr);
    // Replaces SQLite's ASCII-only NOCASE for every column declared with it.
    if (rc == SQLITE_OK)
        rc = sqlite3_create_collation_v2(db, "NOCASE", SQLITE_UTF8, nullptr, nocaseCollation,
                                         nullptr);
    return rc;
}

} // namespace corvina
