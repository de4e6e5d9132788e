-- The tables of a Tolva data folder. Amounts (CURRENCY) are stored as exact integers of
-- ten-thousandths of a yen, dates (DATE) as ISO text yyyy-MM-dd, date and time
-- (TIMESTAMP) as yyyy-MM-dd HH:mm:ss.
PRAGMA application_id = 1416588406;  -- 0x546f6c76, "Tolv": marks the file as a Tolva database
PRAGMA user_version = 5;  -- the layout (pages with checksums, the blue-return settings, the journal's change history, see db/README.md); Database::upgradeSchema brings older books to it
PRAGMA journal_mode = WAL;

-- The journal. No foreign keys to the masters: rows whose codes have since been removed
-- from the masters stay in the books and are listed with empty names.
CREATE TABLE shiwake (
    id      INTEGER PRIMARY KEY AUTOINCREMENT,
    sDay    DATE,
    Lbunrui TEXT,
    Lcode   TEXT,
    LScode  TEXT,
    Lgaku   CURRENCY,
    Rbunrui TEXT,
    Rcode   TEXT,
    RScode  TEXT,
    Rgaku   CURRENCY,
    yoto    TEXT,
    kubun   TEXT,
    syori   INTEGER,
    Memo    TEXT
);
-- The date-ordered journal list, and the per-account sums of the aggregations and the
-- ledger, each served by an index that covers the account, the date range and the amount.
-- Many rows have no sub-account: the sub-account indexes leave those out (every statement
-- that asks for a sub-account compares it, which tells SQLite it is not null).
CREATE INDEX shiwake_sDay ON shiwake (sDay);
CREATE INDEX shiwake_Lcode ON shiwake (Lcode, sDay, syori, Lgaku);
CREATE INDEX shiwake_Rcode ON shiwake (Rcode, sDay, syori, Rgaku);
CREATE INDEX shiwake_LScode ON shiwake (LScode, sDay, syori, Lgaku) WHERE LScode IS NOT NULL;
CREATE INDEX shiwake_RScode ON shiwake (RScode, sDay, syori, Rgaku) WHERE RScode IS NOT NULL;
-- How many rows the journal holds, in all and on each day, kept by its own triggers in the
-- same transaction as every insert, delete and change of date: the journal list shows its
-- length and finds a row far from those it has read without counting the journal.
CREATE TABLE RowCount (tableName TEXT NOT NULL PRIMARY KEY, n INTEGER NOT NULL);
INSERT INTO RowCount (tableName, n) VALUES ('shiwake', 0);
CREATE TABLE DayCount (sDay DATE NOT NULL PRIMARY KEY, n INTEGER NOT NULL);
CREATE TRIGGER shiwake_counted_insert AFTER INSERT ON shiwake BEGIN UPDATE RowCount SET n = n + 1 WHERE tableName = 'shiwake'; INSERT INTO DayCount (sDay, n) SELECT new.sDay, 1 WHERE new.sDay IS NOT NULL ON CONFLICT (sDay) DO UPDATE SET n = n + 1; END;
CREATE TRIGGER shiwake_counted_delete AFTER DELETE ON shiwake BEGIN UPDATE RowCount SET n = n - 1 WHERE tableName = 'shiwake'; UPDATE DayCount SET n = n - 1 WHERE sDay = old.sDay; DELETE FROM DayCount WHERE sDay = old.sDay AND n <= 0; END;
CREATE TRIGGER shiwake_counted_redate AFTER UPDATE OF sDay ON shiwake WHEN old.sDay IS NOT new.sDay BEGIN UPDATE DayCount SET n = n - 1 WHERE sDay = old.sDay; DELETE FROM DayCount WHERE sDay = old.sDay AND n <= 0; INSERT INTO DayCount (sDay, n) SELECT new.sDay, 1 WHERE new.sDay IS NOT NULL ON CONFLICT (sDay) DO UPDATE SET n = n + 1; END;
-- The journal's change history: every insert, change and delete of a shiwake row, with the
-- row before and after, recorded by the journal's triggers in the same statement as the
-- change under the command the program names (tolva_command_id, tolva_command_name: the
-- program's own SQL functions, so a program without them cannot write the journal).
-- Append-only: its own triggers refuse a change or a delete.
CREATE TABLE shiwakeRireki (seq INTEGER PRIMARY KEY, changedAt TEXT NOT NULL, commandId INTEGER NOT NULL, command TEXT NOT NULL, op TEXT NOT NULL, rowId INTEGER NOT NULL, old_sDay, old_Lbunrui, old_Lcode, old_LScode, old_Lgaku, old_Rbunrui, old_Rcode, old_RScode, old_Rgaku, old_yoto, old_kubun, old_syori, old_Memo, new_sDay, new_Lbunrui, new_Lcode, new_LScode, new_Lgaku, new_Rbunrui, new_Rcode, new_RScode, new_Rgaku, new_yoto, new_kubun, new_syori, new_Memo);
CREATE INDEX shiwakeRireki_rowId ON shiwakeRireki (rowId, seq);
CREATE TRIGGER shiwakeRireki_unchanged BEFORE UPDATE ON shiwakeRireki BEGIN SELECT RAISE(ABORT, '仕訳の変更履歴は書き換えられません。'); END;
CREATE TRIGGER shiwakeRireki_kept BEFORE DELETE ON shiwakeRireki BEGIN SELECT RAISE(ABORT, '仕訳の変更履歴は削除できません。'); END;
CREATE TRIGGER shiwake_recorded_insert AFTER INSERT ON shiwake BEGIN INSERT INTO shiwakeRireki (changedAt, commandId, command, op, rowId, old_sDay, old_Lbunrui, old_Lcode, old_LScode, old_Lgaku, old_Rbunrui, old_Rcode, old_RScode, old_Rgaku, old_yoto, old_kubun, old_syori, old_Memo, new_sDay, new_Lbunrui, new_Lcode, new_LScode, new_Lgaku, new_Rbunrui, new_Rcode, new_RScode, new_Rgaku, new_yoto, new_kubun, new_syori, new_Memo) SELECT strftime('%Y-%m-%dT%H:%M:%fZ', 'now'), tolva_command_id((SELECT commandId FROM shiwakeRireki ORDER BY seq DESC LIMIT 1)), tolva_command_name(), 'insert', new.id, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, new.sDay, new.Lbunrui, new.Lcode, new.LScode, new.Lgaku, new.Rbunrui, new.Rcode, new.RScode, new.Rgaku, new.yoto, new.kubun, new.syori, new.Memo; END;
CREATE TRIGGER shiwake_recorded_delete AFTER DELETE ON shiwake BEGIN INSERT INTO shiwakeRireki (changedAt, commandId, command, op, rowId, old_sDay, old_Lbunrui, old_Lcode, old_LScode, old_Lgaku, old_Rbunrui, old_Rcode, old_RScode, old_Rgaku, old_yoto, old_kubun, old_syori, old_Memo, new_sDay, new_Lbunrui, new_Lcode, new_LScode, new_Lgaku, new_Rbunrui, new_Rcode, new_RScode, new_Rgaku, new_yoto, new_kubun, new_syori, new_Memo) SELECT strftime('%Y-%m-%dT%H:%M:%fZ', 'now'), tolva_command_id((SELECT commandId FROM shiwakeRireki ORDER BY seq DESC LIMIT 1)), tolva_command_name(), 'delete', old.id, old.sDay, old.Lbunrui, old.Lcode, old.LScode, old.Lgaku, old.Rbunrui, old.Rcode, old.RScode, old.Rgaku, old.yoto, old.kubun, old.syori, old.Memo, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL; END;
CREATE TRIGGER shiwake_recorded_update AFTER UPDATE ON shiwake WHEN old.id IS NOT new.id OR old.sDay IS NOT new.sDay OR old.Lbunrui IS NOT new.Lbunrui OR old.Lcode IS NOT new.Lcode OR old.LScode IS NOT new.LScode OR old.Lgaku IS NOT new.Lgaku OR old.Rbunrui IS NOT new.Rbunrui OR old.Rcode IS NOT new.Rcode OR old.RScode IS NOT new.RScode OR old.Rgaku IS NOT new.Rgaku OR old.yoto IS NOT new.yoto OR old.kubun IS NOT new.kubun OR old.syori IS NOT new.syori OR old.Memo IS NOT new.Memo BEGIN INSERT INTO shiwakeRireki (changedAt, commandId, command, op, rowId, old_sDay, old_Lbunrui, old_Lcode, old_LScode, old_Lgaku, old_Rbunrui, old_Rcode, old_RScode, old_Rgaku, old_yoto, old_kubun, old_syori, old_Memo, new_sDay, new_Lbunrui, new_Lcode, new_LScode, new_Lgaku, new_Rbunrui, new_Rcode, new_RScode, new_Rgaku, new_yoto, new_kubun, new_syori, new_Memo) SELECT strftime('%Y-%m-%dT%H:%M:%fZ', 'now'), tolva_command_id((SELECT commandId FROM shiwakeRireki ORDER BY seq DESC LIMIT 1)), tolva_command_name(), 'update', new.id, old.sDay, old.Lbunrui, old.Lcode, old.LScode, old.Lgaku, old.Rbunrui, old.Rcode, old.RScode, old.Rgaku, old.yoto, old.kubun, old.syori, old.Memo, new.sDay, new.Lbunrui, new.Lcode, new.LScode, new.Lgaku, new.Rbunrui, new.Rcode, new.RScode, new.Rgaku, new.yoto, new.kubun, new.syori, new.Memo WHERE old.id = new.id; INSERT INTO shiwakeRireki (changedAt, commandId, command, op, rowId, old_sDay, old_Lbunrui, old_Lcode, old_LScode, old_Lgaku, old_Rbunrui, old_Rcode, old_RScode, old_Rgaku, old_yoto, old_kubun, old_syori, old_Memo, new_sDay, new_Lbunrui, new_Lcode, new_LScode, new_Lgaku, new_Rbunrui, new_Rcode, new_RScode, new_Rgaku, new_yoto, new_kubun, new_syori, new_Memo) SELECT strftime('%Y-%m-%dT%H:%M:%fZ', 'now'), tolva_command_id((SELECT commandId FROM shiwakeRireki ORDER BY seq DESC LIMIT 1)), tolva_command_name(), 'delete', old.id, old.sDay, old.Lbunrui, old.Lcode, old.LScode, old.Lgaku, old.Rbunrui, old.Rcode, old.RScode, old.Rgaku, old.yoto, old.kubun, old.syori, old.Memo, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL WHERE old.id <> new.id; INSERT INTO shiwakeRireki (changedAt, commandId, command, op, rowId, old_sDay, old_Lbunrui, old_Lcode, old_LScode, old_Lgaku, old_Rbunrui, old_Rcode, old_RScode, old_Rgaku, old_yoto, old_kubun, old_syori, old_Memo, new_sDay, new_Lbunrui, new_Lcode, new_LScode, new_Lgaku, new_Rbunrui, new_Rcode, new_RScode, new_Rgaku, new_yoto, new_kubun, new_syori, new_Memo) SELECT strftime('%Y-%m-%dT%H:%M:%fZ', 'now'), tolva_command_id((SELECT commandId FROM shiwakeRireki ORDER BY seq DESC LIMIT 1)), tolva_command_name(), 'insert', new.id, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, new.sDay, new.Lbunrui, new.Lcode, new.LScode, new.Lgaku, new.Rbunrui, new.Rcode, new.RScode, new.Rgaku, new.yoto, new.kubun, new.syori, new.Memo WHERE old.id <> new.id; END;

CREATE TABLE Kamoku (
    code   TEXT NOT NULL PRIMARY KEY,
    kamoku TEXT,
    bunrui TEXT
);
CREATE INDEX Kamoku_bunrui ON Kamoku (bunrui);

CREATE TABLE Bunrui (
    code TEXT NOT NULL PRIMARY KEY,
    Name TEXT,
    BP   TEXT,
    LR   TEXT
);

CREATE TABLE Kamoku02 (
    code   TEXT NOT NULL PRIMARY KEY,
    kamoku TEXT,
    bunrui TEXT,
    kubun  TEXT
);
CREATE INDEX Kamoku02_bunrui ON Kamoku02 (bunrui);

CREATE TABLE yoto (
    code TEXT NOT NULL PRIMARY KEY,
    Name TEXT
);

CREATE TABLE kubun (
    code TEXT NOT NULL PRIMARY KEY,
    Name TEXT,
    yoto TEXT
);
CREATE INDEX kubun_yoto ON kubun (yoto);

CREATE TABLE syorik (
    code INTEGER NOT NULL PRIMARY KEY,
    Name TEXT
);

CREATE TABLE Jigyounushi (
    name     TEXT,
    post     TEXT,
    Address1 TEXT,
    Address2 TEXT,
    Tel      TEXT,
    Fax      TEXT,
    shime    INTEGER,
    Nendo    INTEGER
);

CREATE TABLE shisanH (
    nendo  TEXT NOT NULL,
    kcode  TEXT NOT NULL,
    Lgaku  CURRENCY,
    Rgaku  CURRENCY,
    LSgaku CURRENCY,
    RSgaku CURRENCY,
    PRIMARY KEY (nendo, kcode)
);

CREATE TABLE Sum01 (
    nendo  TEXT,
    kcode  TEXT,
    Lgaku  CURRENCY,
    Rgaku  CURRENCY,
    LSgaku CURRENCY,
    RSgaku CURRENCY
);

CREATE TABLE Sum02 (
    nendo  TEXT,
    kcode  TEXT,
    Lgaku  CURRENCY,
    Rgaku  CURRENCY,
    LSgaku CURRENCY,
    RSgaku CURRENCY
);

CREATE TABLE sjyoken (
    code  TEXT NOT NULL PRIMARY KEY,
    jdate TIMESTAMP,
    sdate DATE,
    edate DATE
);

CREATE TABLE Repo01 (
    kamoku TEXT,
    L1 CURRENCY, R1 CURRENCY, L2 CURRENCY, R2 CURRENCY
);

CREATE TABLE Repo02 (
    kamoku TEXT,
    L1 CURRENCY, R1 CURRENCY, L2 CURRENCY, R2 CURRENCY,
    L3 CURRENCY, R3 CURRENCY, L4 CURRENCY, R4 CURRENCY
);

CREATE TABLE Repo03 (
    kamoku  TEXT,
    Saimoku TEXT,
    L1 CURRENCY, L2 CURRENCY, L3 CURRENCY, L4 CURRENCY,
    R1 CURRENCY, R2 CURRENCY, R3 CURRENCY, R4 CURRENCY
);

CREATE TABLE RepoJyoken (
    no     INTEGER,
    Name01 TEXT,
    Name02 TEXT,
    Name03 TEXT
);

CREATE TABLE KoteiA (
    id      INTEGER PRIMARY KEY AUTOINCREMENT,
    code    TEXT,
    name    TEXT,
    Post    TEXT,
    address TEXT,
    tiban   TEXT
);

CREATE TABLE KoteiB (
    id           INTEGER PRIMARY KEY AUTOINCREMENT,
    code         TEXT,
    name         TEXT,
    dateB        DATE,
    Acode        TEXT,
    gaku         CURRENCY,
    Tnen         SMALLINT,
    Sdate        DATE,
    kubun        TEXT,
    syubetu      TEXT,
    AID          SMALLINT,
    Quantity     FLOAT,
    Memo         TEXT,
    depreciation TEXT,
    syukyakuH    TEXT
);
CREATE INDEX KoteiB_AID ON KoteiB (AID);

CREATE TABLE KoteiC (
    id         INTEGER PRIMARY KEY AUTOINCREMENT,
    code       TEXT,
    dateB      DATE,
    tekiyou    TEXT,
    syoukyaku  CURRENCY,
    zandaka    CURRENCY,
    Bid        SMALLINT,
    SMonth     SMALLINT,
    zandakaK   CURRENCY,
    SRate      FLOAT,
    warimashiS CURRENCY,
    syoukyakuF CURRENCY,
    kashitukeR SMALLINT,
    keihi      CURRENCY
);
CREATE INDEX KoteiC_Bid ON KoteiC (Bid, dateB);

CREATE TABLE Kkubun (
    code TEXT NOT NULL PRIMARY KEY,
    name TEXT
);

CREATE TABLE Ksyubetu (
    code TEXT NOT NULL PRIMARY KEY,
    Name TEXT
);

CREATE TABLE shouhou (
    id   TEXT NOT NULL PRIMARY KEY,
    name TEXT
);

CREATE TABLE biko (
    no   INTEGER PRIMARY KEY AUTOINCREMENT,
    Name TEXT
);

-- The blue-return statement: the line of the form of each account the user moved from its
-- default, and the special deduction chosen for a year.
CREATE TABLE KessanLine (kcode TEXT NOT NULL PRIMARY KEY, line TEXT NOT NULL);
CREATE TABLE KessanKoujo (nen INTEGER NOT NULL PRIMARY KEY, gaku INTEGER NOT NULL);
