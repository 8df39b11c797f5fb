#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>

// The frame protocol between the request library and the QuickBooks stand-in `qbsim`, over a
// Unix-domain stream socket.
//
// Every message is one frame: a 4-byte big-endian payload length, then the payload.
// A request payload is an operation byte followed by that operation's arguments; a reply
// payload is a status byte: 0 then one string (the result, empty when the call returns
// nothing), or 1 then a signed 32-bit error number and the error's description.
// Strings are a 4-byte big-endian byte count followed by UTF-8; integers are 4-byte
// big-endian two's complement.
//
//   op 1 OpenConnection     appId, appName          -> ""
//   op 2 BeginSession       path, openMode (int)    -> ""
//   op 3 CurrentCompanyFile                         -> full path of the open company file
//   op 4 ProcessRequest     qbXML request text      -> qbXML response text
//   op 5 EndSession                                 -> ""
//   op 6 CloseConnection                            -> ""
//
// A frame longer than the receiver's bound is refused: the server answers it with an error
// reply and closes the connection, since it cannot find the next frame without reading
// the whole oversized one.
namespace corvina::qb::wire {

enum class Op : std::uint8_t {
    OpenConnection = 1,
    BeginSession = 2,
    CurrentCompanyFile = 3,
    ProcessRequest = 4,
    EndSession = 5,
    CloseConnection = 6,
};

// Bounds: requests are small qbXML queries; replies can carry a whole company's invoices.
inline constexpr std::uint32_t kMaxRequestFrame = 16u * 1024 * 1024;
inline constexpr std::uint32_t kMaxReplyFrame = 1024u * 1024 * 1024 - 1;
inline constexpr int kHeaderSize = 4;

// Appends fields to a payload and wraps it in a frame.
class PayloadWriter {
public:
    PayloadWriter &u8(std::uint8_t value);
    PayloadWriter &i32(std::int32_t value);
    PayloadWriter &str(QByteArrayView utf8);
    PayloadWriter &str(const QString &text) { return str(QByteArrayView(text.toUtf8())); }

    const QByteArray &payload() const noexcept { return m_payload; }
    // The payload with its length header in front.
    QByteArray frame() const;

private:
    QByteArray m_payload;
};

// Reads fields from a payload; every read fails (returns nothing) past the payload's end,
// and a string whose length runs past the end is refused rather than truncated.
class PayloadReader {
public:
    explicit PayloadReader(QByteArrayView payload) : m_payload(payload) {}

    std::optional<std::uint8_t> u8();
    std::optional<std::int32_t> i32();
    std::optional<QByteArray> bytes();
    std::optional<QString> str();
    bool atEnd() const noexcept { return m_pos == m_payload.size(); }

private:
    QByteArrayView m_payload;
    qsizetype m_pos = 0;
};

// The length stated by a frame header (the first four bytes of `header`).
std::uint32_t frameLength(QByteArrayView header);

// Incremental frame splitter for a non-blocking reader: feed it bytes as they arrive and
// take whole payloads out.
class FrameBuffer {
public:
    enum class Status { Incomplete, Ready, TooLarge };

    explicit FrameBuffer(std::uint32_t maxFrame) : m_maxFrame(maxFrame) {}

    void append(QByteArrayView bytes) { m_buffer.append(bytes); }
    // Ready: `payload` holds the next frame's payload, removed from the buffer.
    // TooLarge: the next frame states a length above the bound; nothing is removed.
    Status take(QByteArray &payload);
    qsizetype buffered() const noexcept { return m_buffer.size(); }
    // The payload length the next frame's header states, once the header has arrived.
    std::optional<std::uint32_t> nextLength() const
    {
        if (m_buffer.size() < kHeaderSize)
            return std::nullopt;
        return frameLength(m_buffer);
    }

private:
    std::uint32_t m_maxFrame;
    QByteArray m_buffer;
};

// Reply payloads.
QByteArray okReply(QByteArrayView result);
QByteArray errorReply(std::int32_t number, const QString &description);

// The socket both sides use unless told otherwise: "corvina-qbsim.sock" in $XDG_RUNTIME_DIR,
// or, without one, in /tmp/corvina-qbsim-<uid>/. The fallback folder is created with mode
// 0700 when missing; `error` (if given) receives why no path could be settled on, e.g. a
// fallback folder owned by another user.
QString defaultSocketPath(QString *error = nullptr);

} // namespace corvina::qb::wire
