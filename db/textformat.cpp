#include "db/textformat.h"

#include <QRegularExpression>

namespace tolva::textformat {

namespace {

QString groupThousands(qint64 magnitude)
{
    QString digits = QString::number(magnitude);
    for (int i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, u',');
    return digits;
}

} // namespace

QString gridAmount(Money amount)
{
    const qint64 yen = amount.roundedToYen();
    return yen < 0 ? u'-' + groupThousands(-yen) : groupThousands(yen);
}

QString currency(Money amount)
{
    const qint64 yen = amount.roundedToYen();
    return yen < 0 ? QStringLiteral("-￥") + groupThousands(-yen) : QStringLiteral("￥") + groupThousands(yen);
}

QString plainAmount(Money amount)
{
    const qint64 units = amount.units();
    const qint64 magnitude = units < 0 ? -units : units;
    QString text = QString::number(magnitude / Money::kUnitsPerYen);
    if (const qint64 fraction = magnitude % Money::kUnitsPerYen) {
        QString decimals = QString::number(fraction).rightJustified(4, u'0');
        while (decimals.endsWith(u'0'))
            decimals.chop(1);
        text += u'.' + decimals;
    }
    return units < 0 ? u'-' + text : text;
}

namespace {

// Full-width digits, signs and points as their ASCII forms; separators, currency signs and
// blanks dropped.
QString normalisedAmountText(const QString& input)
{
    QString text;
    text.reserve(input.size());
    for (QChar c : input) {
        const char16_t u = c.unicode();
        if (u >= u'０' && u <= u'９')
            text += QChar(u'0' + (u - u'０'));
        else if (u == u'－' || u == u'−')
            text += u'-';
        else if (u == u'＋')
            text += u'+';
        else if (u == u'．')
            text += u'.';
        else if (u == u',' || u == u'，' || u == u'\\' || u == u'¥' || u == u'￥' || c.isSpace())
            continue;
        else
            text += c;
    }
    return text;
}

} // namespace

std::optional<Money> parseAmount(const QString& input)
{
    static const QRegularExpression pattern(QStringLiteral(R"(^([+-]?)(\d{1,15})(?:\.(\d{0,4}))?$)"));
    const auto match = pattern.match(normalisedAmountText(input));
    if (!match.hasMatch())
        return std::nullopt;
    qint64 units = 0;
    // Fifteen digits of yen may already be beyond the range of an amount.
    if (__builtin_mul_overflow(match.captured(2).toLongLong(), Money::kUnitsPerYen, &units))
        return std::nullopt;
    const QString decimals = match.captured(3);
    if (!decimals.isEmpty())
        units += decimals.leftJustified(4, u'0').toLongLong();
    return Money::fromUnits(match.captured(1) == u"-" ? -units : units);
}

AmountEntry parseAmountEntry(const QString& input)
{
    static const QRegularExpression pattern(QStringLiteral(R"(^([+-]?)(\d+)(?:\.(\d*))?$)"));
    const auto match = pattern.match(normalisedAmountText(input));
    if (!match.hasMatch())
        return {std::nullopt, AmountEntryError::NotANumber};
    for (QChar digit : match.capturedView(3)) {
        if (digit != u'0')
            return {std::nullopt, AmountEntryError::FractionOfYen};
    }
    QStringView digits = match.capturedView(2);
    while (digits.size() > 1 && digits.front() == u'0')
        digits = digits.mid(1);
    if (digits.size() > 12 || digits.toLongLong() > Money::kMaxEntryYen)
        return {std::nullopt, AmountEntryError::TooLarge};
    const qint64 yen = digits.toLongLong();
    return {Money::fromYen(match.captured(1) == u"-" ? -yen : yen), AmountEntryError::None};
}

QString amountEntryProblem(AmountEntryError error)
{
    switch (error) {
    case AmountEntryError::FractionOfYen:
        return QStringLiteral("金額は1円単位で入力してください（円未満の端数は入力できません）。");
    case AmountEntryError::TooLarge:
        return QStringLiteral("金額は %1 円までです。").arg(gridAmount(Money::fromYen(Money::kMaxEntryYen)));
    case AmountEntryError::None:
    case AmountEntryError::NotANumber:
        break;
    }
    return {};
}

QString shortDate(const QDate& date)
{
    return date.isValid() ? date.toString(QStringLiteral("yyyy/MM/dd")) : QString();
}

QString reportDate(const QDate& date)
{
    return date.isValid() ? date.toString(QStringLiteral("yyyy/ MM/ dd")) : QString();
}

QString period(const QDate& start, const QDate& end)
{
    return shortDate(start) + u'～' + shortDate(end);
}

QString reportPeriod(const QDate& start, const QDate& end)
{
    return reportDate(start) + u'～' + reportDate(end);
}

std::optional<QDate> parseDate(const QString& input)
{
    static const QRegularExpression pattern(QStringLiteral(R"(^\s*(\d{4})[/\-.](\d{1,2})[/\-.](\d{1,2})(?:[ T].*)?$)"));
    const auto match = pattern.match(input);
    if (!match.hasMatch())
        return std::nullopt;
    const QDate date(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<QDate> parseDateEntry(const QString& input)
{
    QString text;
    text.reserve(input.size());
    for (QChar c : input.trimmed()) {
        const char16_t u = c.unicode();
        if (u >= u'０' && u <= u'９')
            text += QChar(u'0' + (u - u'０'));
        else if (u == u'／')
            text += u'/';
        else if (u == u'－')
            text += u'-';
        else if (u == u'．')
            text += u'.';
        else
            text += c;
    }
    static const QRegularExpression pattern(QStringLiteral(R"(^(\d{4})([/\-.])(\d{1,2})\2(\d{1,2})$)"));
    const auto match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const int year = match.captured(1).toInt();
    if (year < kFirstEntryYear || year > kLastEntryYear)
        return std::nullopt;
    const QDate date(year, match.captured(3).toInt(), match.captured(4).toInt());
    if (!date.isValid())
        return std::nullopt;
    return date;
}

QString withoutControlCharacters(const QString& text)
{
    QString clean;
    clean.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\t' || u == u'\n' || u == u'\r' || u == 0x2028 || u == 0x2029)
            clean += u' ';
        else if (u < 0x20 || (u >= 0x7f && u < 0xa0))
            continue;
        else
            clean += c;
    }
    return clean;
}

QString isoDate(const QDate& date)
{
    return date.toString(Qt::ISODate);
}

} // namespace tolva::textformat
