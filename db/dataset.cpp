#include "dataset.h"

#include "sqldialect.h"
#include "textformat.h"

#include <QLocale>

#include <sqlite3.h>

#include <cmath>

namespace tolva {

namespace {

QString quoted(const QString& identifier)
{
    return u'"' + QString(identifier).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

qint64 roundToInteger(double value)
{
    return qint64(std::llround(value));
}

// A real number read from a currency column: SQLite's TOTAL and AVG give one, in the stored
// unit. Only a whole number of units below 2^53 is exact; anything else would be a guess.
Money currencyFromStoredReal(double units, const QString& field)
{
    constexpr double kExactLimit = 9007199254740992.0;  // 2^53
    if (!std::isfinite(units) || units != std::trunc(units) || std::fabs(units) > kExactLimit)
        throw StoreError(QStringLiteral("項目「%1」の値 %2 は金額として正確に読めません。")
                             .arg(field, QString::number(units, 'g', 17)));
    return Money::fromUnits(qint64(units));
}

// A floating-point number of yen set into a currency field. The double holds the binary
// neighbour of what was meant; its shortest decimal form is what was meant (0.1, not
// 0.1000000000000000055…). A value that needs more than four decimals, or is too large to
// write without an exponent, is refused rather than rounded.
Money currencyFromYenDouble(double yen, const QString& field)
{
    const QString text = std::isfinite(yen) ? QString::number(yen, 'f', QLocale::FloatingPointShortest) : QString();
    if (const auto parsed = textformat::parseAmount(text))
        return *parsed;
    throw StoreError(QStringLiteral("項目「%1」に %2 は設定できません。金額は小数第4位までです。")
                         .arg(field, QString::number(yen, 'g', 17)));
}

Money currencyFromWholeYen(qint64 yen, const QString& field)
{
    qint64 units = 0;
    if (__builtin_mul_overflow(yen, Money::kUnitsPerYen, &units))
        throw StoreError(QStringLiteral("項目「%1」に %2 は設定できません。金額が大きすぎます。").arg(field).arg(yen));
    return Money::fromUnits(units);
}

// A parameter value as it is bound: dates as ISO text, money as its exact units.
QVariant parameterStorage(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return {};
    if (value.canConvert<Money>() && value.typeId() == qMetaTypeId<Money>())
        return QVariant(value.value<Money>().units());
    switch (value.typeId()) {
    case QMetaType::QDate:
        return textformat::isoDate(value.toDate());
    case QMetaType::QDateTime:
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return QVariant(value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return QVariant(value.toDouble());
    default:
        return QVariant(value.toString());
    }
}

} // namespace

// --- Field -----------------------------------------------------------------------------

QString Field::name() const
{
    return dataset_->fieldDefs().at(index_).name;
}

FieldType Field::type() const
{
    return dataset_->fieldDefs().at(index_).type;
}

bool Field::isNull() const
{
    const QVariant& v = dataset_->currentValue(index_);
    return !v.isValid() || v.isNull();
}

QVariant Field::value() const
{
    return dataset_->currentValue(index_);
}

QString Field::asString() const
{
    const QVariant& v = dataset_->currentValue(index_);
    if (!v.isValid() || v.isNull())
        return {};
    switch (v.typeId()) {
    case QMetaType::QString:
        return v.toString();
    case QMetaType::LongLong:
        return QString::number(v.toLongLong());
    case QMetaType::Double:
        return QString::number(v.toDouble(), 'g', 15);
    case QMetaType::QDate:
        return textformat::shortDate(v.toDate());
    case QMetaType::QDateTime:
        return v.toDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    default:
        if (v.typeId() == qMetaTypeId<Money>())
            return textformat::plainAmount(v.value<Money>());
        return v.toString();
    }
}

qint64 Field::asInteger() const
{
    const QVariant& v = dataset_->currentValue(index_);
    if (!v.isValid() || v.isNull())
        return 0;
    switch (v.typeId()) {
    case QMetaType::LongLong:
        return v.toLongLong();
    case QMetaType::Double:
        return roundToInteger(v.toDouble());
    case QMetaType::QString: {
        bool ok = false;
        const qint64 n = v.toString().trimmed().toLongLong(&ok);
        if (!ok)
            throw StoreError(QStringLiteral("「%1」は項目「%2」の整数値として正しくありません。").arg(v.toString(), name()));
        return n;
    }
    default:
        if (v.typeId() == qMetaTypeId<Money>())
            return v.value<Money>().roundedToYen();
        throw StoreError(QStringLiteral("項目「%1」は整数として読めません。").arg(name()));
    }
}

double Field::asFloat() const
{
    const QVariant& v = dataset_->currentValue(index_);
    if (!v.isValid() || v.isNull())
        return 0.0;
    // Amounts are exact; a figure computed from one goes through Money and Rate.
    if (v.typeId() == qMetaTypeId<Money>())
        throw StoreError(QStringLiteral("金額の項目「%1」は浮動小数点数として読めません。").arg(name()));
    if (v.typeId() == QMetaType::QString) {
        bool ok = false;
        const double d = v.toString().trimmed().toDouble(&ok);
        if (!ok)
            throw StoreError(QStringLiteral("「%1」は項目「%2」の数値として正しくありません。").arg(v.toString(), name()));
        return d;
    }
    return v.toDouble();
}

Money Field::asMoney() const
{
    // Decided by the column's type, never by the value: a number in a column of unknown type
    // may be whole yen or ten-thousandths, and an empty row must fail the same way a full
    // one does.
    if (type() != FieldType::Currency)
        throw StoreError(QStringLiteral("項目「%1」は金額の列ではないため、金額として読めません。"
                                        "（式の列は問合せで金額の列として指定してください）")
                             .arg(name()));
    const QVariant& v = dataset_->currentValue(index_);
    if (!v.isValid() || v.isNull())
        return {};
    if (v.typeId() == qMetaTypeId<Money>())
        return v.value<Money>();
    throw StoreError(QStringLiteral("項目「%1」の値「%2」は金額として読めません。").arg(name(), v.toString()));
}

QDate Field::asDate() const
{
    const QVariant& v = dataset_->currentValue(index_);
    if (!v.isValid() || v.isNull())
        return {};
    if (v.typeId() == QMetaType::QDate)
        return v.toDate();
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().date();
    if (auto parsed = textformat::parseDate(v.toString()))
        return *parsed;
    throw StoreError(QStringLiteral("「%1」は項目「%2」の日付として正しくありません。").arg(v.toString(), name()));
}

QDateTime Field::asDateTime() const
{
    const QVariant& v = dataset_->currentValue(index_);
    if (!v.isValid() || v.isNull())
        return {};
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime();
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().startOfDay();
    QDateTime parsed = QDateTime::fromString(v.toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!parsed.isValid())
        parsed = QDateTime::fromString(v.toString(), Qt::ISODate);
    return parsed;
}

void Field::setValue(const QVariant& value)
{
    dataset_->setCurrentValue(index_, value);
}

void Field::setString(const QString& text)
{
    if (text.isEmpty() && type() != FieldType::Text && type() != FieldType::Unknown)
        dataset_->setCurrentValue(index_, QVariant());
    else
        dataset_->setCurrentValue(index_, QVariant(text));
}

// --- Dataset ---------------------------------------------------------------------------

Dataset::Dataset(QString name, QObject* parent) : QObject(parent), name_(std::move(name))
{
    setObjectName(name_);
}

Dataset::~Dataset() = default;

void Dataset::setDatabaseName(const QString& folder)
{
    if (folder_ == folder)
        return;
    close();
    folder_ = folder;
    db_.reset();
}

std::shared_ptr<Database> Dataset::database()
{
    if (!db_) {
        if (folder_.isEmpty())
            throw StoreError(QStringLiteral("データセット「%1」のデータフォルダが設定されていません。").arg(name_));
        db_ = Database::forFolder(folder_);
    }
    return db_;
}

void Dataset::open()
{
    if (isActive())
        return;
    (void)database();
    modified_ = false;
    computedAppended_ = false;
    doOpen();
    appendComputedFieldDefs();
    current_.resize(fields_.size());
    state_ = State::Browse;
    emit stateChanged();
    emit opened();
    notify(-1);
}

void Dataset::close()
{
    if (!isActive())
        return;
    doClose();
    computedAppended_ = false;
    fields_.clear();
    indexedFields_ = -1;
    current_.clear();
    saved_.clear();
    eof_ = bof_ = empty_ = true;
    modified_ = false;
    state_ = State::Inactive;
    emit stateChanged();
    emit closed();
    notify(-1);
}

void Dataset::requireActive(const char* action) const
{
    if (!isActive())
        throw StoreError(QStringLiteral("データセット「%1」が開いていないため、%2ができません。").arg(name_, QString::fromUtf8(action)));
}

void Dataset::requireWritableBooks() const
{
    if (booksReadOnly())
        throw StoreError(db_->readOnlyNotice() + QStringLiteral("データは変更できません。"));
}

void Dataset::requireBrowse()
{
    checkBrowseMode();
}

void Dataset::checkBrowseMode()
{
    if (state_ == State::Edit || state_ == State::Insert) {
        runUpdateHooks();
        if (modified_)
            post();
        else
            cancel();
    }
}

void Dataset::first()
{
    requireActive("先頭への移動");
    requireBrowse();
    const bool any = doFirst();
    empty_ = !any;
    bof_ = true;
    eof_ = !any;
    notify(-1);
}

void Dataset::last()
{
    requireActive("最後への移動");
    requireBrowse();
    const bool any = doLast();
    empty_ = !any;
    eof_ = true;
    bof_ = !any;
    notify(-1);
}

void Dataset::next()
{
    requireActive("次への移動");
    requireBrowse();
    if (empty_) {
        eof_ = true;
        return;
    }
    if (doNext()) {
        bof_ = false;
        eof_ = false;
        notify(-1);
    } else {
        eof_ = true;
    }
}

void Dataset::prior()
{
    requireActive("前への移動");
    requireBrowse();
    if (empty_) {
        bof_ = true;
        return;
    }
    if (doPrior()) {
        eof_ = false;
        bof_ = false;
        notify(-1);
    } else {
        bof_ = true;
    }
}

Field Dataset::field(int index)
{
    if (index < 0 || index >= fields_.size())
        throw StoreError(QStringLiteral("データセット「%1」に %2 番目の項目がありません。").arg(name_).arg(index));
    return Field(this, index);
}

int Dataset::fieldIndex(const QString& name) const
{
    // Looked up for every field of every row a report or ledger reads: a hash, rebuilt when
    // the fields change, instead of comparing names one by one.
    if (indexedFields_ != fields_.size()) {
        fieldsByName_.clear();
        for (int i = int(fields_.size()) - 1; i >= 0; --i) {
            fieldsByName_.insert(fields_[i].name, i);
            fieldsByName_.insert(fields_[i].name.toLower(), i);
        }
        indexedFields_ = fields_.size();
    }
    auto it = fieldsByName_.constFind(name);
    if (it == fieldsByName_.constEnd())
        it = fieldsByName_.constFind(name.toLower());
    return it == fieldsByName_.constEnd() ? -1 : it.value();
}

std::optional<Field> Dataset::findField(const QString& name)
{
    const int index = fieldIndex(name);
    if (index < 0)
        return std::nullopt;
    return Field(this, index);
}

Field Dataset::fieldByName(const QString& name)
{
    const int index = fieldIndex(name);
    if (index < 0)
        throw StoreError(QStringLiteral("データセット「%1」に項目「%2」がありません。").arg(name_, name));
    return Field(this, index);
}

const QVariant& Dataset::currentValue(int index) const
{
    static const QVariant null;
    if (index < 0 || index >= current_.size())
        return null;
    return current_[index];
}

void Dataset::setCurrentValue(int index, const QVariant& value)
{
    if (state_ != State::Edit && state_ != State::Insert)
        throw StoreError(QStringLiteral("データセット「%1」は編集中ではありません。").arg(name_));
    if (index < 0 || index >= fields_.size())
        throw StoreError(QStringLiteral("データセット「%1」に %2 番目の項目がありません。").arg(name_).arg(index));
    if (fields_[index].computed) {
        const ComputedField& computed = computed_[index - storedFieldCount()];
        if (!computed.assign)
            throw StoreError(QStringLiteral("項目「%1」は変更できません。").arg(fields_[index].name));
        computed.assign(*this, value);
        refreshComputed();
        notify(index);
        return;
    }
    if (fields_[index].readOnly || fields_[index].type == FieldType::AutoInc)
        throw StoreError(QStringLiteral("項目「%1」は変更できません。").arg(fields_[index].name));
    // Normalise through the storage form, so that text typed into a date or amount field is
    // checked now, not when the row is posted.
    const QVariant converted = toFieldValue(index, toStorageValue(index, value));
    current_[index] = converted;
    modified_ = true;
    notify(index);
}

void Dataset::append()
{
    requireActive("行の追加");
    requireWritableBooks();
    requireBrowse();
    if (!canModify())
        throw StoreError(QStringLiteral("データセット「%1」は読み取り専用です。").arg(name_));
    saved_ = current_;
    current_ = QVector<QVariant>(fields_.size());
    state_ = State::Insert;
    if (onNewRecord)
        onNewRecord(*this);
    modified_ = false;
    emit stateChanged();
    notify(-1);
}

void Dataset::edit()
{
    requireActive("編集");
    if (state_ == State::Edit || state_ == State::Insert)
        return;
    requireWritableBooks();
    if (!canModify())
        throw StoreError(QStringLiteral("データセット「%1」は読み取り専用です。").arg(name_));
    if (empty_) {
        append();
        return;
    }
    saved_ = current_;
    modified_ = false;
    state_ = State::Edit;
    emit stateChanged();
    notify(-1);
}

void Dataset::post()
{
    if (state_ != State::Edit && state_ != State::Insert)
        return;
    runUpdateHooks();
    if (onBeforePost)
        onBeforePost(*this);
    doPost(state_ == State::Insert);
    empty_ = false;
    eof_ = bof_ = false;
    modified_ = false;
    state_ = State::Browse;
    emit stateChanged();
    notify(-1);
}

void Dataset::cancel()
{
    if (state_ != State::Edit && state_ != State::Insert)
        return;
    current_ = saved_;
    modified_ = false;
    state_ = State::Browse;
    emit stateChanged();
    notify(-1);
}

void Dataset::remove()
{
    requireActive("削除");
    requireWritableBooks();
    if (state_ == State::Insert) {
        cancel();
        return;
    }
    if (state_ == State::Edit)
        cancel();
    if (empty_)
        throw StoreError(QStringLiteral("データセット「%1」には削除する行がありません。").arg(name_));
    if (!canModify())
        throw StoreError(QStringLiteral("データセット「%1」は読み取り専用です。").arg(name_));
    doDelete();
    notify(-1);
}

void Dataset::refresh()
{
    requireActive("再読込");
    checkBrowseMode();
    doRefresh();
    notify(-1);
}

bool Dataset::locate(const QString& fieldName, const QVariant& value)
{
    requireActive("検索");
    requireBrowse();
    const int index = fieldIndex(fieldName);
    if (index < 0)
        throw StoreError(QStringLiteral("データセット「%1」に項目「%2」がありません。").arg(name_, fieldName));
    if (fields_[index].computed)
        throw StoreError(QStringLiteral("項目「%1」では検索できません。").arg(fieldName));
    if (empty_)
        return false;
    const QVariant storage = toStorageValue(index, value);
    if (!doLocate(index, storage))
        return false;
    eof_ = bof_ = false;
    notify(-1);
    return true;
}

void Dataset::disableControls()
{
    ++disableCount_;
}

void Dataset::enableControls()
{
    if (disableCount_ > 0 && --disableCount_ == 0 && pendingNotify_) {
        pendingNotify_ = false;
        emit dataChanged(-1);
    }
}

void Dataset::addUpdateHook(QObject* owner, std::function<void()> hook)
{
    updateHooks_.append({QPointer<QObject>(owner), std::move(hook)});
}

void Dataset::runUpdateHooks()
{
    updateHooks_.removeIf([](const auto& entry) { return entry.first.isNull(); });
    const auto hooks = updateHooks_;
    for (const auto& [owner, hook] : hooks) {
        if (owner)
            hook();
    }
}

void Dataset::addComputedField(ComputedField field)
{
    computed_.append(std::move(field));
    if (isActive()) {
        fields_.append(FieldDef{computed_.last().name, computed_.last().type, !computed_.last().assign, true});
        current_.resize(fields_.size());
        refreshComputed();
    }
}

void Dataset::appendComputedFieldDefs()
{
    storedCount_ = int(fields_.size());
    computedAppended_ = true;
    for (const ComputedField& field : computed_)
        fields_.append(FieldDef{field.name, field.type, !field.assign, true});
}

void Dataset::refreshComputed()
{
    if (computed_.isEmpty() || !isActive() || computing_)
        return;
    computing_ = true;
    const int first = storedFieldCount();
    current_.resize(fields_.size());
    for (int i = 0; i < computed_.size(); ++i) {
        try {
            current_[first + i] = empty_ && state_ == State::Browse ? QVariant() : computed_[i].compute(*this);
        } catch (...) {
            computing_ = false;
            throw;
        }
    }
    computing_ = false;
}

void Dataset::notify(int fieldIndex)
{
    if (fieldIndex < 0 || fieldIndex < storedFieldCount())
        refreshComputed();
    if (disableCount_ > 0) {
        pendingNotify_ = true;
        return;
    }
    emit dataChanged(fieldIndex);
}

QVariant Dataset::toFieldValue(int index, const QVariant& storage) const
{
    if (!storage.isValid() || storage.isNull())
        return {};
    const FieldType type = fields_[index].type;
    const int id = storage.typeId();
    switch (type) {
    case FieldType::Text:
        return QVariant(storage.toString());
    case FieldType::Integer:
    case FieldType::AutoInc:
        if (id == QMetaType::LongLong)
            return storage;
        if (id == QMetaType::Double)
            return QVariant(roundToInteger(storage.toDouble()));
        {
            bool ok = false;
            const qint64 n = storage.toString().trimmed().toLongLong(&ok);
            if (!ok) {
                if (storage.toString().trimmed().isEmpty())
                    return {};
                throw StoreError(QStringLiteral("「%1」は項目「%2」の整数値として正しくありません。").arg(storage.toString(), fields_[index].name));
            }
            return QVariant(n);
        }
    case FieldType::Float:
        if (id == QMetaType::LongLong || id == QMetaType::Double)
            return QVariant(storage.toDouble());
        {
            bool ok = false;
            const double d = storage.toString().trimmed().toDouble(&ok);
            if (!ok) {
                if (storage.toString().trimmed().isEmpty())
                    return {};
                throw StoreError(QStringLiteral("「%1」は項目「%2」の数値として正しくありません。").arg(storage.toString(), fields_[index].name));
            }
            return QVariant(d);
        }
    case FieldType::Currency:
        if (id == QMetaType::LongLong)
            return QVariant::fromValue(Money::fromUnits(storage.toLongLong()));
        if (id == QMetaType::Double)
            return QVariant::fromValue(currencyFromStoredReal(storage.toDouble(), fields_[index].name));
        if (storage.toString().trimmed().isEmpty())
            return {};
        if (auto parsed = textformat::parseAmount(storage.toString()))
            return QVariant::fromValue(*parsed);
        throw StoreError(QStringLiteral("「%1」は項目「%2」の金額として正しくありません。").arg(storage.toString(), fields_[index].name));
    case FieldType::Date:
        if (id == QMetaType::QString) {
            // Stored dates are ISO text: read them without the general parser, since every
            // listed row pays for it.
            const QString text = storage.toString();
            if (text.size() == 10 && text[4] == u'-' && text[7] == u'-') {
                const QDate date(text.left(4).toInt(), text.mid(5, 2).toInt(), text.mid(8, 2).toInt());
                if (date.isValid())
                    return QVariant(date);
            }
        }
        if (storage.toString().trimmed().isEmpty())
            return {};
        if (auto parsed = textformat::parseDate(storage.toString()))
            return QVariant(*parsed);
        throw StoreError(QStringLiteral("「%1」は項目「%2」の日付として正しくありません。").arg(storage.toString(), fields_[index].name));
    case FieldType::DateTime: {
        QDateTime parsed = QDateTime::fromString(storage.toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!parsed.isValid())
            parsed = QDateTime::fromString(storage.toString(), Qt::ISODate);
        if (!parsed.isValid()) {
            if (auto date = textformat::parseDate(storage.toString()))
                parsed = date->startOfDay();
        }
        return parsed.isValid() ? QVariant(parsed) : QVariant();
    }
    case FieldType::Unknown:
        return storage;
    }
    return storage;
}

QVariant Dataset::toStorageValue(int index, const QVariant& value) const
{
    if (!value.isValid() || value.isNull())
        return {};
    const FieldType type = fields_[index].type;
    const int id = value.typeId();
    const bool isMoney = id == qMetaTypeId<Money>();
    switch (type) {
    case FieldType::Text:
        if (isMoney)
            return textformat::plainAmount(value.value<Money>());
        if (id == QMetaType::QDate)
            return textformat::shortDate(value.toDate());
        return QVariant(value.toString());
    case FieldType::Integer:
    case FieldType::AutoInc:
        if (isMoney) {
            const Money amount = value.value<Money>();
            if (!amount.isWholeYen())
                throw StoreError(QStringLiteral("項目「%1」は整数の列です。%2 円は設定できません。")
                                     .arg(fields_[index].name, textformat::plainAmount(amount)));
            return QVariant(amount.roundedToYen());
        }
        if (id == QMetaType::Double)
            return QVariant(roundToInteger(value.toDouble()));
        if (id == QMetaType::QString)
            return toFieldValue(index, value);
        return QVariant(value.toLongLong());
    case FieldType::Float:
        if (isMoney)
            throw StoreError(QStringLiteral("項目「%1」は金額の列ではないため、金額を設定できません。").arg(fields_[index].name));
        if (id == QMetaType::QString)
            return toFieldValue(index, value);
        return QVariant(value.toDouble());
    case FieldType::Currency:
        if (isMoney)
            return QVariant(value.value<Money>().units());
        if (id == QMetaType::Double || id == QMetaType::Float)
            return QVariant(currencyFromYenDouble(value.toDouble(), fields_[index].name).units());
        if (id == QMetaType::QString) {
            const QVariant parsed = toFieldValue(index, value);
            return parsed.isNull() ? QVariant() : QVariant(parsed.value<Money>().units());
        }
        // A plain integer set into an amount is whole yen.
        return QVariant(currencyFromWholeYen(value.toLongLong(), fields_[index].name).units());
    case FieldType::Date:
        if (id == QMetaType::QDate)
            return textformat::isoDate(value.toDate());
        if (id == QMetaType::QDateTime)
            return textformat::isoDate(value.toDateTime().date());
        {
            const QVariant parsed = toFieldValue(index, value);
            return parsed.isNull() ? QVariant() : QVariant(textformat::isoDate(parsed.toDate()));
        }
    case FieldType::DateTime:
        if (id == QMetaType::QDateTime)
            return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (id == QMetaType::QDate)
            return textformat::isoDate(value.toDate()) + QStringLiteral(" 00:00:00");
        {
            const QVariant parsed = toFieldValue(index, value);
            return parsed.isNull() ? QVariant() : QVariant(parsed.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        }
    case FieldType::Unknown:
        return parameterStorage(value);
    }
    return value;
}

// --- Table -----------------------------------------------------------------------------

void Table::setTableName(const QString& name)
{
    close();
    tableName_ = sqldialect::bareTableName(name);
}

void Table::doOpen()
{
    if (tableName_.isEmpty())
        throw StoreError(QStringLiteral("データセット「%1」のテーブル名が設定されていません。").arg(name_));
    info_ = db_->tableInfo(tableName_);
    fields_.clear();
    indexedFields_ = -1;
    QStringList columns{QStringLiteral("rowid")};
    for (const ColumnInfo& column : info_.columns) {
        fields_.append(FieldDef{column.name, column.type, false});
        columns << quoted(column.name);
    }
    columnList_ = columns.join(u", ");
    orderColumns_.clear();
    if (info_.keyColumns.isEmpty() || info_.keyIsRowId) {
        orderColumns_ << QStringLiteral("rowid");
    } else {
        for (const QString& key : info_.keyColumns)
            orderColumns_ << quoted(key);
    }
    cachedCount_.reset();
    current_ = QVector<QVariant>(fields_.size());
    const bool any = doFirst();
    empty_ = !any;
    bof_ = true;
    eof_ = !any;
}

void Table::doClose()
{
    navigation_.clear();
    rowId_ = 0;
    currentStorage_.clear();
    cachedCount_.reset();
}

QVector<QVariant> Table::keyValues() const
{
    return currentStorage_;
}

bool Table::fetchOne(const QString& where, const QVector<QVariant>& binds, bool descending, bool filtered)
{
    QStringList order;
    for (const QString& column : orderColumns_)
        order << (descending ? column + QStringLiteral(" DESC") : column);
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(columnList_, quoted(info_.name));
    QStringList conditions;
    if (filtered && !filter_.isEmpty())
        conditions << u'(' + filter_ + u')';
    if (!where.isEmpty())
        conditions << u'(' + where + u')';
    if (!conditions.isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY ") + order.join(u", ") + QStringLiteral(" LIMIT 1");
    // Moving through a table runs the same few statements over and over: keep them prepared.
    auto cached = navigation_.find(sql);
    if (cached == navigation_.end())
        cached = navigation_.emplace(sql, db_->prepare(sql)).first;
    Statement& statement = cached->second;
    statement.reset();
    struct ResetAfter {
        Statement& s;
        ~ResetAfter() { s.reset(); }
    } resetAfter{statement};
    for (int i = 0; i < binds.size(); ++i)
        statement.bind(i + 1, binds[i]);
    if (!statement.step())
        return false;
    rowId_ = statement.columnInt(0);
    current_.resize(fields_.size());
    for (int i = 0; i < storedFieldCount(); ++i)
        current_[i] = toFieldValue(i, statement.column(i + 1));
    currentStorage_.clear();
    for (const QString& column : orderColumns_) {
        if (column == u"rowid") {
            currentStorage_ << QVariant(rowId_);
        } else {
            const int index = fieldIndex(info_.keyColumns.at(currentStorage_.size()));
            currentStorage_ << statement.column(index + 1);
        }
    }
    return true;
}

bool Table::loadByRowId(qint64 rowId)
{
    return fetchOne(QStringLiteral("rowid = ?"), {QVariant(rowId)}, false, false);
}

void Table::setFilter(const QString& condition)
{
    if (condition == filter_)
        return;
    if (isActive())
        checkBrowseMode();
    filter_ = condition;
    cachedCount_.reset();
    if (isActive())
        first();
}

bool Table::doFirst()
{
    if (fetchOne({}, {}, false))
        return true;
    rowId_ = 0;
    current_ = QVector<QVariant>(fields_.size());
    currentStorage_.clear();
    return false;
}

bool Table::doLast()
{
    if (fetchOne({}, {}, true))
        return true;
    rowId_ = 0;
    current_ = QVector<QVariant>(fields_.size());
    currentStorage_.clear();
    return false;
}

namespace {

QString rowValueCondition(const QStringList& columns, const char* op)
{
    QStringList marks;
    for (int i = 0; i < columns.size(); ++i)
        marks << QStringLiteral("?");
    if (columns.size() == 1)
        return columns.first() + u' ' + QString::fromLatin1(op) + QStringLiteral(" ?");
    return u'(' + columns.join(u", ") + QStringLiteral(") ") + QString::fromLatin1(op) + QStringLiteral(" (")
           + marks.join(u", ") + u')';
}

} // namespace

bool Table::doNext()
{
    return fetchOne(rowValueCondition(orderColumns_, ">"), keyValues(), false);
}

bool Table::doPrior()
{
    return fetchOne(rowValueCondition(orderColumns_, "<"), keyValues(), true);
}

bool Table::doLocate(int fieldIndex, const QVariant& storageValue)
{
    const QString column = quoted(fields_[fieldIndex].name);
    if (!storageValue.isValid() || storageValue.isNull())
        return fetchOne(column + QStringLiteral(" IS NULL"), {}, false);
    return fetchOne(column + QStringLiteral(" = ?"), {storageValue}, false);
}

void Table::doPost(bool inserting)
{
    QStringList columns;
    QVector<QVariant> values;
    for (int i = 0; i < storedFieldCount(); ++i) {
        if (fields_[i].type == FieldType::AutoInc)
            continue;
        columns << quoted(fields_[i].name);
        values << toStorageValue(i, current_[i]);
    }
    const QString context = QStringLiteral("テーブル「%1」に書き込めませんでした。").arg(info_.name);
    try {
        if (inserting) {
            QStringList marks;
            for (int i = 0; i < columns.size(); ++i)
                marks << QStringLiteral("?");
            Statement statement = db_->prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                                   .arg(quoted(info_.name), columns.join(u", "), marks.join(u", ")));
            for (int i = 0; i < values.size(); ++i)
                statement.bind(i + 1, values[i]);
            statement.step();
            rowId_ = db_->lastInsertRowId();
            cachedCount_.reset();
        } else {
            QStringList assignments;
            for (const QString& column : columns)
                assignments << column + QStringLiteral(" = ?");
            Statement statement = db_->prepare(
                QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?").arg(quoted(info_.name), assignments.join(u", ")));
            for (int i = 0; i < values.size(); ++i)
                statement.bind(i + 1, values[i]);
            statement.bind(int(values.size()) + 1, QVariant(rowId_));
            statement.step();
        }
    } catch (const StoreError& e) {
        throw StoreError(context + u'\n' + e.message());
    }
    loadByRowId(rowId_);
}

void Table::doDelete()
{
    const QVector<QVariant> key = keyValues();
    Statement statement = db_->prepare(QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(quoted(info_.name)));
    statement.bind(1, QVariant(rowId_));
    statement.step();
    cachedCount_.reset();
    // Like a card file: the row after the deleted one becomes current, or the one before it
    // when the last row went.
    if (fetchOne(rowValueCondition(orderColumns_, ">"), key, false)) {
        eof_ = bof_ = false;
        return;
    }
    if (fetchOne(rowValueCondition(orderColumns_, "<"), key, true)) {
        eof_ = true;
        bof_ = false;
        return;
    }
    rowId_ = 0;
    current_ = QVector<QVariant>(fields_.size());
    currentStorage_.clear();
    empty_ = eof_ = bof_ = true;
}

void Table::doRefresh()
{
    cachedCount_.reset();
    if (!empty_ && loadByRowId(rowId_))
        return;
    const bool any = doFirst();
    empty_ = !any;
    bof_ = true;
    eof_ = !any;
}

qint64 Table::recordCount()
{
    requireActive("件数の取得");
    if (!cachedCount_) {
        QString sql = QStringLiteral("SELECT count(*) FROM %1").arg(quoted(info_.name));
        if (!filter_.isEmpty())
            sql += QStringLiteral(" WHERE ") + filter_;
        Statement statement = db_->prepare(sql);
        statement.step();
        cachedCount_ = statement.columnInt(0);
    }
    return *cachedCount_;
}

// --- Query -----------------------------------------------------------------------------

void Query::setSql(const QString& sql)
{
    close();
    sql_ = sql;
    occurrences_ = sqldialect::parameterOccurrences(sql);
    values_.clear();
    currencyColumns_.clear();
}

void Query::setSql(const QString& sql, const QStringList& currencyColumns)
{
    setSql(sql);
    setCurrencyColumns(currencyColumns);
}

void Query::setCurrencyColumns(const QStringList& names)
{
    close();
    currencyColumns_ = names;
}

void Query::setUniDirectional(bool on)
{
    close();
    uniDirectional_ = on;
}

void Query::requireBackward(const char* action) const
{
    if (uniDirectional_ && rowsStepped_ > 1)
        throw StoreError(QStringLiteral("問合せ「%1」は一方向の読み取りのため、%2できません。").arg(name_, QString::fromUtf8(action)));
}

void Query::setParam(int occurrence, const QVariant& value)
{
    if (occurrence < 0 || occurrence >= occurrences_.size())
        throw StoreError(QStringLiteral("問合せ「%1」に %2 番目のパラメータがありません。").arg(name_).arg(occurrence));
    values_.insert(occurrences_[occurrence].toLower(), parameterStorage(value));
}

void Query::setParam(const QString& name, const QVariant& value)
{
    bool known = false;
    for (const QString& occurrence : occurrences_)
        known = known || occurrence.compare(name, Qt::CaseInsensitive) == 0;
    if (!known)
        throw StoreError(QStringLiteral("問合せ「%1」にパラメータ「%2」がありません。").arg(name_, name));
    values_.insert(name.toLower(), parameterStorage(value));
}

QVariant Query::paramValue(const QString& name) const
{
    const auto it = values_.constFind(name.toLower());
    if (it == values_.constEnd())
        throw StoreError(QStringLiteral("問合せ「%1」のパラメータ「%2」に値が設定されていません。").arg(name_, name));
    return it.value();
}

void Query::bindAll(Statement& statement, const QStringList& distinctNames) const
{
    for (int i = 0; i < distinctNames.size(); ++i)
        statement.bind(i + 1, paramValue(distinctNames[i]));
}

void Query::doOpen()
{
    if (sql_.trimmed().isEmpty())
        throw StoreError(QStringLiteral("問合せ「%1」のSQLが設定されていません。").arg(name_));
    const sqldialect::Translation translation = db_->translation(sql_);
    translated_ = translation.sql;
    distinctNames_ = translation.distinctNames;
    cursorStatement_ = db_->prepareCached(translated_);
    bindAll(cursorStatement_, distinctNames_);

    sqlite3_stmt* stmt = cursorStatement_.handle();
    const int count = sqlite3_column_count(stmt);
    fields_.clear();
    indexedFields_ = -1;
    QHash<QString, int> seen;
    const QSet<QString>& currency = db_->currencyColumns();
    for (int i = 0; i < count; ++i) {
        QString columnName = QString::fromUtf8(sqlite3_column_name(stmt, i));
        if (const int dot = columnName.lastIndexOf(u'.'); dot >= 0)
            columnName = columnName.mid(dot + 1);
        // A repeated name becomes name_1, name_2, ... in order of appearance.
        const QString key = columnName.toLower();
        const int repeats = seen.value(key, 0);
        seen.insert(key, repeats + 1);
        QString unique = columnName;
        if (repeats > 0) {
            int n = repeats;
            do {
                unique = columnName + u'_' + QString::number(n++);
            } while (seen.contains(unique.toLower()));
            seen.insert(unique.toLower(), 1);
        }
        FieldType type = fieldTypeFromDeclared(QString::fromUtf8(sqlite3_column_decltype(stmt, i)));
        if (type == FieldType::Unknown) {
            const auto sum = translation.sumAliases.constFind(columnName.toLower());
            if (sum != translation.sumAliases.constEnd() && currency.contains(sum.value()))
                type = FieldType::Currency;
        }
        fields_.append(FieldDef{unique, type, true});
    }
    for (const QString& declared : std::as_const(currencyColumns_)) {
        const int index = fieldIndex(declared);
        if (index < 0)
            throw StoreError(QStringLiteral("問合せ「%1」の結果に金額の列「%2」がありません。").arg(name_, declared));
        FieldDef& field = fields_[index];
        if (field.type != FieldType::Unknown && field.type != FieldType::Currency)
            throw StoreError(QStringLiteral("問合せ「%1」の列「%2」は金額の列ではありません。").arg(name_, field.name));
        field.type = FieldType::Currency;
    }
    rows_.clear();
    cursor_ = -1;
    exhausted_ = false;
    rowsStepped_ = 0;
    if (readOne()) {
        cursor_ = 0;
        current_ = rows_[0];
    } else {
        current_ = QVector<QVariant>(fields_.size());
    }
    empty_ = rows_.isEmpty();
    bof_ = true;
    eof_ = empty_;
}

void Query::doClose()
{
    if (db_)
        db_->recycle(std::move(cursorStatement_));
    cursorStatement_ = Statement();
    rows_.clear();
    rows_.squeeze();
    cursor_ = -1;
    exhausted_ = false;
    rowsStepped_ = 0;
}

bool Query::readOne()
{
    if (exhausted_)
        return false;
    if (!cursorStatement_.step()) {
        exhausted_ = true;
        // Ends the read at once, so the statement holds no snapshot of the database.
        db_->recycle(std::move(cursorStatement_));
        cursorStatement_ = Statement();
        return false;
    }
    QVector<QVariant> row(storedFieldCount());
    for (int i = 0; i < storedFieldCount(); ++i)
        row[i] = toFieldValue(i, cursorStatement_.column(i));
    ++rowsStepped_;
    if (uniDirectional_)
        rows_.clear();
    rows_.append(std::move(row));
    return true;
}

int Query::fetchUntil(int count)
{
    while (rows_.size() < count && readOne()) {
    }
    return int(rows_.size());
}

void Query::moveTo(int index)
{
    requireActive("移動");
    fetchUntil(index + 1);
    if (index < 0 || index >= rows_.size())
        return;
    cursor_ = index;
    current_ = rows_[index];
    bof_ = index == 0;
    eof_ = false;
    notify(-1);
}

bool Query::doFirst()
{
    requireBackward("先頭へ移動");
    if (rows_.isEmpty() && !readOne())
        return false;
    cursor_ = 0;
    current_ = rows_[0];
    return true;
}

bool Query::doLast()
{
    while (readOne()) {
    }
    if (rows_.isEmpty())
        return false;
    cursor_ = int(rows_.size()) - 1;
    current_ = rows_[cursor_];
    return true;
}

bool Query::doNext()
{
    if (uniDirectional_) {
        if (!readOne())
            return false;
        cursor_ = 0;
        current_ = rows_[0];
        return true;
    }
    if (cursor_ + 1 >= rows_.size() && !readOne())
        return false;
    ++cursor_;
    current_ = rows_[cursor_];
    return true;
}

bool Query::doPrior()
{
    requireBackward("前へ移動");
    if (cursor_ <= 0)
        return false;
    --cursor_;
    current_ = rows_[cursor_];
    return true;
}

bool Query::doLocate(int fieldIndex, const QVariant& storageValue)
{
    if (uniDirectional_)
        throw StoreError(QStringLiteral("問合せ「%1」は一方向の読み取りのため、検索できません。").arg(name_));
    for (int i = 0;; ++i) {
        if (i >= rows_.size() && !readOne())
            return false;
        if (toStorageValue(fieldIndex, rows_[i][fieldIndex]) == storageValue) {
            cursor_ = i;
            current_ = rows_[i];
            return true;
        }
    }
}

void Query::doPost(bool)
{
    throw StoreError(QStringLiteral("問合せ「%1」は読み取り専用です。").arg(name_));
}

void Query::doDelete()
{
    throw StoreError(QStringLiteral("問合せ「%1」は読み取り専用です。").arg(name_));
}

void Query::doRefresh()
{
    const int position = cursor_;
    doClose();
    computedAppended_ = false;
    doOpen();
    appendComputedFieldDefs();
    if (position > 0 && !uniDirectional_) {
        fetchUntil(position + 1);
        if (position < rows_.size()) {
            cursor_ = position;
            current_ = rows_[position];
        }
    }
}

int Query::execSql()
{
    close();
    auto db = database();
    const sqldialect::Translation& translation = db->translation(sql_);
    Statement statement = db->prepareCached(translation.sql);
    bindAll(statement, translation.distinctNames);
    while (statement.step()) {
    }
    const int changed = db->changes();
    db->recycle(std::move(statement));
    return changed;
}

qint64 Query::recordCount()
{
    requireActive("件数の取得");
    if (exhausted_)
        return uniDirectional_ ? rowsStepped_ : rows_.size();
    Statement statement = db_->prepare(QStringLiteral("SELECT count(*) FROM (") + translated_ + u')');
    bindAll(statement, distinctNames_);
    statement.step();
    return statement.columnInt(0);
}

} // namespace tolva
