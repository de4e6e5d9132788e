#pragma once

#include "db/database.h"
#include "db/money.h"

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace tolva {

class Dataset;

struct FieldDef {
    QString name;
    FieldType type = FieldType::Unknown;
    bool readOnly = false;
    bool computed = false;  // calculated or looked up, not stored
};

// A field that is not stored but derived from the current row: a calculated figure or a name
// looked up by a code. `compute` runs whenever the row or one of its stored fields changes.
// A value assigned to it goes to `assign`, which may check it and set stored fields; without
// `assign` the field is read-only.
struct ComputedField {
    QString name;
    FieldType type = FieldType::Unknown;
    std::function<QVariant(Dataset&)> compute;
    std::function<void(Dataset&, const QVariant&)> assign;
};

// One field of a dataset's current row. A light handle: cheap to copy, valid while the
// dataset keeps its field list (until it is closed).
class Field {
public:
    Field(Dataset* dataset, int index) : dataset_(dataset), index_(index) {}

    [[nodiscard]] int index() const { return index_; }
    [[nodiscard]] QString name() const;
    [[nodiscard]] FieldType type() const;
    [[nodiscard]] bool isNumeric() const { return isNumericType(type()); }

    [[nodiscard]] bool isNull() const;
    // A null number reads as 0, a null text as an empty text.
    [[nodiscard]] QString asString() const;
    [[nodiscard]] qint64 asInteger() const;
    [[nodiscard]] double asFloat() const;
    [[nodiscard]] Money asMoney() const;
    [[nodiscard]] QDate asDate() const;
    [[nodiscard]] QDateTime asDateTime() const;
    // The value in its natural type: QString, qint64, double, Money, QDate or QDateTime.
    [[nodiscard]] QVariant value() const;

    void setValue(const QVariant& value);
    void setString(const QString& text);
    void setInteger(qint64 value) { setValue(QVariant(value)); }
    void setFloat(double value) { setValue(QVariant(value)); }
    void setMoney(Money value) { setValue(QVariant::fromValue(value)); }
    void setDate(const QDate& value) { setValue(QVariant(value)); }
    void clear() { setValue(QVariant()); }

private:
    Dataset* dataset_;
    int index_;
};

// The common ground of tables and queries: a current row, navigation, the edit states and
// a change notification for bound controls.
class Dataset : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };

    explicit Dataset(QString name, QObject* parent = nullptr);
    ~Dataset() override;

    [[nodiscard]] const QString& datasetName() const { return name_; }

    // The data folder whose database this dataset reads; setting it opens nothing.
    void setDatabaseName(const QString& folder);
    [[nodiscard]] const QString& databaseName() const { return folder_; }

    void open();
    void close();
    [[nodiscard]] bool isActive() const { return state_ != State::Inactive; }
    [[nodiscard]] State state() const { return state_; }

    void first();
    void next();
    void prior();
    void last();
    [[nodiscard]] bool eof() const { return eof_; }
    [[nodiscard]] bool bof() const { return bof_; }
    [[nodiscard]] bool isEmpty() const { return empty_; }
    [[nodiscard]] virtual qint64 recordCount() = 0;

    [[nodiscard]] int fieldCount() const { return int(fields_.size()); }
    [[nodiscard]] const QVector<FieldDef>& fieldDefs() const { return fields_; }
    [[nodiscard]] Field field(int index);
    [[nodiscard]] Field fieldByName(const QString& name);
    [[nodiscard]] std::optional<Field> findField(const QString& name);
    [[nodiscard]] int fieldIndex(const QString& name) const;

    void append();
    void insert() { append(); }
    void edit();
    void post();
    void cancel();
    void remove();
    // Posts or cancels a pending row, then reads the current row again from the database
    // (another window may have changed it); a row that is gone moves to the first.
    void refresh();
    // Posts a modified row, cancels an untouched one: what moving off a row does.
    void checkBrowseMode();
    [[nodiscard]] bool isModified() const { return modified_; }

    // Moves to the first row whose field equals the value exactly; false leaves the
    // current row where it was.
    bool locate(const QString& fieldName, const QVariant& value);

    // While suspended, bound controls are not told of changes; resuming tells them once.
    void disableControls();
    void enableControls();
    [[nodiscard]] bool controlsDisabled() const { return disableCount_ > 0; }

    // The new-row default: called on append, after the row is cleared.
    std::function<void(Dataset&)> onNewRecord;
    // The row's own rule, checked by post() after the bound controls have applied their text
    // and before the row is written; throwing refuses the post and the row stays in editing.
    // Leaving an untouched new row discards it without asking.
    std::function<void(Dataset&)> onBeforePost;

    // Called before a row is posted or left: a bound control applies what is typed but not
    // yet written to its field, and throws when the text is not acceptable, which stops the
    // post. Dropped when `owner` is destroyed.
    void addUpdateHook(QObject* owner, std::function<void()> hook);

    // Adds a computed field after the stored ones; kept across close and open.
    void addComputedField(ComputedField field);
    // Stored fields come first; computed ones follow from this index.
    [[nodiscard]] int storedFieldCount() const { return computedAppended_ ? storedCount_ : int(fields_.size()); }

    // Raw access for fields.
    [[nodiscard]] const QVariant& currentValue(int index) const;
    void setCurrentValue(int index, const QVariant& value);

    [[nodiscard]] std::shared_ptr<Database> database();
    // The books this open dataset reads were opened for reading only (Database::readOnly):
    // append, edit and remove are refused, and bound controls offer no editing.
    [[nodiscard]] bool booksReadOnly() const { return db_ && db_->readOnly(); }

signals:
    // A field of the current row changed (its index), or the current row itself changed,
    // the dataset was opened or its state changed (-1). Bound controls refresh on it.
    void dataChanged(int fieldIndex);
    void stateChanged();
    void opened();
    void closed();

protected:
    // Implemented by tables and queries. Each fills `fields_`, `current_` and the flags.
    virtual void doOpen() = 0;
    virtual void doClose() = 0;
    virtual bool doFirst() = 0;
    virtual bool doLast() = 0;
    virtual bool doNext() = 0;
    virtual bool doPrior() = 0;
    virtual bool doLocate(int fieldIndex, const QVariant& storageValue) = 0;
    virtual void doPost(bool inserting) = 0;
    virtual void doDelete() = 0;
    virtual void doRefresh() = 0;
    [[nodiscard]] virtual bool canModify() const { return false; }

    void notify(int fieldIndex);
    void appendComputedFieldDefs();
    void refreshComputed();
    void runUpdateHooks();
    void requireActive(const char* action) const;
    void requireBrowse();
    // A change of books opened for reading is refused with what the user can do about it.
    void requireWritableBooks() const;

    // Converts between the database's storage values and field values.
    [[nodiscard]] QVariant toFieldValue(int index, const QVariant& storage) const;
    [[nodiscard]] QVariant toStorageValue(int index, const QVariant& value) const;

    QString name_;
    QString folder_;
    std::shared_ptr<Database> db_;
    QVector<FieldDef> fields_;
    QVector<QVariant> current_;   // field values of the current row
    QVector<QVariant> saved_;     // the row before edit began
    State state_ = State::Inactive;
    bool eof_ = true;
    bool bof_ = true;
    bool empty_ = true;
    bool modified_ = false;
    int disableCount_ = 0;
    bool pendingNotify_ = false;
    QVector<ComputedField> computed_;
    bool computing_ = false;
    mutable QHash<QString, int> fieldsByName_;  // exact and lower-case names
    mutable qsizetype indexedFields_ = -1;
    QVector<std::pair<QPointer<QObject>, std::function<void()>>> updateHooks_;
    bool computedAppended_ = false;
    int storedCount_ = 0;
};

// A table of the data folder, in the order of its primary key (or of insertion). Keeps only
// the current row in memory: navigation runs one indexed statement per step, so a table of
// a million rows opens and moves at once.
class Table : public Dataset {
    Q_OBJECT
public:
    explicit Table(QString name, QObject* parent = nullptr) : Dataset(std::move(name), parent) {}

    // "shiwake.DB", "Jigyounushi.db" and "kamoku02" are all accepted; closes the table.
    void setTableName(const QString& name);
    [[nodiscard]] const QString& tableName() const { return tableName_; }

    qint64 recordCount() override;
    [[nodiscard]] qint64 currentRowId() const { return rowId_; }

    // An SQL condition on the table's columns ("AID=3") that limits which rows the table
    // moves through and counts; empty for all rows. An open table goes to its first row
    // that passes. A row just posted stays current even when it does not pass, as a card
    // file shows the card just written.
    void setFilter(const QString& condition);
    [[nodiscard]] const QString& filter() const { return filter_; }
    // The commands a post and a delete of this table are recorded under in the journal's
    // change history (empty: the caller's command, or none).
    void setHistoryCommands(const QString& post, const QString& remove)
    {
        postCommand_ = post;
        removeCommand_ = remove;
    }

protected:
    void doOpen() override;
    void doClose() override;
    bool doFirst() override;
    bool doLast() override;
    bool doNext() override;
    bool doPrior() override;
    bool doLocate(int fieldIndex, const QVariant& storageValue) override;
    void doPost(bool inserting) override;
    void doDelete() override;
    void doRefresh() override;
    [[nodiscard]] bool canModify() const override { return true; }

private:
    bool fetchOne(const QString& where, const QVector<QVariant>& binds, bool descending, bool filtered = true);
    bool loadByRowId(qint64 rowId);
    [[nodiscard]] QVector<QVariant> keyValues() const;

    QString tableName_;
    QString filter_;
    QString postCommand_;
    QString removeCommand_;
    TableInfo info_;
    QString columnList_;
    QStringList orderColumns_;  // key columns followed by rowid, or just rowid
    qint64 rowId_ = 0;
    std::map<QString, Statement> navigation_;  // prepared navigation statements by text
    QVector<QVariant> currentStorage_;  // storage values of the current row's key columns
    std::optional<qint64> cachedCount_;
};

// A query: its SQL text is set at run time and its rows are read as they are needed. The
// rows already read stay cached, so going back and grid display are cheap; memory follows
// what was read, not the size of the result.
class Query : public Dataset {
    Q_OBJECT
public:
    explicit Query(QString name, QObject* parent = nullptr) : Dataset(std::move(name), parent) {}

    // Replaces the SQL text; closes the query and forgets parameter values and declared
    // currency columns.
    void setSql(const QString& sql);
    void setSql(const QStringList& lines) { setSql(lines.join(u'\n')); }
    // The same, declaring the result columns that hold amounts where SQLite cannot tell.
    void setSql(const QString& sql, const QStringList& currencyColumns);
    [[nodiscard]] const QString& sql() const { return sql_; }

    // A result column is an amount when it is a currency column of a table, or a
    // "SUM(column) AS name" over one. Any other expression (MAX, TOTAL, IFNULL(SUM(…), 0),
    // CASE, arithmetic, a sum without a name) has no type SQLite can tell, and reading an
    // amount from it is an error: the stored value is in ten-thousandths of a yen, and
    // guessing wrong reads it 10,000 times too large. Such columns are declared here, by
    // name; a declared name the result lacks, or one SQLite types as something else, is an
    // error when the query opens. Kept until the SQL is replaced.
    void setCurrencyColumns(const QStringList& names);

    // One way through the rows, keeping only the current one: an export of a million rows
    // holds one row in memory instead of the whole result. Moving back (first after next,
    // prior, locate) is refused; recordCount still counts. Not for grids. Kept until changed.
    void setUniDirectional(bool on);
    [[nodiscard]] bool uniDirectional() const { return uniDirectional_; }
    // A closed one-way query over the same books with this one's SQL, parameter values,
    // currency columns and computed fields: to read a whole result once (a report, an export) without filling
    // this query's cache, which a grid over it would otherwise keep for as long as it is open.
    [[nodiscard]] std::unique_ptr<Query> oneWayCopy() const;

    [[nodiscard]] int paramCount() const { return int(occurrences_.size()); }
    [[nodiscard]] QStringList paramNames() const { return occurrences_; }
    // By occurrence number from 0, or by name; a QString, QDate, integer or Money value.
    void setParam(int occurrence, const QVariant& value);
    void setParam(const QString& name, const QVariant& value);

    // Runs a statement without result (DELETE, INSERT, UPDATE); returns the rows changed.
    int execSql();

    qint64 recordCount() override;

    // Rows in order of reading, for grids.
    [[nodiscard]] int rowsRead() const { return int(rows_.size()); }
    [[nodiscard]] bool allRowsRead() const { return exhausted_; }
    // Reads on until `count` rows are cached or the result ends; returns the rows cached.
    int fetchUntil(int count);
    [[nodiscard]] const QVector<QVariant>& rowAt(int index) const { return rows_.at(index); }
    [[nodiscard]] int currentIndex() const { return cursor_; }
    // Makes the cached row `index` current.
    void moveTo(int index);

protected:
    void doOpen() override;
    void doClose() override;
    bool doFirst() override;
    bool doLast() override;
    bool doNext() override;
    bool doPrior() override;
    bool doLocate(int fieldIndex, const QVariant& storageValue) override;
    void doPost(bool inserting) override;
    void doDelete() override;
    void doRefresh() override;

private:
    bool readOne();
    void requireBackward(const char* action) const;
    void bindAll(Statement& statement, const QStringList& distinctNames) const;
    [[nodiscard]] QVariant paramValue(const QString& name) const;

    QString sql_;
    QStringList currencyColumns_;
    QStringList occurrences_;
    QHash<QString, QVariant> values_;  // key: lower-case name; storage values
    QString translated_;
    QStringList distinctNames_;
    Statement cursorStatement_;
    QVector<QVector<QVariant>> rows_;  // field values
    int cursor_ = -1;
    bool exhausted_ = false;
    bool uniDirectional_ = false;
    qint64 rowsStepped_ = 0;
};

} // namespace tolva
