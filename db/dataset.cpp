#include "db/dataset.h"

namespace tolva {

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

} // namespace tolva
