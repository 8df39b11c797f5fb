#pragma once

#include "localdb/Database.h"
#include "localdb/TextRule.h"

#include <QHash>
#include <QString>

#include <string>
#include <string_view>
#include <vector>

// The hash structures the Item Analyzer groups a million invoice lines with.
namespace corvina::itemaging {

// Gives equal ids to texts that compare equal without case, as the columns do; the exact
// texts are cached so each distinct spelling is folded once.
class CaseKeyIds {
public:
    int idOf(const QString &text)
    {
        const auto exact = m_exact.constFind(text);
        if (exact != m_exact.constEnd())
            return *exact;
        const QString key = caseKey(text);
        int id = m_folded.value(key, -1);
        if (id < 0) {
            id = static_cast<int>(m_folded.size());
            m_folded.insert(key, id);
        }
        m_exact.insert(text, id);
        return id;
    }
    // The id of a text already seen, or -1.
    int find(const QString &text) const
    {
        const auto exact = m_exact.constFind(text);
        if (exact != m_exact.constEnd())
            return *exact;
        return m_folded.value(caseKey(text), -1);
    }

private:
    QHash<QString, int> m_exact;
    QHash<QString, int> m_folded;
};

// The distinct texts of a column by their exact UTF-8 bytes, so that a million lines cost a
// lookup each and only new values are converted. Id 0 is the empty value (NULL). The bytes
// live in one buffer and the table holds (hash, id) pairs, so a lookup touches little memory;
// a run of lines with the same value costs one comparison.
class TextDictionary {
public:
    TextDictionary()
    {
        m_offsets = {0, 0};
        m_texts.emplace_back();
        m_slots.resize(64);
    }
    // The id of a column of the statement's current row.
    int idOf(const Statement &st, int column)
    {
        const QByteArrayView text = st.text(column);
        if (text.isNull())
            return 0;
        return idOf(std::string_view(text.data(), static_cast<size_t>(text.size())));
    }
    int idOf(std::string_view value)
    {
        if (m_last > 0 && bytes(m_last) == value)
            return m_last;
        const quint32 hash = hashOf(value);
        const size_t mask = m_slots.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            Slot &slot = m_slots[i];
            if (slot.id == 0) {
                slot = {hash, add(value)};
                m_last = slot.id;
                if (static_cast<size_t>(size()) * 2 > m_slots.size())
                    grow();
                return m_last;
            }
            if (slot.hash == hash && bytes(slot.id) == value)
                return m_last = slot.id;
        }
    }
    std::string_view bytes(int id) const
    {
        const auto from = m_offsets[static_cast<size_t>(id)];
        return {m_arena.data() + from, m_offsets[static_cast<size_t>(id) + 1] - from};
    }
    const QString &text(int id) const { return m_texts[static_cast<size_t>(id)]; }
    int size() const { return static_cast<int>(m_texts.size()); }

private:
    struct Slot {
        quint32 hash = 0;
        int id = 0; // 0: free
    };
    static quint32 hashOf(std::string_view value)
    {
        quint64 h = 14695981039346656037ULL; // FNV-1a
        for (const char c : value)
            h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
        return static_cast<quint32>(h ^ (h >> 32));
    }
    int add(std::string_view value)
    {
        m_arena.append(value);
        m_offsets.push_back(m_arena.size());
        m_texts.push_back(QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
        return size() - 1;
    }
    void grow()
    {
        std::vector<Slot> table(m_slots.size() * 2);
        const size_t mask = table.size() - 1;
        for (const Slot &slot : m_slots) {
            if (slot.id == 0)
                continue;
            size_t i = slot.hash & mask;
            while (table[i].id != 0)
                i = (i + 1) & mask;
            table[i] = slot;
        }
        m_slots = std::move(table);
    }

    std::string m_arena;
    std::vector<size_t> m_offsets; // text id's bytes: [offsets[id], offsets[id + 1])
    std::vector<QString> m_texts;
    std::vector<Slot> m_slots;
    int m_last = 0;
};

// Group numbers by (customer id, item id): open addressing over 64-bit keys.
class GroupTable {
public:
    GroupTable() : m_slots(1024) {}
    // The group of the key, or -1 after making room for it as group number `next`.
    int findOrAdd(quint64 key, int next)
    {
        const size_t mask = m_slots.size() - 1;
        for (size_t i = spread(key) & mask;; i = (i + 1) & mask) {
            Slot &slot = m_slots[i];
            if (slot.group < 0) {
                slot = {key, next};
                if (static_cast<size_t>(++m_count) * 2 > m_slots.size())
                    grow();
                return -1;
            }
            if (slot.key == key)
                return slot.group;
        }
    }

private:
    struct Slot {
        quint64 key = 0;
        int group = -1;
    };
    static size_t spread(quint64 key)
    {
        key *= 0x9E3779B97F4A7C15ULL;
        return static_cast<size_t>(key ^ (key >> 29));
    }
    void grow()
    {
        std::vector<Slot> table(m_slots.size() * 2);
        const size_t mask = table.size() - 1;
        for (const Slot &slot : m_slots) {
            if (slot.group < 0)
                continue;
            size_t i = spread(slot.key) & mask;
            while (table[i].group >= 0)
                i = (i + 1) & mask;
            table[i] = slot;
        }
        m_slots = std::move(table);
    }

    std::vector<Slot> m_slots;
    int m_count = 0;
};

} // namespace corvina::itemaging
