// How a field's value is kept: the types a field hands out (text, integers, exact money, dates)
// and the values SQLite stores and binds for them.
#include "db/dataset.h"
#include "db/datasetvalues.h"
#include "db/textformat.h"

#include <QLocale>

#include <cmath>

namespace tolva {

namespace datasetvalues {

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


} // namespace datasetvalues

namespace {

using datasetvalues::parameterStorage;

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

} // namespace tolva
