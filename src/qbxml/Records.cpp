#include "qbxml/Records.h"

namespace corvina::qb {

namespace {

Tag tagOfKind(ItemKind kind)
{
    return static_cast<Tag>(static_cast<int>(Tag::ItemServiceRet) + static_cast<int>(kind));
}

} // namespace

std::optional<int> CustomerRet::preferredDeliveryMethod() const
{
    const auto text = textOf(Tag::PreferredDeliveryMethod);
    if (!text)
        return std::nullopt;
    if (*text == u"None")
        return 0;
    if (*text == u"Email")
        return 1;
    if (*text == u"Fax")
        return 2;
    return std::nullopt; // a value of a later version: treated as not given
}

std::vector<InvoiceLineRet> InvoiceLineGroupRet::lines() const
{
    std::vector<InvoiceLineRet> out;
    for (auto &e : children(Tag::InvoiceLineRet))
        out.emplace_back(std::move(e));
    return out;
}

std::optional<InvoiceLineRet> InvoiceLineEntry::line() const
{
    if (m_element.tag() != Tag::InvoiceLineRet)
        return std::nullopt;
    return InvoiceLineRet(m_element);
}

std::optional<InvoiceLineGroupRet> InvoiceLineEntry::group() const
{
    if (m_element.tag() != Tag::InvoiceLineGroupRet)
        return std::nullopt;
    return InvoiceLineGroupRet(m_element);
}

std::vector<InvoiceLineEntry> InvoiceRet::lines() const
{
    std::vector<InvoiceLineEntry> out;
    for (auto &e : children()) {
        const Tag t = e.tag();
        if (t == Tag::InvoiceLineRet || t == Tag::InvoiceLineGroupRet)
            out.emplace_back(std::move(e));
    }
    return out;
}

std::optional<Element> ItemRecord::salesOrPurchase() const
{
    Element e = child(Tag::SalesOrPurchase);
    if (e.isNull())
        return std::nullopt;
    return e;
}

std::optional<Element> ItemRecord::salesAndPurchase() const
{
    Element e = child(Tag::SalesAndPurchase);
    if (e.isNull())
        return std::nullopt;
    return e;
}

std::optional<ItemKind> ItemEntry::kind() const
{
    const int offset = static_cast<int>(m_element.tag()) - static_cast<int>(Tag::ItemServiceRet);
    if (offset < 0 || offset >= kItemKindCount)
        return std::nullopt;
    return static_cast<ItemKind>(offset);
}

std::optional<ItemRecord> ItemEntry::record(ItemKind kind) const
{
    if (m_element.tag() != tagOfKind(kind))
        return std::nullopt;
    return ItemRecord(m_element);
}

QString itemTypeName(ItemKind kind)
{
    return QString::fromLatin1(tagName(tagOfKind(kind)));
}

} // namespace corvina::qb
