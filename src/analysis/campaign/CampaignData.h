#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace corvina {

class Database;

// What the campaign lists are computed from: the local copy's sales reduced to one
// purchase per top-level customer, item and day. Invoice lines of a job or sub-customer
// (CustomerJobs) count for its top-level customer; lines of customers not in Customers and
// lines without a date are left out (nobody could be written to about them). Days are
// Julian day numbers.
class CampaignData {
public:
    struct Customer {
        QString listId;
        QString name;
        std::int64_t rowid = 0; // of the Customers row, to read its other columns
    };
    struct Item {
        QString name; // the full name invoice lines carry ("Hardware:Deadbolt")
        QString kind; // short form ("Service"); empty when the item is not in Items
    };
    // One customer buying one item on one day, however many lines and invoices that took.
    struct Purchase {
        int customer = 0;
        int item = 0;
        std::int32_t day = 0;
        double amount = 0;
    };
    // One customer's purchases of any item on one day.
    struct CustomerDay {
        int customer = 0;
        std::int32_t day = 0;
        double amount = 0;
    };

    // Reads Customers, CustomerJobs, Items and Invoices. Database failures throw Error.
    static CampaignData load(Database &db);

    const std::vector<Customer> &customers() const noexcept { return m_customers; }
    const std::vector<Item> &items() const noexcept { return m_items; }
    // Ordered by customer, item and day.
    const std::vector<Purchase> &purchases() const noexcept { return m_purchases; }
    // Ordered by customer and day.
    const std::vector<CustomerDay> &customerDays() const noexcept { return m_customerDays; }
    // The item kinds of the items bought, in alphabetical order.
    QStringList kinds() const;
    // The first and last day of the purchases used; invalid when there are none.
    QDate firstDate() const;
    QDate lastDate() const;

    // For tests and benchmarks: data made directly, purchases in any order.
    static CampaignData fromParts(std::vector<Customer> customers, std::vector<Item> items,
                                  std::vector<Purchase> lines);

private:
    void settle(std::vector<Purchase> lines);

    std::vector<Customer> m_customers;
    std::vector<Item> m_items;
    std::vector<Purchase> m_purchases;
    std::vector<CustomerDay> m_customerDays;
    std::int32_t m_firstDay = 0;
    std::int32_t m_lastDay = 0;
};

// A date as the campaign lists write it in their titles and reasons: mm/dd/yyyy.
QString campaignDateText(const QDate &date);

} // namespace corvina
