-- Layout of QBData.mdb, the local copy of the QuickBooks data.
-- Applied whole when the file does not exist. At start-up an existing file gets each table
-- of this layout it lacks (with that table's indexes); tables it has are never altered, but
-- for a column added at the end of a table later (Invoices.TxnID), which start-up adds in
-- place.
-- Text compares without case (COLLATE NOCASE, which the program's connections define across
-- Unicode and other readers of the file, such as the mail-merge ODBC driver, take as SQLite's
-- own ASCII-only rule); dates are ISO-8601 text
-- 'YYYY-MM-DD HH:MM:SS'; booleans are 0/1; doubles are REAL.
-- Rows keep their insertion order in rowid, which the Last() aggregate relies on.

PRAGMA user_version = 1;

CREATE TABLE Customers (
  ListID            TEXT COLLATE NOCASE,
  Name              TEXT COLLATE NOCASE,
  IsActive          BOOLEAN,
  CompanyName       TEXT COLLATE NOCASE,
  Salutation        TEXT COLLATE NOCASE,
  FirstName         TEXT COLLATE NOCASE,
  MiddleName        TEXT COLLATE NOCASE,
  LastName          TEXT COLLATE NOCASE,
  FullName          TEXT COLLATE NOCASE,
  BillAddr1         TEXT COLLATE NOCASE,
  BillAddr2         TEXT COLLATE NOCASE,
  BillAddr3         TEXT COLLATE NOCASE,
  BillAddr4         TEXT COLLATE NOCASE,
  BillCity          TEXT COLLATE NOCASE,
  BillState         TEXT COLLATE NOCASE,
  BillZip           TEXT COLLATE NOCASE,
  ShipAddr1         TEXT COLLATE NOCASE,
  ShipAddr2         TEXT COLLATE NOCASE,
  ShipAddr3         TEXT COLLATE NOCASE,
  ShipAddr4         TEXT COLLATE NOCASE,
  ShipCity          TEXT COLLATE NOCASE,
  ShipState         TEXT COLLATE NOCASE,
  ShipZip           TEXT COLLATE NOCASE,
  Phone             TEXT COLLATE NOCASE,
  Mobile            TEXT COLLATE NOCASE,
  Pager             TEXT COLLATE NOCASE,
  AltPhone          TEXT COLLATE NOCASE,
  Fax               TEXT COLLATE NOCASE,
  Email             TEXT COLLATE NOCASE,
  Contact           TEXT COLLATE NOCASE,
  AltContact        TEXT COLLATE NOCASE,
  CustType          TEXT COLLATE NOCASE,
  Terms             TEXT COLLATE NOCASE,
  SalesRep          TEXT COLLATE NOCASE,
  OpenBalance       REAL,
  OpenBalanceDate   DATETIME,
  TaxCodeRef        TEXT COLLATE NOCASE,
  SalesTaxCodeRef   TEXT COLLATE NOCASE,
  ItemSalesTaxRef   TEXT COLLATE NOCASE,
  ResaleNo          TEXT COLLATE NOCASE,
  AccountNo         TEXT COLLATE NOCASE,
  CreditLimit       REAL,
  PrefPaymentMethod TEXT COLLATE NOCASE,
  CCNumber          TEXT COLLATE NOCASE,
  CCExpMo           INTEGER,
  CCExpYr           INTEGER,
  NameOnCard        TEXT COLLATE NOCASE,
  CCAddr            TEXT COLLATE NOCASE,
  CCZip             TEXT COLLATE NOCASE,
  DeliveryMethod    INTEGER
);

CREATE TABLE Invoices (
  CustListID TEXT COLLATE NOCASE,
  Class      TEXT COLLATE NOCASE,
  Customer   TEXT COLLATE NOCASE,
  DueDate    DATETIME,
  FOB        TEXT COLLATE NOCASE,
  Memo       TEXT COLLATE NOCASE,
  PO         TEXT COLLATE NOCASE,
  InvNo      TEXT COLLATE NOCASE,
  SalesRep   TEXT COLLATE NOCASE,
  ShipDate   DATETIME,
  ShipMethod TEXT COLLATE NOCASE,
  Terms      TEXT COLLATE NOCASE,
  InvDate    DATETIME,
  Amt        REAL,
  LineClass  TEXT COLLATE NOCASE,
  "Desc"     TEXT COLLATE NOCASE,
  ItemRefID  TEXT COLLATE NOCASE,
  ItemRef    TEXT COLLATE NOCASE,
  RateAmt    REAL,
  RatePct    REAL,
  Qty        REAL,
  TxnID      TEXT COLLATE NOCASE -- the invoice the line belongs to; added in place
);

CREATE TABLE Items (
  Name     TEXT COLLATE NOCASE,
  "Desc"   TEXT COLLATE NOCASE,
  Type     TEXT COLLATE NOCASE,
  IsActive BOOLEAN,
  ListID   TEXT COLLATE NOCASE
);

CREATE TABLE Reps (
  ListID TEXT COLLATE NOCASE,
  Rep    TEXT COLLATE NOCASE,
  Name   TEXT COLLATE NOCASE
);

-- Which top-level customer each job or sub-customer (at any depth) belongs to, written by
-- the customer retrieval beside Customers, which holds top-level customers only. ListID and
-- FullName ("Customer:Job") are the job's own; CustListID is its top-level customer's ListID.
CREATE TABLE CustomerJobs (
  ListID     TEXT COLLATE NOCASE,
  FullName   TEXT COLLATE NOCASE,
  CustListID TEXT COLLATE NOCASE
);

-- The full name of every item record the item retrievals and refreshes have seen, so that a
-- refresh can carry a renamed item's new name onto the invoice lines of its sub-items.
CREATE TABLE KnownItems (
  ListID   TEXT COLLATE NOCASE,
  FullName TEXT COLLATE NOCASE
);

-- Every customer record (customer or job, of any status) the retrievals and refreshes have
-- seen, so that a refresh can work out the job relation and the names of renamed customers
-- without asking QuickBooks for the whole list. TimeModified is QuickBooks' qbXML text.
CREATE TABLE KnownCustomers (
  ListID         TEXT COLLATE NOCASE,
  Name           TEXT COLLATE NOCASE,
  FullName       TEXT COLLATE NOCASE,
  ParentListID   TEXT COLLATE NOCASE,
  ParentFullName TEXT COLLATE NOCASE,
  IsActive       BOOLEAN,
  TimeModified   TEXT
);

-- How far each list ("Cust", "Inv", "Items") has seen QuickBooks' changes: the company file,
-- the largest TimeModified seen (QuickBooks' clock, qbXML text with its offset), the invoice
-- period last retrieved, this machine's time of the last retrieval or refresh, and a
-- fingerprint of the tables written then, which tells whether they were changed since.
CREATE TABLE RefreshStates (
  List         TEXT COLLATE NOCASE,
  CompanyFile  TEXT,
  LastModified TEXT,
  PeriodFrom   DATETIME,
  PeriodTo     DATETIME,
  RefreshedAt  DATETIME,
  Fingerprint  TEXT
);

-- Customers who did not buy an item, kept for the user's mail-merge letters and labels.
-- Every column but Item takes the value of the Customers column of the same name.
CREATE TABLE NoBuyCustomers (
  Item        TEXT COLLATE NOCASE,
  ListID      TEXT COLLATE NOCASE,
  Name        TEXT COLLATE NOCASE,
  CompanyName TEXT COLLATE NOCASE,
  Salutation  TEXT COLLATE NOCASE,
  FirstName   TEXT COLLATE NOCASE,
  MiddleName  TEXT COLLATE NOCASE,
  LastName    TEXT COLLATE NOCASE,
  FullName    TEXT COLLATE NOCASE,
  BillAddr1   TEXT COLLATE NOCASE,
  BillAddr2   TEXT COLLATE NOCASE,
  BillAddr3   TEXT COLLATE NOCASE,
  BillAddr4   TEXT COLLATE NOCASE,
  BillCity    TEXT COLLATE NOCASE,
  BillState   TEXT COLLATE NOCASE,
  BillZip     TEXT COLLATE NOCASE,
  Phone       TEXT COLLATE NOCASE,
  Fax         TEXT COLLATE NOCASE,
  Email       TEXT COLLATE NOCASE,
  Contact     TEXT COLLATE NOCASE,
  CustType    TEXT COLLATE NOCASE,
  SalesRep    TEXT COLLATE NOCASE
);

-- Customers of a campaign list (lapsed, due to reorder, bought A not B, an RFM segment), kept
-- for mail merge: List names the list and its parameters, Reason says why the customer is on
-- it; the other columns take the value of the Customers column of the same name.
CREATE TABLE CampaignCustomers (
  List        TEXT COLLATE NOCASE,
  ListID      TEXT COLLATE NOCASE,
  Name        TEXT COLLATE NOCASE,
  CompanyName TEXT COLLATE NOCASE,
  Salutation  TEXT COLLATE NOCASE,
  FirstName   TEXT COLLATE NOCASE,
  MiddleName  TEXT COLLATE NOCASE,
  LastName    TEXT COLLATE NOCASE,
  FullName    TEXT COLLATE NOCASE,
  BillAddr1   TEXT COLLATE NOCASE,
  BillAddr2   TEXT COLLATE NOCASE,
  BillAddr3   TEXT COLLATE NOCASE,
  BillAddr4   TEXT COLLATE NOCASE,
  BillCity    TEXT COLLATE NOCASE,
  BillState   TEXT COLLATE NOCASE,
  BillZip     TEXT COLLATE NOCASE,
  Phone       TEXT COLLATE NOCASE,
  Fax         TEXT COLLATE NOCASE,
  Email       TEXT COLLATE NOCASE,
  Contact     TEXT COLLATE NOCASE,
  CustType    TEXT COLLATE NOCASE,
  SalesRep    TEXT COLLATE NOCASE,
  Reason      TEXT COLLATE NOCASE
);

-- Reps who did not sell an item, kept for mail merge; columns after Item mirror Reps.
CREATE TABLE NoSellReps (
  Item   TEXT COLLATE NOCASE,
  ListID TEXT COLLATE NOCASE,
  Rep    TEXT COLLATE NOCASE,
  Name   TEXT COLLATE NOCASE
);

-- Lookups the analyses and browsers make by list identifier. Indexes are only on list
-- identifiers, which are ASCII: there both NOCASE rules order alike, so every reader of the
-- file finds the same rows through them. Never index a column of names or other free text.
CREATE INDEX InvoicesByItem ON Invoices (ItemRefID, CustListID);
CREATE INDEX InvoicesByCustomer ON Invoices (CustListID);
CREATE INDEX CustomersByListID ON Customers (ListID);
CREATE INDEX ItemsByListID ON Items (ListID);
CREATE INDEX CustomerJobsByListID ON CustomerJobs (ListID);
CREATE INDEX InvoicesByTxnID ON Invoices (TxnID);
CREATE INDEX KnownCustomersByListID ON KnownCustomers (ListID);
CREATE INDEX KnownItemsByListID ON KnownItems (ListID);
