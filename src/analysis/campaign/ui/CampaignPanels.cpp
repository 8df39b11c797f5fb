#include "analysis/campaign/ui/CampaignPanels.h"

#include "analysis/campaign/CampaignGridModel.h"
#include "analysis/campaign/CampaignText.h"
#include "analysis/campaign/ui/RfmChart.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QComboBox>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QTableWidget>

#include <algorithm>
#include <numeric>

namespace corvina {

namespace {

QLabel *buddyLabel(const QString &text, QWidget *buddy)
{
    auto *label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

QPushButton *findButton(QWidget *parent)
{
    auto *button = new QPushButton(QStringLiteral("&Find"), parent);
    button->setObjectName(QStringLiteral("cmdFind"));
    return button;
}

// The items bought, by name, each with its index as data.
void fillItems(QComboBox *box, const CampaignData &data)
{
    std::vector<int> order(data.items().size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        return data.items()[static_cast<size_t>(a)].name.compare(
                   data.items()[static_cast<size_t>(b)].name, Qt::CaseInsensitive) < 0;
    });
    box->clear();
    for (int item : order)
        box->addItem(data.items()[static_cast<size_t>(item)].name, item);
}

QTableWidgetItem *cell(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

} // namespace

CampaignPanel::CampaignPanel(QWidget *parent) : QWidget(parent)
{
    m_body = new QVBoxLayout(this);
    m_parameters = new QHBoxLayout;
    m_body->addLayout(m_parameters);
    m_model = new CampaignGridModel(this);
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("DataGrid1"));
    m_grid->setModel(m_model);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 6);
    m_body->addWidget(m_grid, 1);
}

void CampaignPanel::setData(const CampaignData *data, const QDate &today)
{
    m_model->setList(nullptr, nullptr);
    m_data = data;
    m_today = today;
    m_computed = false;
    if (m_data)
        dataChanged();
}

void CampaignPanel::refresh()
{
    if (!m_data)
        return;
    m_model->setList(nullptr, nullptr);
    m_list = compute();
    m_computed = true;
    m_model->setList(m_data, &m_list);
    // Sized on the first rows only: measuring 50,000 rows would take longer than the list.
    m_grid->horizontalHeader()->setResizeContentsPrecision(50);
    m_grid->resizeColumnsToContents();
    emit listChanged();
}

LapsedPanel::LapsedPanel(QWidget *parent) : CampaignPanel(parent)
{
    m_months = new QSpinBox(this);
    m_months->setObjectName(QStringLiteral("spnMonths"));
    m_months->setRange(1, 120);
    m_months->setValue(LapsedParams{}.months);
    m_daysBefore = new QSpinBox(this);
    m_daysBefore->setObjectName(QStringLiteral("spnDaysBefore"));
    m_daysBefore->setRange(0, 3650);
    m_daysBefore->setValue(LapsedParams{}.daysBeforeLatest);
    m_cutoff = new QDateEdit(this);
    m_cutoff->setObjectName(QStringLiteral("dtCutoff"));
    m_cutoff->setDisplayFormat(QStringLiteral("MM/dd/yyyy"));
    m_cutoff->setCalendarPopup(true);
    QPushButton *find = findButton(this);
    parameters()->addWidget(buddyLabel(QStringLiteral("Bought in the &months"), m_months));
    parameters()->addWidget(m_months);
    parameters()->addWidget(buddyLabel(QStringLiteral("before the cutoff &date"), m_cutoff));
    parameters()->addWidget(m_cutoff);
    parameters()->addWidget(
        buddyLabel(QStringLiteral("(days before the latest &invoice:"), m_daysBefore));
    parameters()->addWidget(m_daysBefore);
    parameters()->addWidget(new QLabel(QStringLiteral("), nothing since")));
    parameters()->addStretch(1);
    parameters()->addWidget(find);
    connect(m_daysBefore, &QSpinBox::valueChanged, this, &LapsedPanel::daysChanged);
    connect(find, &QPushButton::clicked, this, &CampaignPanel::refresh);
}

void LapsedPanel::dataChanged()
{
    daysChanged();
}

void LapsedPanel::daysChanged()
{
    if (!data())
        return;
    LapsedParams params;
    params.daysBeforeLatest = m_daysBefore->value();
    const QDate cutoff = lapsedCutoff(*data(), params);
    m_cutoff->setDate(cutoff.isValid() ? cutoff : today());
}

CampaignResult LapsedPanel::compute()
{
    LapsedParams params;
    params.months = m_months->value();
    params.daysBeforeLatest = m_daysBefore->value();
    params.cutoff = m_cutoff->date();
    return lapsedCustomers(*data(), params, today());
}

ReorderPanel::ReorderPanel(QWidget *parent) : CampaignPanel(parent)
{
    m_minPurchases = new QSpinBox(this);
    m_minPurchases->setObjectName(QStringLiteral("spnMinPurchases"));
    m_minPurchases->setRange(2, 1000);
    m_minPurchases->setValue(ReorderParams{}.minPurchases);
    m_factor = new QDoubleSpinBox(this);
    m_factor->setObjectName(QStringLiteral("spnFactor"));
    m_factor->setRange(1.0, 20.0);
    m_factor->setSingleStep(0.1);
    m_factor->setDecimals(1);
    m_factor->setValue(ReorderParams{}.factor);
    m_prefix = new QLineEdit(this);
    m_prefix->setObjectName(QStringLiteral("txtItem"));
    m_prefix->setPlaceholderText(QStringLiteral("first letters"));
    QPushButton *find = findButton(this);
    parameters()->addWidget(
        buddyLabel(QStringLiteral("&Items bought on at least"), m_minPurchases));
    parameters()->addWidget(m_minPurchases);
    parameters()->addWidget(buddyLabel(QStringLiteral("days, overdue by f&actor"), m_factor));
    parameters()->addWidget(m_factor);
    parameters()->addWidget(new QLabel(QStringLiteral("x the usual interval")));
    parameters()->addSpacing(12);
    parameters()->addWidget(buddyLabel(QStringLiteral("Item &name"), m_prefix));
    parameters()->addWidget(m_prefix);
    parameters()->addStretch(1);
    parameters()->addWidget(find);
    connect(find, &QPushButton::clicked, this, &CampaignPanel::refresh);
    connect(m_prefix, &QLineEdit::returnPressed, this, &CampaignPanel::refresh);
}

CampaignResult ReorderPanel::compute()
{
    ReorderParams params;
    params.minPurchases = m_minPurchases->value();
    params.factor = m_factor->value();
    params.itemPrefix = m_prefix->text();
    return dueToReorder(*data(), params, today());
}

BoughtANotBPanel::BoughtANotBPanel(QWidget *parent) : CampaignPanel(parent)
{
    m_byItem = new QRadioButton(QStringLiteral("Item &A"), this);
    m_byItem->setObjectName(QStringLiteral("optItemA"));
    m_byItem->setChecked(true);
    m_byKind = new QRadioButton(QStringLiteral("or any item of the &kind"), this);
    m_byKind->setObjectName(QStringLiteral("optKindA"));
    auto *group = new QButtonGroup(this);
    group->addButton(m_byItem);
    group->addButton(m_byKind);
    m_itemA = new QComboBox(this);
    m_itemA->setObjectName(QStringLiteral("cboItemA"));
    m_kindA = new QComboBox(this);
    m_kindA->setObjectName(QStringLiteral("cboKindA"));
    m_itemB = new QComboBox(this);
    m_itemB->setObjectName(QStringLiteral("cboItemB"));
    for (QComboBox *box : {m_itemA, m_itemB}) {
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        box->setMinimumContentsLength(18);
    }
    QPushButton *find = findButton(this);
    parameters()->addWidget(m_byItem);
    parameters()->addWidget(m_itemA);
    parameters()->addWidget(m_byKind);
    parameters()->addWidget(m_kindA);
    parameters()->addWidget(buddyLabel(QStringLiteral("never item &B"), m_itemB));
    parameters()->addWidget(m_itemB);
    parameters()->addStretch(1);
    parameters()->addWidget(find);

    auto *why =
        new QLabel(QStringLiteral("Suggested items B: bought by A's buyers more often than by "
                                  "customers overall (lift); double-click one to choose it."),
                   this);
    why->setWordWrap(true);
    m_suggestions = new QTableWidget(0, 5, this);
    m_suggestions->setObjectName(QStringLiteral("tblSuggestions"));
    m_suggestions->setHorizontalHeaderLabels(
        {QStringLiteral("Item B"), QStringLiteral("Buyers of A and B"), QStringLiteral("Support"),
         QStringLiteral("Confidence"), QStringLiteral("Lift")});
    m_suggestions->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_suggestions->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_suggestions->verticalHeader()->hide();
    m_suggestions->setMaximumHeight(m_suggestions->fontMetrics().height() * 9);
    body()->insertWidget(1, why);
    body()->insertWidget(2, m_suggestions);

    connect(find, &QPushButton::clicked, this, &CampaignPanel::refresh);
    connect(m_itemA, &QComboBox::currentIndexChanged, this, &BoughtANotBPanel::suggest);
    connect(m_kindA, &QComboBox::currentIndexChanged, this, &BoughtANotBPanel::suggest);
    connect(m_byItem, &QRadioButton::toggled, this, &BoughtANotBPanel::suggest);
    connect(m_suggestions, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { suggestionChosen(row); });
}

void BoughtANotBPanel::dataChanged()
{
    const QSignalBlocker blockA(m_itemA);
    const QSignalBlocker blockKind(m_kindA);
    fillItems(m_itemA, *data());
    fillItems(m_itemB, *data());
    m_kindA->clear();
    m_kindA->addItems(data()->kinds());
    suggest();
}

BoughtANotBParams BoughtANotBPanel::params() const
{
    BoughtANotBParams params;
    if (m_byKind->isChecked())
        params.kindA = m_kindA->currentText();
    else
        params.itemA = m_itemA->currentData().isValid() ? m_itemA->currentData().toInt() : -1;
    params.itemB = m_itemB->currentData().isValid() ? m_itemB->currentData().toInt() : -1;
    return params;
}

void BoughtANotBPanel::suggest()
{
    if (!data())
        return;
    m_suggested = suggestItemsB(*data(), params());
    m_suggestions->setRowCount(static_cast<int>(m_suggested.size()));
    for (int row = 0; row < m_suggestions->rowCount(); ++row) {
        const LiftSuggestion &s = m_suggested[static_cast<size_t>(row)];
        m_suggestions->setItem(row, 0, cell(data()->items()[static_cast<size_t>(s.item)].name));
        m_suggestions->setItem(row, 1, cell(QString::number(s.buyersOfBoth)));
        m_suggestions->setItem(row, 2, cell(QString::number(100 * s.support, 'f', 2) + u'%'));
        m_suggestions->setItem(row, 3, cell(QString::number(100 * s.confidence, 'f', 1) + u'%'));
        m_suggestions->setItem(row, 4, cell(QString::number(s.lift, 'f', 2)));
    }
    m_suggestions->resizeColumnsToContents();
}

void BoughtANotBPanel::suggestionChosen(int row)
{
    if (row < 0 || row >= static_cast<int>(m_suggested.size()))
        return;
    m_itemB->setCurrentIndex(m_itemB->findData(m_suggested[static_cast<size_t>(row)].item));
    refresh();
}

CampaignResult BoughtANotBPanel::compute()
{
    return boughtANotB(*data(), params());
}

RfmPanel::RfmPanel(QWidget *parent) : CampaignPanel(parent)
{
    m_segment = new QComboBox(this);
    m_segment->setObjectName(QStringLiteral("cboSegment"));
    for (const RfmRule &rule : kRfmRules)
        m_segment->addItem(QString::fromUtf8(rule.name));
    parameters()->addWidget(buddyLabel(QStringLiteral("Se&gment"), m_segment));
    parameters()->addWidget(m_segment);
    auto *scores =
        new QLabel(QStringLiteral("Scores 1-5 by quintile over the customers with purchases: R "
                                  "recency, F frequency (days bought on), M sales. Rules are "
                                  "tried top to bottom; click a bar to list its segment."));
    scores->setWordWrap(true);
    parameters()->addWidget(scores, 1);

    auto *rules = new QTableWidget(static_cast<int>(kRfmRules.size()), 5, this);
    rules->setObjectName(QStringLiteral("tblRules"));
    rules->setHorizontalHeaderLabels({QStringLiteral("Segment"), QStringLiteral("R"),
                                      QStringLiteral("F"), QStringLiteral("M"),
                                      QStringLiteral("Meaning")});
    const auto range = [](int low, int high) {
        return low == high ? QString::number(low) : QStringLiteral("%1-%2").arg(low).arg(high);
    };
    for (int row = 0; row < rules->rowCount(); ++row) {
        const RfmRule &rule = kRfmRules[static_cast<size_t>(row)];
        rules->setItem(row, 0, cell(QString::fromUtf8(rule.name)));
        rules->setItem(row, 1, cell(range(rule.recencyMin, rule.recencyMax)));
        rules->setItem(row, 2, cell(range(rule.frequencyMin, rule.frequencyMax)));
        rules->setItem(row, 3, cell(range(rule.monetaryMin, rule.monetaryMax)));
        rules->setItem(row, 4, cell(QString::fromUtf8(rule.meaning)));
    }
    rules->verticalHeader()->hide();
    rules->setEditTriggers(QAbstractItemView::NoEditTriggers);
    rules->resizeColumnsToContents();
    rules->resizeRowsToContents();
    int width = rules->frameWidth() * 2 + 2;
    for (int c = 0; c < rules->columnCount(); ++c)
        width += rules->columnWidth(c);
    int height = rules->frameWidth() * 2 + rules->horizontalHeader()->sizeHint().height() + 2;
    for (int r = 0; r < rules->rowCount(); ++r)
        height += rules->rowHeight(r);
    rules->setFixedSize(width, height);
    rules->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    rules->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    m_chart = new RfmChart(this);
    m_chart->setObjectName(QStringLiteral("chtSegments"));
    auto *top = new QHBoxLayout;
    top->addWidget(m_chart, 1);
    top->addWidget(rules, 0, Qt::AlignTop);
    body()->insertLayout(1, top, 1);
    body()->setStretch(body()->count() - 1, 1);

    connect(m_segment, &QComboBox::currentIndexChanged, this, &CampaignPanel::refresh);
    connect(m_chart, &RfmChart::segmentClicked, m_segment, &QComboBox::setCurrentIndex);
}

void RfmPanel::dataChanged()
{
    m_scored = scoreRfm(*data(), today());
    const std::vector<RfmBar> bars = rfmChartData(m_scored);
    m_chart->setBars(bars);
    for (size_t i = 0; i < bars.size(); ++i)
        m_segment->setItemText(
            static_cast<int>(i),
            QStringLiteral("%1 (%2)").arg(bars[i].segment).arg(bars[i].customers));
}

CampaignResult RfmPanel::compute()
{
    return rfmSegmentList(*data(), m_scored, std::max(0, m_segment->currentIndex()));
}

} // namespace corvina
