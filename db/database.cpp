#include "db/database.h"

#include "db/cancellation.h"
#include "db/checksumvfs.h"
#include "db/tempfiles.h"
#include "db/textformat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStorageInfo>
#include <QTemporaryFile>
#include <QUrl>

#include <sqlite3.h>

#include <cerrno>

#include <map>
#include <optional>

namespace tolva {

FieldType fieldTypeFromDeclared(const QString& declared)
{
    const QString t = declared.trimmed().toUpper();
    if (t.isEmpty())
        return FieldType::Unknown;
    if (t.startsWith(u"CURRENCY") || t.startsWith(u"MONEY"))
        return FieldType::Currency;
    if (t == u"DATE")
        return FieldType::Date;
    if (t.startsWith(u"TIMESTAMP") || t.startsWith(u"DATETIME"))
        return FieldType::DateTime;
    if (t.contains(u"INT"))
        return FieldType::Integer;
    if (t.startsWith(u"FLOAT") || t.startsWith(u"REAL") || t.startsWith(u"DOUBLE") || t.startsWith(u"NUMERIC"))
        return FieldType::Float;
    return FieldType::Text;
}

bool isNumericType(FieldType type)
{
    return type == FieldType::Integer || type == FieldType::AutoInc || type == FieldType::Float
           || type == FieldType::Currency;
}

const QStringList& requiredTables()
{
    static const QStringList names = {
        QStringLiteral("shiwake"),  QStringLiteral("Kamoku"),     QStringLiteral("Bunrui"),
        QStringLiteral("Kamoku02"), QStringLiteral("yoto"),       QStringLiteral("kubun"),
        QStringLiteral("syorik"),   QStringLiteral("Jigyounushi"), QStringLiteral("shisanH"),
        QStringLiteral("Sum01"),    QStringLiteral("Sum02"),      QStringLiteral("sjyoken"),
        QStringLiteral("Repo01"),   QStringLiteral("Repo02"),     QStringLiteral("Repo03"),
        QStringLiteral("RepoJyoken"), QStringLiteral("KoteiA"),   QStringLiteral("KoteiB"),
        QStringLiteral("KoteiC"),   QStringLiteral("Kkubun"),     QStringLiteral("Ksyubetu"),
        QStringLiteral("shouhou"),  QStringLiteral("biko"),
    };
    return names;
}

const QStringList& workTables()
{
    static const QStringList names = {
        QStringLiteral("RepoJyoken"), QStringLiteral("Repo01"), QStringLiteral("Repo02"), QStringLiteral("Repo03"),
        QStringLiteral("sjyoken"),    QStringLiteral("Sum01"),  QStringLiteral("Sum02"),
    };
    return names;
}

const QStringList& requiredStoredQueries()
{
    static const QStringList names = {QStringLiteral("qUnionCode.sql"), QStringLiteral("uqSai.sql")};
    return names;
}

const QStringList& booksFileNames()
{
    static const QStringList names = {
        QString::fromLatin1(Database::kFileName),
        QString::fromLatin1(Database::kFileName) + QStringLiteral("-wal"),
        QString::fromLatin1(Database::kFileName) + QStringLiteral("-shm"),
        QString::fromLatin1(Database::kFileName) + QStringLiteral("-journal"),
    };
    return names;
}

QStringList presentBooksFiles(const QString& folder)
{
    QStringList present;
    for (const QString& name : booksFileNames()) {
        if (QFileInfo::exists(QDir(folder).filePath(name)))
            present << name;
    }
    return present;
}

OpeningFault openingFaultOf(int code, qint64 bytesAvailable)
{
    const bool lowSpace = bytesAvailable >= 0 && bytesAvailable < kLowDiskSpace;
    // A page whose checksum does not match was changed on the disk: damage, not a failing read.
    if (code == SQLITE_IOERR_DATA)
        return OpeningFault::Damaged;
    switch (code & 0xff) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return OpeningFault::Damaged;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return OpeningFault::Busy;
    case SQLITE_READONLY:
    case SQLITE_PERM:
        return OpeningFault::ReadOnly;
    case SQLITE_FULL:
        return OpeningFault::DiskFull;
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
        return lowSpace ? OpeningFault::DiskFull : OpeningFault::InputOutput;
    default:
        return OpeningFault::Other;
    }
}

namespace {

// Which page failed its checksum, in the words of the messages.
QString checksumFailure()
{
    const checksumvfs::Mismatch& mismatch = checksumvfs::lastMismatch();
    if (mismatch.page <= 0)
        return QStringLiteral("ページのチェックサムが合いません");
    return QStringLiteral("「%1」のページ %2 のチェックサムが合いません")
        .arg(QFileInfo(QString::fromStdString(mismatch.file)).fileName())
        .arg(mismatch.page);
}

QString readableError(int code, const QString& detail, int systemError = 0)
{
    // SUM() over amounts that together pass the 64-bit range.
    if ((code & 0xff) == SQLITE_ERROR && detail.contains(u"integer overflow"))
        return amountOutOfRange();
    if (code == SQLITE_IOERR_DATA)
        return QStringLiteral("データベースが壊れています（%1）。").arg(checksumFailure());
    switch (code & 0xff) {
    case SQLITE_IOERR:
        // SQLite says "disk I/O error" for every failed read or write; what the system said
        // tells a full disk and a file-size limit from a failing device.
        if (systemError == ENOSPC)
            return QStringLiteral("ディスクの空き容量が足りません（%1）。").arg(detail);
        if (systemError == EFBIG)
            return QStringLiteral("ファイルの大きさが上限を超えたため書き込めません（%1）。"
                                  "ディスクの空き容量やファイルの大きさの制限を確認してください。").arg(detail);
        return QStringLiteral("ディスクの読み書きに失敗しました（%1）。ディスクの空き容量と装置の状態を確認してください。").arg(detail);
    case SQLITE_CONSTRAINT:
        if (detail.contains(u"UNIQUE") || detail.contains(u"PRIMARY KEY"))
            return QStringLiteral("キーが重複しています（%1）。同じコードの行が既にあります。").arg(detail);
        if (detail.contains(u"NOT NULL"))
            return QStringLiteral("必須の項目が空です（%1）。").arg(detail);
        return QStringLiteral("データの制約に違反しました（%1）。").arg(detail);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("データベースが他の処理で使用中です（%1）。").arg(detail);
    case SQLITE_FULL:
        return QStringLiteral("ディスクの空き容量が足りません（%1）。").arg(detail);
    case SQLITE_READONLY:
        return QStringLiteral("データベースに書き込めません（%1）。").arg(detail);
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("データベースが壊れています（%1）。").arg(detail);
    default:
        return QStringLiteral("データベースエラー: %1").arg(detail);
    }
}

// The same for a statement of a connection: a write that books opened for reading refuse is
// said as such, not as a file that cannot be written.
QString statementError(sqlite3* db, int code, const QString& detail, int systemError = 0)
{
    if ((code & 0xff) == SQLITE_READONLY && db && sqlite3_db_readonly(db, "main") == 1)
        return QStringLiteral("帳簿は読み取り専用で開いているため、書き込めません（%1）。").arg(detail);
    return readableError(code, detail, systemError);
}

} // namespace

// --- Statement -------------------------------------------------------------------------

Statement::Statement(Statement&& other) noexcept
    : db_(other.db_), stmt_(other.stmt_), sql_(std::move(other.sql_))
{
    other.stmt_ = nullptr;
}

Statement& Statement::operator=(Statement&& other) noexcept
{
    if (this != &other) {
        if (stmt_)
            sqlite3_finalize(stmt_);
        db_ = other.db_;
        stmt_ = other.stmt_;
        sql_ = std::move(other.sql_);
        other.stmt_ = nullptr;
    }
    return *this;
}

Statement::~Statement()
{
    if (stmt_)
        sqlite3_finalize(stmt_);
}

void Statement::bind(int n, const QVariant& value)
{
    int rc = SQLITE_OK;
    if (!value.isValid() || value.isNull()) {
        rc = sqlite3_bind_null(stmt_, n);
    } else {
        switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Bool:
            rc = sqlite3_bind_int64(stmt_, n, value.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(stmt_, n, value.toDouble());
            break;
        default: {
            const QByteArray utf8 = value.toString().toUtf8();
            rc = sqlite3_bind_text(stmt_, n, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        }
        }
    }
    if (rc != SQLITE_OK)
        throw StoreError(QStringLiteral("パラメータを設定できません（%1）: %2").arg(n).arg(QString::fromUtf8(sqlite3_errmsg(db_))));
}

bool Statement::step()
{
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    const QString detail = QString::fromUtf8(sqlite3_errmsg(db_));
    const int code = sqlite3_extended_errcode(db_);
    const int systemError = sqlite3_system_errno(db_);
    sqlite3_reset(stmt_);
    if (code == SQLITE_INTERRUPT && cancellation::requested())
        throw cancellation::Cancelled();
    throw StoreError(statementError(db_, code, detail, systemError));
}

void Statement::reset()
{
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

int Statement::columnCount() const
{
    return sqlite3_column_count(stmt_);
}

QVariant Statement::column(int i) const
{
    switch (sqlite3_column_type(stmt_, i)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(stmt_, i)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(stmt_, i));
    case SQLITE_NULL:
        return QVariant();
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
        return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(stmt_, i)));
    }
    }
}

qint64 Statement::columnInt(int i) const
{
    return sqlite3_column_int64(stmt_, i);
}

// --- Database --------------------------------------------------------------------------

namespace {

std::map<QString, std::shared_ptr<Database>>& registry()
{
    static std::map<QString, std::shared_ptr<Database>> databases;
    return databases;
}

QString registryKey(const QString& folder)
{
    return QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
}

qint64 bytesAvailable(const QString& folder)
{
    const QStorageInfo storage(folder);
    return storage.isValid() ? storage.bytesAvailable() : -1;
}

// SQLite's own report, cut to the three lines that fit a detail area; the heading that
// quick_check puts before its findings says nothing.
QString technicalLines(const QStringList& lines)
{
    QStringList kept;
    for (const QString& line : lines) {
        const QString text = line.trimmed();
        if (text.isEmpty() || text.startsWith(u"***"))
            continue;
        kept << (text.size() > 160 ? text.left(159) + u'…' : text);
        if (kept.size() == 3)
            break;
    }
    return kept.join(u'\n');
}

StoreError damagedBooks(const QString& path, const QString& detail)
{
    return StoreError(QStringLiteral("データベースファイル「%1」は壊れているため、開けません。\n"
                                     "バックアップからデータフォルダ全体を元に戻してください。")
                          .arg(QDir::toNativeSeparators(path)),
                      detail);
}

StoreError openingRefusal(OpeningFault fault, const QString& path, const QString& detail)
{
    const QString shown = QDir::toNativeSeparators(path);
    const QString folder = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
    switch (fault) {
    case OpeningFault::Damaged:
        return damagedBooks(path, technicalLines({detail}));
    case OpeningFault::Busy:
        return StoreError(QStringLiteral("データベースファイル「%1」は他のプログラムが使用中のため、開けません。\n"
                                         "そのプログラムを終了してから、もう一度起動してください。")
                              .arg(shown),
                          detail);
    case OpeningFault::ReadOnly:
        return StoreError(QStringLiteral("データベースファイル「%1」は読み取りしかできない状態のため、開けません。\n"
                                         "このファイルとデータフォルダ「%2」に書き込みの権限があるか確認してください。")
                              .arg(shown, folder),
                          detail);
    case OpeningFault::DiskFull: {
        const qint64 free = bytesAvailable(QFileInfo(path).absolutePath());
        const QString freeText = free >= 0 ? QStringLiteral("（空き %L1 KB）").arg(free / 1024) : QString();
        return StoreError(QStringLiteral("ディスクの空き容量が足りないため、データベースファイル「%1」を開けません%2。\n"
                                         "不要なファイルを削除して空き容量を増やしてから、もう一度起動してください。")
                              .arg(shown, freeText),
                          detail);
    }
    case OpeningFault::InputOutput:
        return StoreError(QStringLiteral("データベースファイル「%1」を読み書きできません（入出力エラー）。\n"
                                         "ディスクやネットワークの接続を確かめてから、もう一度起動してください。")
                              .arg(shown),
                          detail);
    case OpeningFault::Other:
        break;
    }
    return StoreError(QStringLiteral("データベースファイル「%1」を開けません。").arg(shown), detail);
}

// One statement of the opening checks, run without throwing: SQLite's code tells the checks
// a damaged file from a busy or unwritable one.
struct OpeningCheck {
    int code = SQLITE_OK;
    QStringList rows;  // the first column of each row read, also those read before a failure
    QString error;
};

OpeningCheck runOpeningCheck(sqlite3* db, const char* sql)
{
    OpeningCheck check;
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            check.rows << QString::fromUtf8(text, sqlite3_column_bytes(stmt, 0));
        }
    }
    if (rc != SQLITE_DONE) {
        check.code = sqlite3_extended_errcode(db);
        check.error = check.code == SQLITE_IOERR_DATA ? checksumFailure() : QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_finalize(stmt);
    return check;
}

// What a check found wrong: its rows other than "ok", and a damage error that stopped it.
QStringList damageOf(const OpeningCheck& check)
{
    QStringList findings;
    for (const QString& row : check.rows) {
        if (row != u"ok")
            findings << row.split(u'\n', Qt::SkipEmptyParts);
    }
    if (check.code != SQLITE_OK)
        findings << check.error;
    return findings;
}

} // namespace

std::shared_ptr<Database> Database::forFolder(const QString& folder, OpeningChecks checks, OpeningObserver* observer,
                                              WhenReadOnly whenReadOnly)
{
    auto& databases = registry();
    const QString key = registryKey(folder);
    auto it = databases.find(key);
    if (it != databases.end())
        return it->second;
    auto db = std::make_shared<Database>(key, checks, observer, whenReadOnly);
    databases.emplace(key, db);
    return db;
}

void Database::closeFolder(const QString& folder)
{
    registry().erase(registryKey(folder));
}

void Database::closeAll()
{
    registry().clear();
}

void Database::closeAllForExit()
{
    for (auto& [key, database] : registry()) {
        sqlite3* connection = database->db_;
        if (!connection)
            continue;
        // The datasets' cursors too: a statement left open keeps the connection from closing.
        while (sqlite3_stmt* statement = sqlite3_next_stmt(connection, nullptr))
            sqlite3_finalize(statement);
        database->pool_.clear();
        sqlite3_close(connection);
        database->db_ = nullptr;
    }
    registry().clear();
}

Database::Database(const QString& folder, OpeningChecks checks, OpeningObserver* observer, WhenReadOnly whenReadOnly)
    : folder_(folder), protected_(folder), observer_(observer)
{
    const QFileInfo dir(folder_);
    if (!dir.exists())
        throw StoreError(QStringLiteral("データフォルダ「%1」が見つかりません。").arg(QDir::toNativeSeparators(folder_)));
    if (!dir.isDir())
        throw StoreError(QStringLiteral("「%1」はフォルダではありません。データフォルダにはフォルダを指定してください。")
                             .arg(QDir::toNativeSeparators(folder_)));

    const QString path = filePath();
    const QString shown = QDir::toNativeSeparators(path);
    QFile file(path);
    if (!file.exists()) {
        const QStringList leftovers = presentBooksFiles(folder_);
        if (leftovers.isEmpty())
            throw StoreError(QStringLiteral("データベースファイル「%1」が見つかりません。").arg(shown));
        throw StoreError(QStringLiteral("データベースファイル「%1」が見つかりません。\n"
                                        "フォルダには前の帳簿のファイル（%2）だけが残っています。"
                                        "バックアップからデータフォルダごと元に戻してください。")
                             .arg(shown, leftovers.join(QStringLiteral("、"))));
    }
    if (file.size() == 0)
        throw damagedBooks(path, QStringLiteral("ファイルの大きさが0バイトです。"));
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(QStringLiteral("データベースファイル「%1」を読めません: %2").arg(shown, file.errorString()));
    const QByteArray header = file.read(100);
    const qint64 fileSize = file.size();
    file.close();
    if (!header.startsWith(QByteArray("SQLite format 3\0", 16)))
        throw StoreError(QStringLiteral("「%1」はTolvaのデータベースではありません（SQLiteの形式ではありません）。").arg(shown));

    // Books in WAL mode never have a rollback journal. One beside them belongs to other books,
    // and SQLite would play it back into this file before any check could refuse it.
    const bool walFormat = header.size() >= 20 && header.at(18) == 2;
    const QFileInfo journal(path + QStringLiteral("-journal"));
    if (walFormat && journal.exists() && journal.size() > 0)
        throw StoreError(QStringLiteral("データフォルダ「%1」に、この帳簿のものではないジャーナルファイル「%2」があります。\n"
                                        "このまま開くと帳簿が書き換えられるおそれがあるため、開きません。"
                                        "このファイルを別の場所へ移してから、もう一度起動してください。")
                             .arg(QDir::toNativeSeparators(folder_), journal.fileName()));

    // The log left by a program that did not close the books is part of the books; one that
    // this opening creates is removed again when the books are refused.
    const QString walPath = path + QStringLiteral("-wal");
    const bool walExisted = QFileInfo::exists(walPath);
    // A log is left only by a program that did not close the books: one that crashed, was
    // killed, or lost its machine's power.
    const bool uncleanEnd = walExisted;
    uncleanEnd_ = uncleanEnd;

    // The checksums of the pages are kept and verified below SQLite, for every connection.
    checksumvfs::install();
    readOnlyCause_ = tolva::readOnlyCause(folder_);
    if (readOnlyCause_ && whenReadOnly == WhenReadOnly::Refuse)
        throw openingRefusal(OpeningFault::ReadOnly, path, readOnlyNotice());
    openConnection(path);

    bool readAttempted = false;
    bool lockRefused = false;
    // The fault an SQLite error of the checks stands for, with its words for the detail area.
    const auto refusal = [&](const OpeningCheck& check) {
        const OpeningFault fault = openingFaultOf(check.code, bytesAvailable(folder_));
        lockRefused = lockRefused || fault == OpeningFault::Busy;
        return openingRefusal(fault, path, check.error);
    };
    try {
        // SQLite falls back to reading only when the file may not be written; every later write
        // would fail, so the books are refused before anything is read, or opened for reading.
        if (!readOnlyCause_ && sqlite3_db_readonly(db_, "main") == 1) {
            if (whenReadOnly == WhenReadOnly::Refuse)
                throw openingRefusal(OpeningFault::ReadOnly, path, QString::fromUtf8(sqlite3_errstr(SQLITE_READONLY)));
            sqlite3_close_v2(db_);
            db_ = nullptr;
            readOnlyCause_ = ReadOnlyCause::File;
            openConnection(path);
        }

        // One program holds the books. In exclusive locking mode the lock is taken at the first
        // read, so another program's hold shows at once instead of after a wait, and the log's
        // index lives in this process's memory: no shared-memory file (-shm) is made or changed.
        // Books opened for reading take no such lock: it needs the file open for writing.
        if (!readOnlyCause_)
            exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"));
        exec(QStringLiteral("PRAGMA trusted_schema=OFF"));
        // Pages the opening did not read are checked as they are read: a damaged one is an
        // error instead of rows read from garbage.
        exec(QStringLiteral("PRAGMA cell_size_check=ON"));
        exec(QStringLiteral("PRAGMA query_only=ON"));

        readAttempted = true;
        const OpeningCheck appId = runOpeningCheck(db_, "PRAGMA application_id");
        if (appId.code != SQLITE_OK)
            throw refusal(appId);
        if (appId.rows.value(0).toLongLong() != kApplicationId)
            throw StoreError(QStringLiteral("「%1」はTolvaのデータベースではありません。").arg(shown));
        const OpeningCheck layout = runOpeningCheck(db_, "PRAGMA user_version");
        if (layout.code != SQLITE_OK)
            throw refusal(layout);
        if (layout.rows.value(0).toInt() > kSchemaVersion)
            throw StoreError(QStringLiteral("データベースファイル「%1」は、このTolvaより新しい版で作られた形式（%2）です。\n"
                                            "新しい版のTolvaで開いてください。")
                                 .arg(shown)
                                 .arg(layout.rows.value(0)));
        // Books of layout 3 on carry a checksum in every page; a header that says otherwise
        // was changed on the disk, and nothing read from them could be trusted.
        if (layout.rows.value(0).toInt() >= 3 && !checksumvfs::isChecksummed(db_))
            throw damagedBooks(path, QStringLiteral("ページのチェックサムの領域がありません（予約バイト数が%1ではありません）。")
                                         .arg(checksumvfs::kReserveBytes));

        QStringList findings;
        // Rows other than "ok" are findings; an error that is not damage refuses the books as
        // what it is (busy, unreadable, ...).
        const auto consider = [&](const OpeningCheck& check) {
            if (check.code != SQLITE_OK && openingFaultOf(check.code, -1) != OpeningFault::Damaged)
                throw refusal(check);
            findings << damageOf(check);
        };
        if (uncleanEnd) {
            // Read only, before anything of the log is folded into the file: refused books
            // keep their file, log and index byte for byte.
            if (observer_)
                observer_->wholeFileCheckStarted(path);
            const OpeningCheck integrity = runOpeningCheck(db_, "PRAGMA integrity_check");
            if (observer_)
                observer_->wholeFileCheckEnded();
            consider(integrity);
            fullyChecked_ = true;
        } else if (checks == OpeningChecks::Full) {
            consider(runOpeningCheck(db_, "PRAGMA quick_check"));
            fullyChecked_ = true;
        } else {
            // Without a log the file holds every page its header counts; a shorter one was cut.
            if (!walExisted && header.size() >= 96) {
                const auto word = [&](int at) {
                    return (quint32(quint8(header.at(at))) << 24) | (quint32(quint8(header.at(at + 1))) << 16)
                           | (quint32(quint8(header.at(at + 2))) << 8) | quint32(quint8(header.at(at + 3)));
                };
                const quint32 sizeField = (quint32(quint8(header.at(16))) << 8) | quint8(header.at(17));
                const qint64 pageSize = sizeField == 1 ? 65536 : sizeField;
                const qint64 pages = word(28);
                // The page count in the header counts only when the last writer kept it.
                if (word(24) == word(92) && pages > 0 && fileSize < pages * pageSize)
                    findings << QStringLiteral("ファイルが途中で切れています（%L1ページのはずが%L2バイト）。").arg(pages).arg(fileSize);
            }
            const OpeningCheck tableNames = runOpeningCheck(db_, "SELECT name FROM sqlite_schema WHERE type = 'table'");
            consider({tableNames.code, {}, tableNames.error});
            bool hasJournal = false;
            for (const QString& name : tableNames.rows) {
                if (!findings.isEmpty())
                    break;
                if (name.compare(u"shiwake", Qt::CaseInsensitive) == 0) {
                    hasJournal = true;
                    continue;
                }
                // The journal's history grows with the journal: read as its rows are asked for.
                if (name.compare(QLatin1String(history::kTableName), Qt::CaseInsensitive) == 0)
                    continue;
                QString quoted = name;
                quoted.replace(u'"', QStringLiteral("\"\""));
                consider(runOpeningCheck(db_, QStringLiteral("PRAGMA quick_check(\"%1\")").arg(quoted).toUtf8().constData()));
            }
            // The journal's root and the paths to its first and last rows.
            if (hasJournal && findings.isEmpty()) {
                OpeningCheck ends = runOpeningCheck(db_, "SELECT (SELECT rowid FROM shiwake ORDER BY rowid LIMIT 1),"
                                                         " (SELECT rowid FROM shiwake ORDER BY rowid DESC LIMIT 1)");
                ends.rows.clear();  // numbers, not findings
                consider(ends);
            }
        }
        if (!findings.isEmpty())
            throw damagedBooks(path, technicalLines(findings));

        loadTables();
        for (const QString& table : requiredTables()) {
            if (!tables_.contains(table.toLower()))
                throw StoreError(QStringLiteral("データベースファイル「%1」にテーブル「%2」がありません。").arg(shown, table));
        }

        exec(QStringLiteral("PRAGMA query_only=OFF"));
        if (readOnlyCause_) {
            // The connection cannot write the books; what is written from here on goes to memory.
            copyWorkTablesIntoMemory();
        } else {
            const OpeningCheck mode = runOpeningCheck(db_, "PRAGMA journal_mode=WAL");
            if (mode.code != SQLITE_OK)
                throw refusal(mode);
            exec(QStringLiteral("PRAGMA synchronous=FULL"));
            // A row replaced by INSERT OR REPLACE (another program may write so) is a delete and
            // an insert to the journal's row count too.
            exec(QStringLiteral("PRAGMA recursive_triggers=ON"));
            exec(QStringLiteral("PRAGMA foreign_keys=OFF"));
        }
    } catch (...) {
        // While the lock is still held no other program can be using a log this opening made.
        // Books opened for reading made none.
        if (!readOnlyCause_ && readAttempted && !lockRefused && !walExisted && QFileInfo(walPath).size() == 0)
            QFile::remove(walPath);
        sqlite3_close_v2(db_);
        db_ = nullptr;
        cancellation::throwIfRequested();
        throw;
    }
    observer_ = nullptr;
    // Closing folds the log into the file; a connection for reading has nothing to fold.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, readOnlyCause_ ? 1 : 0, nullptr);
    sqlite3_busy_timeout(db_, 5000);
}

int Database::progressHandler(void* self)
{
    if (cancellation::requested())
        return 1;
    auto* db = static_cast<Database*>(self);
    if (db->observer_ && ++db->progressCalls_ % 64 == 0)
        db->observer_->stillChecking();
    return 0;
}

void Database::openConnection(const QString& path)
{
    QByteArray name = path.toUtf8();
    int flags = SQLITE_OPEN_NOMUTEX;
    if (readOnlyCause_) {
        // A log with something in it holds writes of the books that are not in the file yet.
        // SQLite reads a log only through its index (-shm), which our program never makes (it
        // holds the books in exclusive locking mode) and which nothing may make here; read
        // without the log the books would silently lack those writes.
        const QString wal = path + QStringLiteral("-wal");
        const bool logged = QFileInfo(wal).size() > 0;
        if ((logged && !QFileInfo::exists(path + QStringLiteral("-shm"))) || QFileInfo(path + QStringLiteral("-journal")).size() > 0)
            throw StoreError(QStringLiteral("データフォルダ「%1」の帳簿は前回正しく閉じられていないため、"
                                            "書き込みできる場所へデータフォルダごとコピーしてから開いてください。")
                                 .arg(QDir::toNativeSeparators(folder_)),
                             readOnlyNotice());
        // Without a log the file is the whole of the books, and nobody can change it: SQLite
        // reads it as immutable, takes no lock, and never looks for a log nor makes one. A log
        // with its index beside it is read with the index held in this process's memory.
        name = "file:" + QUrl::toPercentEncoding(path, "/")
               + (logged ? QByteArrayLiteral("?mode=ro&readonly_shm=1") : QByteArrayLiteral("?mode=ro&immutable=1"));
        flags |= SQLITE_OPEN_READONLY | SQLITE_OPEN_URI;
    } else {
        // No SQLITE_OPEN_CREATE: the program never makes a database of its own.
        flags |= SQLITE_OPEN_READWRITE;
    }
    const int rc = sqlite3_open_v2(name.constData(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        const int code = db_ ? sqlite3_extended_errcode(db_) : rc;
        const QString detail = db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close(db_);
        db_ = nullptr;
        throw openingRefusal(openingFaultOf(code, bytesAvailable(folder_)), path, detail);
    }
    sqlite3_extended_result_codes(db_, 1);
    // A stop asked for (Ctrl-C, a termination signal) ends the statement running, whatever
    // it is reading; the write it belonged to then rolls back.
    sqlite3_progress_handler(db_, 1000, progressHandler, this);
    // The journal's triggers record each change under the command this connection names.
    history::registerFunctions(db_, &command_);
    // Until every check has passed, closing must not fold the log into the file: books that are
    // refused stay byte for byte as they were, log included.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
}

// Reports and the period aggregation write their work tables and read them back. On books
// opened for reading those tables are temporary ones of the same name and layout, filled with
// what the books hold: SQLite looks for a table among the temporary ones before the books',
// so every statement of those commands runs as it is, and the books stay as they are.
void Database::copyWorkTablesIntoMemory()
{
    exec(QStringLiteral("PRAGMA temp_store=MEMORY"));
    static const QRegularExpression createTable(QStringLiteral(R"(^\s*CREATE\s+TABLE\s+)"),
                                                QRegularExpression::CaseInsensitiveOption);
    for (const QString& table : workTables()) {
        Statement schema = prepare(
            QStringLiteral("SELECT name, sql FROM main.sqlite_schema WHERE type = 'table' AND name = ?1 COLLATE NOCASE"));
        schema.bind(1, table);
        if (!schema.step())
            continue;
        QString quoted = schema.column(0).toString();
        quoted.replace(u'"', QStringLiteral("\"\""));
        QString create = schema.column(1).toString();
        if (!createTable.match(create).hasMatch())
            continue;
        create.replace(createTable, QStringLiteral("CREATE TEMP TABLE "));
        exec(create);
        exec(QStringLiteral("INSERT INTO temp.\"%1\" SELECT * FROM main.\"%1\" ORDER BY rowid").arg(quoted));
    }
}

QString Database::readOnlyNotice() const
{
    return readOnlyCause_ ? tolva::readOnlyNotice(folder_, *readOnlyCause_) : QString();
}

Database::~Database()
{
    for (const auto& statements : std::as_const(pool_))
        for (sqlite3_stmt* stmt : statements)
            sqlite3_finalize(stmt);
    if (db_)
        sqlite3_close_v2(db_);
}

QString Database::filePath() const
{
    return QDir(folder_).filePath(QString::fromLatin1(kFileName));
}

Statement Database::prepare(const QString& sql)
{
    sqlite3_stmt* stmt = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(db_, utf8.constData(), int(utf8.size()), &stmt, nullptr);
    if (rc != SQLITE_OK) {
        const QString detail = QString::fromUtf8(sqlite3_errmsg(db_));
        if (stmt)
            sqlite3_finalize(stmt);
        throw StoreError(QStringLiteral("SQLの誤り: %1\n%2").arg(detail, sql.trimmed()));
    }
    return Statement(db_, stmt, sql);
}

const sqldialect::Translation& Database::translation(const QString& localSql)
{
    auto it = translations_.constFind(localSql);
    if (it == translations_.constEnd()) {
        if (translations_.size() > 512)
            translations_.clear();
        it = translations_.insert(localSql, sqldialect::translate(localSql, [this](const QString& stored) {
            return storedQueryText(stored);
        }));
    }
    return it.value();
}

Statement Database::prepareCached(const QString& sql)
{
    auto it = pool_.find(sql);
    if (it != pool_.end() && !it->isEmpty()) {
        sqlite3_stmt* stmt = it->takeLast();
        poolOrder_.removeOne(sql);
        return Statement(db_, stmt, sql);
    }
    return prepare(sql);
}

void Database::recycle(Statement&& statement)
{
    if (!statement.isValid())
        return;
    constexpr int kPooled = 64;
    const QString sql = statement.sql();
    statement.reset();
    pool_[sql].append(statement.release());
    poolOrder_.append(sql);
    while (poolOrder_.size() > kPooled) {
        const QString oldest = poolOrder_.takeFirst();
        auto it = pool_.find(oldest);
        if (it != pool_.end() && !it->isEmpty()) {
            sqlite3_finalize(it->takeFirst());
            if (it->isEmpty())
                pool_.erase(it);
        }
    }
}

void Database::exec(const QString& sql)
{
    char* error = nullptr;
    const int rc = sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        const QString detail = error ? QString::fromUtf8(error) : QString::number(rc);
        sqlite3_free(error);
        if (rc == SQLITE_INTERRUPT && cancellation::requested())
            throw cancellation::Cancelled();
        throw StoreError(statementError(db_, sqlite3_extended_errcode(db_), detail, sqlite3_system_errno(db_)));
    }
}

qint64 Database::lastInsertRowId() const
{
    return sqlite3_last_insert_rowid(db_);
}

int Database::changes() const
{
    return sqlite3_changes(db_);
}

void Database::raise(int code, const QString& context) const
{
    const QString detail = QString::fromUtf8(sqlite3_errmsg(db_));
    const QString message = statementError(db_, code, detail, sqlite3_system_errno(db_));
    throw StoreError(context.isEmpty() ? message : context + u'\n' + message);
}

namespace {

QString storedQueryFault(const QString& path, const QString& what)
{
    return QStringLiteral("問合せファイル「%1」%2\n"
                          "プログラムと同じ場所の DataTemplate フォルダにある同じ名前のファイルで置き換えてください。")
        .arg(QDir::toNativeSeparators(path), what);
}

// Why a stored query's text cannot serve as the list of codes its callers read, or nothing.
std::optional<QString> storedQueryProblem(sqlite3* db, const QString& path, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &stmt, &tail) != SQLITE_OK) {
        const QString detail = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(stmt);
        return storedQueryFault(path, QStringLiteral("は正しいSQLではありません（%1）。").arg(detail));
    }
    if (!stmt)
        return storedQueryFault(path, QStringLiteral("が空です。"));
    const auto finalize = qScopeGuard([&] { sqlite3_finalize(stmt); });
    sqlite3_stmt* second = nullptr;
    const int rest = sqlite3_prepare_v2(db, tail, -1, &second, nullptr);
    sqlite3_finalize(second);
    if (rest != SQLITE_OK || second)
        return storedQueryFault(path, QStringLiteral("には文が二つ以上あります。問合せは一つの SELECT 文でなければなりません。"));
    if (!sqlite3_stmt_readonly(stmt) || sqlite3_column_count(stmt) == 0)
        return storedQueryFault(path, QStringLiteral("は帳簿を書き換える文です。問合せは一つの SELECT 文でなければなりません。"));
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        if (QString::fromUtf8(sqlite3_column_name(stmt, i)).compare(u"code", Qt::CaseInsensitive) == 0)
            return std::nullopt;
    }
    return storedQueryFault(path, QStringLiteral("の結果に列「code」がありません。"));
}

} // namespace

QString Database::storedQueryText(const QString& name) const
{
    const QString path = QDir(folder_).filePath(name + QStringLiteral(".sql"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(QStringLiteral("問合せファイル「%1」が見つかりません。").arg(QDir::toNativeSeparators(path)));
    const QString text = QString::fromUtf8(file.readAll());
    if (const auto problem = storedQueryProblem(db_, path, text))
        throw StoreError(*problem);
    return text;
}

QStringList Database::storedQueryFindings() const
{
    QStringList findings;
    for (const QString& file : requiredStoredQueries()) {
        try {
            (void)storedQueryText(QFileInfo(file).completeBaseName());
        } catch (const StoreError& e) {
            findings << e.message();
        }
    }
    return findings;
}

QStringList Database::countDrift()
{
    QStringList drift;
    if (!hasTable(QStringLiteral("RowCount")) || !hasTable(QStringLiteral("DayCount")))
        return drift;
    Statement rows = prepare(QStringLiteral("SELECT (SELECT n FROM RowCount WHERE tableName = 'shiwake'), (SELECT count(*) FROM shiwake)"));
    if (rows.step() && rows.column(0) != rows.column(1))
        drift << QStringLiteral("仕訳の行数が %1 行と記録されていますが、実際は %L2 行です。")
                     .arg(rows.column(0).isNull() ? QStringLiteral("（記録なし）") : QStringLiteral("%L1").arg(rows.columnInt(0)))
                     .arg(rows.columnInt(1));
    Statement days = prepare(QStringLiteral(
        "SELECT sDay, sum(kept), sum(actual) FROM ("
        " SELECT sDay, n AS kept, 0 AS actual FROM DayCount"
        " UNION ALL SELECT sDay, 0, count(*) FROM shiwake WHERE sDay IS NOT NULL GROUP BY sDay)"
        " GROUP BY sDay HAVING sum(kept) <> sum(actual) ORDER BY sDay"));
    int wrongDays = 0;
    QStringList examples;
    while (days.step()) {
        if (++wrongDays <= 3)
            examples << QStringLiteral("%1: 記録 %L2 行、実際 %L3 行")
                            .arg(textformat::shortDate(QDate::fromString(days.column(0).toString(), Qt::ISODate)))
                            .arg(days.columnInt(1))
                            .arg(days.columnInt(2));
    }
    if (wrongDays > 0)
        drift << QStringLiteral("日ごとの仕訳の行数が %L1 日分、実際と違います（%2%3）。")
                     .arg(wrongDays)
                     .arg(examples.join(QStringLiteral("、")), wrongDays > 3 ? QStringLiteral(" ほか") : QString());
    return drift;
}

QStringList Database::repairCounts()
{
    Transaction transaction(*this);
    const QStringList drift = countDrift();
    if (drift.isEmpty())
        return drift;
    exec(QStringLiteral("DELETE FROM RowCount WHERE tableName = 'shiwake'"));
    exec(QStringLiteral("INSERT INTO RowCount (tableName, n) SELECT 'shiwake', count(*) FROM shiwake"));
    exec(QStringLiteral("DELETE FROM DayCount"));
    exec(QStringLiteral("INSERT INTO DayCount (sDay, n) SELECT sDay, count(*) FROM shiwake WHERE sDay IS NOT NULL GROUP BY sDay"));
    transaction.commit();
    return drift;
}

void Database::makeReadyForWriting(OpeningObserver* observer)
{
    observer_ = observer;
    auto forget = qScopeGuard([this] { observer_ = nullptr; });
    upgradeSchema();
    if (uncleanEnd_)
        (void)repairCounts();
}

int Database::schemaVersion()
{
    Statement version = prepare(QStringLiteral("PRAGMA user_version"));
    return version.step() ? int(version.columnInt(0)) : 0;
}

namespace {

// Layout 2: the sub-account indexes leave out rows without a sub-account, and triggers keep the
// journal's row count and its rows per day. The texts are those of a new data folder's
// schema, so that upgraded books and new ones are alike.
const QStringList& layoutTwoStatements()
{
    static const QStringList statements = {
        QStringLiteral("DROP INDEX IF EXISTS shiwake_LScode"),
        QStringLiteral("DROP INDEX IF EXISTS shiwake_RScode"),
        QStringLiteral("CREATE INDEX shiwake_LScode ON shiwake (LScode, sDay, syori, Lgaku) WHERE LScode IS NOT NULL"),
        QStringLiteral("CREATE INDEX shiwake_RScode ON shiwake (RScode, sDay, syori, Rgaku) WHERE RScode IS NOT NULL"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS RowCount (tableName TEXT NOT NULL PRIMARY KEY, n INTEGER NOT NULL)"),
        QStringLiteral("DELETE FROM RowCount WHERE tableName = 'shiwake'"),
        QStringLiteral("INSERT INTO RowCount (tableName, n) SELECT 'shiwake', count(*) FROM shiwake"),
        QStringLiteral("DROP TABLE IF EXISTS DayCount"),
        QStringLiteral("CREATE TABLE DayCount (sDay DATE NOT NULL PRIMARY KEY, n INTEGER NOT NULL)"),
        QStringLiteral("INSERT INTO DayCount (sDay, n) SELECT sDay, count(*) FROM shiwake WHERE sDay IS NOT NULL GROUP BY sDay"),
        QStringLiteral("DROP TRIGGER IF EXISTS shiwake_counted_insert"),
        QStringLiteral("DROP TRIGGER IF EXISTS shiwake_counted_delete"),
        QStringLiteral("DROP TRIGGER IF EXISTS shiwake_counted_redate"),
        QStringLiteral(
            "CREATE TRIGGER shiwake_counted_insert AFTER INSERT ON shiwake BEGIN UPDATE RowCount SET n = n + 1 WHERE tableName = "
            "'shiwake'; INSERT INTO DayCount (sDay, n) SELECT new.sDay, 1 WHERE new.sDay IS NOT NULL ON CONFLICT (sDay) DO UPDATE "
            "SET n = n + 1; END"),
        QStringLiteral(
            "CREATE TRIGGER shiwake_counted_delete AFTER DELETE ON shiwake BEGIN UPDATE RowCount SET n = n - 1 WHERE tableName = "
            "'shiwake'; UPDATE DayCount SET n = n - 1 WHERE sDay = old.sDay; DELETE FROM DayCount WHERE sDay = old.sDay AND n <= 0; "
            "END"),
        QStringLiteral(
            "CREATE TRIGGER shiwake_counted_redate AFTER UPDATE OF sDay ON shiwake WHEN old.sDay IS NOT new.sDay BEGIN UPDATE "
            "DayCount SET n = n - 1 WHERE sDay = old.sDay; DELETE FROM DayCount WHERE sDay = old.sDay AND n <= 0; INSERT INTO "
            "DayCount (sDay, n) SELECT new.sDay, 1 WHERE new.sDay IS NOT NULL ON CONFLICT (sDay) DO UPDATE SET n = n + 1; END"),
    };
    return statements;
}

// Layout 4: the settings of the blue-return statement, which line of the form each account
// goes to (only the accounts the user moved; the others follow their defaults) and the
// special deduction chosen per year. The texts are those of a new folder's schema.
const QStringList& layoutFourStatements()
{
    static const QStringList statements = {
        QStringLiteral("CREATE TABLE IF NOT EXISTS KessanLine (kcode TEXT NOT NULL PRIMARY KEY, line TEXT NOT NULL)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS KessanKoujo (nen INTEGER NOT NULL PRIMARY KEY, gaku INTEGER NOT NULL)"),
    };
    return statements;
}

// The later layouts are tables and triggers, added to books of any older layout: 4 the
// blue-return settings, 5 the journal's change history, starting from the rows the journal
// holds.
QStringList laterLayoutStatements(int version)
{
    QStringList statements;
    if (version < 4)
        statements << layoutFourStatements();
    if (version < 5)
        statements << history::upgradeStatements();
    return statements;
}

// A statement on a connection of its own (the copy being upgraded), errors told as the
// books' own.
void execOn(sqlite3* db, const QString& sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const QString detail = error ? QString::fromUtf8(error) : QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_free(error);
        throw StoreError(readableError(sqlite3_extended_errcode(db), detail, sqlite3_system_errno(db)));
    }
}

} // namespace

// Layout 3 puts a checksum in every page, which takes rewriting every page with room for it
// (VACUUM); VACUUM cannot run inside a transaction, and the books must change whole or not at
// all. So the new books are made beside the old ones and put in their place in one
// transaction of the books:
//  1. VACUUM INTO a temporary file beside the books, with 8 reserved bytes per page: a copy
//     whose pages carry their checksums (the layer seals every page written);
//  2. the copy brought to this layout (the statements of layout 2 for older books, the
//     layout number) in a transaction of its own;
//  3. the copy's pages written over the books' through SQLite's online backup, which is one
//     write transaction of the books: a kill or a full disk before its commit leaves the old
//     books, the log's unfinished frames being ignored;
//  4. the log folded into the file, the copy removed.
// A copy left by a killed upgrade is removed when the folder is next taken (tempfiles::sweep).
void Database::upgradeSchema()
{
    const int version = schemaVersion();
    if (version >= kSchemaVersion)
        return;
    if (readOnlyCause_)
        throw StoreError(readOnlyNotice() + QStringLiteral("帳簿を新しい形式にはできません。"));
    const QString shown = QDir::toNativeSeparators(filePath());
    const auto failure = [&](const QString& reason) {
        return StoreError(QStringLiteral("データベースファイル「%1」を新しい形式にできません。帳簿は元のままです。\n%2").arg(shown, reason));
    };
    // Pages that carry their checksums already: the later layouts are tables and triggers,
    // added in one transaction of the books.
    if (version >= 3) {
        if (observer_)
            observer_->upgrading(0);
        try {
            Transaction transaction(*this);
            for (const QString& statement : laterLayoutStatements(version))
                exec(statement);
            exec(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion));
            transaction.commit();
        } catch (const StoreError& e) {
            throw failure(e.message());
        }
        loadTables();
        if (observer_)
            observer_->upgrading(100);
        return;
    }

    QString copyPath;
    {
        QTemporaryFile file(tempfiles::templateFor(filePath()));
        file.setAutoRemove(false);
        if (!file.open())
            throw failure(QStringLiteral("作業用のファイルを作成できません: %1").arg(file.errorString()));
        copyPath = file.fileName();
    }
    // The share of the whole each step takes on books of a million rows: the copy, the
    // indexes of layout 2, the copy written over the books, the log folded into the file.
    const auto progress = [this](int percent) {
        if (observer_)
            observer_->upgrading(percent);
    };
    progress(0);
    sqlite3* copy = nullptr;
    const auto removeCopy = [&] {
        sqlite3_close_v2(copy);
        copy = nullptr;
        for (const char* suffix : {"", "-journal", "-wal", "-shm"})
            QFile::remove(copyPath + QString::fromLatin1(suffix));
    };
    auto removeCopyOnFailure = qScopeGuard(removeCopy);

    try {
        int reserve = checksumvfs::kReserveBytes;
        sqlite3_file_control(db_, "main", SQLITE_FCNTL_RESERVE_BYTES, &reserve);
        QString quoted = copyPath;
        quoted.replace(u'\'', QStringLiteral("''"));
        exec(QStringLiteral("VACUUM INTO '%1'").arg(quoted));
        progress(35);

        if (sqlite3_open_v2(QFile::encodeName(copyPath).constData(), &copy, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            throw StoreError(readableError(sqlite3_extended_errcode(copy), QString::fromUtf8(sqlite3_errmsg(copy))));
        sqlite3_extended_result_codes(copy, 1);
        // The copy's statements answer a stop and keep the notice alive as the books' do.
        sqlite3_progress_handler(copy, 1000, progressHandler, this);
        // The copy is only a step: what reaches the books is synced with them.
        execOn(copy, QStringLiteral("PRAGMA synchronous=OFF"));
        execOn(copy, QStringLiteral("BEGIN IMMEDIATE"));
        if (version < 2) {
            for (const QString& statement : layoutTwoStatements())
                execOn(copy, statement);
        }
        for (const QString& statement : laterLayoutStatements(version))
            execOn(copy, statement);
        execOn(copy, QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion));
        execOn(copy, QStringLiteral("COMMIT"));
        progress(55);
        if (!checksumvfs::isChecksummed(copy))
            throw StoreError(QStringLiteral("作業用のファイルにページのチェックサムの領域がありません。"));

        checksumvfs::Conversion conversion(db_);
        sqlite3_backup* backup = sqlite3_backup_init(db_, "main", copy, "main");
        if (!backup)
            throw StoreError(readableError(sqlite3_extended_errcode(db_), QString::fromUtf8(sqlite3_errmsg(db_))));
        // In steps, to tell how far it has come: the books stay locked for writing from the
        // first step to the last, and change in the one transaction the last step commits.
        int rc = SQLITE_OK;
        while (rc == SQLITE_OK) {
            rc = sqlite3_backup_step(backup, 4096);
            const int total = sqlite3_backup_pagecount(backup);
            if (total > 0)
                progress(55 + 35 * (total - sqlite3_backup_remaining(backup)) / total);
            if (rc == SQLITE_OK && cancellation::requested())
                rc = SQLITE_INTERRUPT;
        }
        sqlite3_backup_finish(backup);
        if (rc != SQLITE_DONE)
            throw StoreError(readableError(sqlite3_extended_errcode(db_), QString::fromUtf8(sqlite3_errstr(rc)), sqlite3_system_errno(db_)));
        conversion.committed();
    } catch (const StoreError& e) {
        throw failure(e.message());
    }
    removeCopyOnFailure.dismiss();
    removeCopy();
    // The books are of the new layout from the commit on; the log holds all of them until it is
    // folded in, which happens again at the next checkpoint or when the books are closed if it
    // fails here.
    sqlite3_exec(db_, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    loadTables();
    progress(100);
}

QStringList Database::damageFindings()
{
    const OpeningCheck check = runOpeningCheck(db_, "PRAGMA quick_check");
    if (check.code != SQLITE_OK && openingFaultOf(check.code, -1) != OpeningFault::Damaged)
        throw StoreError(QStringLiteral("帳簿を検査できません。\n") + readableError(check.code, check.error));
    return damageOf(check);
}

void Database::loadTables()
{
    tables_.clear();
    currencyColumns_.clear();
    Statement list = prepare(QStringLiteral("SELECT name FROM sqlite_schema WHERE type='table' AND name NOT LIKE 'sqlite_%'"));
    QStringList names;
    while (list.step())
        names << list.column(0).toString();
    QSet<QString> otherColumns;
    for (const QString& name : names) {
        TableInfo info;
        info.name = name;
        Statement columns = prepare(QStringLiteral("PRAGMA table_info(\"%1\")").arg(name));
        QList<std::pair<int, QString>> keys;
        while (columns.step()) {
            ColumnInfo column;
            column.name = columns.column(1).toString();
            column.type = fieldTypeFromDeclared(columns.column(2).toString());
            column.notNull = columns.columnInt(3) != 0;
            const int pk = int(columns.columnInt(5));
            column.primaryKey = pk > 0;
            if (pk > 0)
                keys.append({pk, column.name});
            if (column.type == FieldType::Currency)
                currencyColumns_.insert(column.name.toLower());
            else
                otherColumns.insert(column.name.toLower());
            info.columns << column;
        }
        std::sort(keys.begin(), keys.end());
        for (const auto& key : keys)
            info.keyColumns << key.second;
        if (info.keyColumns.size() == 1) {
            for (ColumnInfo& column : info.columns) {
                if (column.name == info.keyColumns.first() && column.type == FieldType::Integer) {
                    column.type = FieldType::AutoInc;
                    info.keyIsRowId = true;
                }
            }
        }
        tables_.insert(name.toLower(), info);
    }
    // A name that is an amount in one table and something else in another tells nothing
    // about what a SUM over it yields.
    for (const QString& name : std::as_const(otherColumns))
        currencyColumns_.remove(name);
    tablesLoaded_ = true;
}

const TableInfo& Database::tableInfo(const QString& name)
{
    const QString key = name.toLower();
    auto it = tables_.constFind(key);
    if (it == tables_.constEnd()) {
        loadTables();
        it = tables_.constFind(key);
        if (it == tables_.constEnd())
            throw StoreError(QStringLiteral("テーブル「%1」がデータベース「%2」にありません。")
                                 .arg(name, QDir::toNativeSeparators(filePath())));
    }
    return it.value();
}

bool Database::hasTable(const QString& name)
{
    return tables_.contains(name.toLower());
}

const QSet<QString>& Database::currencyColumns()
{
    return currencyColumns_;
}

// --- Transaction -----------------------------------------------------------------------

Transaction::Transaction(Database& db) : db_(db)
{
    if (db_.transactionDepth_ == 0) {
        db_.exec(QStringLiteral("BEGIN IMMEDIATE"));
        outermost_ = true;
    }
    ++db_.transactionDepth_;
}

Transaction::~Transaction()
{
    --db_.transactionDepth_;
    if (outermost_ && !done_) {
        // A failed write leaves the books as they were before the action began.
        sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

void Transaction::commit()
{
    if (outermost_ && !done_) {
        db_.exec(QStringLiteral("COMMIT"));
        cancellation::noteWriteCommitted();
    }
    done_ = true;
}

} // namespace tolva
