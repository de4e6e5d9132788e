#include "textformat.h"

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

std::optional<Money> parseAmount(const QString& input)
{
    QString text;
    text.reserve(input.size());
    for (QChar c : input) {
        const char16_t u = c.unicode();
        if (u >= u'０' && u <= u'９')
            text += QChar(u'0' + (u - u'０'));
        else if (u == u'－' || u == u'−')
            text += u'-';
        else if (u == u'．')
            text += u'.';
        else if (u == u',' || u == u'，' || u == u'\\' || u == u'¥' || u == u'￥' || c.isSpace())
            continue;
        else
            text += c;
    }
    static const QRegularExpression pattern(QStringLiteral(R"(^([+-]?)(\d{1,15})(?:\.(\d{0,4}))?$)"));
    const auto match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    qint64 units = match.captured(2).toLongLong() * Money::kUnitsPerYen;
    const QString decimals = match.captured(3);
    if (!decimals.isEmpty())
        units += decimals.leftJustified(4, u'0').toLongLong();
    return Money::fromUnits(match.captured(1) == u"-" ? -units : units);
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

QString isoDate(const QDate& date)
{
    return date.toString(Qt::ISODate);
}

} // namespace tolva::textformat
