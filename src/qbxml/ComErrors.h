#pragma once

#include <QString>

#include <cstdint>

// The request library's failure numbers (32-bit HRESULTs, signed) and their descriptions.
// Numbers in the 0x800404xx range and their texts are those of QuickBooks' request processor,
// so that messages read as users of QuickBooks know them; the others are the system's
// generic numbers for what this program's transport adds (a lost connection, bad data).
namespace corvina::qb::hr {

inline constexpr std::int32_t kXmlParse = -2147220480;            // 0x80040400
inline constexpr std::int32_t kCouldNotAccess = -2147220479;      // 0x80040401
inline constexpr std::int32_t kCouldNotStart = -2147220472;       // 0x80040408
inline constexpr std::int32_t kOtherFileOpen = -2147220470;       // 0x8004040A
inline constexpr std::int32_t kRollbackUnsupported = -2147220461; // 0x80040413
inline constexpr std::int32_t kNeedFileName = -2147220458;        // 0x80040416
inline constexpr std::int32_t kNoAutoLogin = -2147220451;         // 0x8004041D
inline constexpr std::int32_t kVersionUnsupported = -2147220445;  // 0x80040423
inline constexpr std::int32_t kUnexpected = -2147418113;          // 0x8000FFFF: calls out of order
inline constexpr std::int32_t kAborted = -2147467260; // 0x80004004: the user stopped waiting
inline constexpr std::int32_t kInvalidArgument = -2147024809; // 0x80070057
inline constexpr std::int32_t kInvalidData = -2147024883;     // 0x8007000D: unreadable answer

// The request processor's own text for a number above; an empty text for other numbers.
QString description(std::int32_t number);

} // namespace corvina::qb::hr
