#include "db/sqldialect.h"

#include <QRegularExpression>

namespace tolva::sqldialect {

namespace {

bool isIdentStart(QChar c) { return c.isLetter() || c == u'_'; }
bool isIdentChar(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

// Calls `onCode` for each stretch of text outside quotes and `onQuoted` for quoted ones,
// so that rewrites never touch literals.
template <typename Code, typename Quoted>
void splitQuoted(const QString& sql, Code onCode, Quoted onQuoted)
{
    int start = 0;
    int i = 0;
    while (i < sql.size()) {
        const QChar c = sql[i];
        if (c == u'\'' || c == u'"' || c == u'[') {
            const QChar close = c == u'[' ? QChar(u']') : c;
            onCode(sql.mid(start, i - start));
            int j = i + 1;
            while (j < sql.size()) {
                if (sql[j] == close) {
                    if (close != u']' && j + 1 < sql.size() && sql[j + 1] == close) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            const int end = qMin(j + 1, int(sql.size()));
            onQuoted(sql.mid(i, end - i));
            i = end;
            start = i;
        } else {
            ++i;
        }
    }
    onCode(sql.mid(start));
}

} // namespace

QStringList parameterOccurrences(const QString& localSql)
{
    QStringList names;
    splitQuoted(
        localSql,
        [&](const QString& code) {
            for (int i = 0; i < code.size(); ++i) {
                if (code[i] != u':' || i + 1 >= code.size() || !isIdentStart(code[i + 1]))
                    continue;
                if (i > 0 && (code[i - 1] == u':' || isIdentChar(code[i - 1])))
                    continue;
                int j = i + 1;
                while (j < code.size() && isIdentChar(code[j]))
                    ++j;
                names << code.mid(i + 1, j - i - 1);
                i = j - 1;
            }
        },
        [](const QString&) {});
    return names;
}

QString bareTableName(const QString& name)
{
    QString bare = name.trimmed();
    if (bare.endsWith(QLatin1String(".db"), Qt::CaseInsensitive))
        bare.chop(3);
    return bare;
}

Translation translate(const QString& localSql, const StoredQueryReader& readStoredQuery)
{
    Translation result;
    static const QRegularExpression storedQuery(QStringLiteral(R"(\b([A-Za-z_]\w*)\.sql\b(\s+as\s+\w+)?)"),
                                                QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression dbExtension(QStringLiteral(R"(\b([A-Za-z_]\w*)\.db\b)"),
                                                QRegularExpression::CaseInsensitiveOption);
    // Only a SUM that is a whole column of the select list: "SUM(x) + SUM(y) AS s" or
    // "1.0 / SUM(x) AS s" say nothing certain about their unit.
    static const QRegularExpression sumAlias(
        QStringLiteral(R"((?:\bselect(?:\s+distinct|\s+all)?|,)\s*sum\s*\(\s*(?:\w+\.)?(\w+)\s*\)\s+as\s+(\w+)\s*(?=,|\)|\bfrom\b|$))"),
        QRegularExpression::CaseInsensitiveOption);

    QString out;
    splitQuoted(
        localSql,
        [&](const QString& codeIn) {
            QString code = codeIn;
            // Stored query files first: their text is ours and holds no parameters.
            QString expanded;
            int last = 0;
            auto it = storedQuery.globalMatch(code);
            while (it.hasNext()) {
                const auto m = it.next();
                // ":name.sql" is a parameter followed by text, and "ŏname.sql" one word, as the
                // scan of parameters reads them (the pattern knows only ASCII words); expanding
                // either would number the parameters differently from that scan.
                if (m.capturedStart() > 0
                    && (code[m.capturedStart() - 1] == u':' || isIdentChar(code[m.capturedStart() - 1])))
                    continue;
                expanded += code.mid(last, m.capturedStart() - last);
                QString body = readStoredQuery(m.captured(1)).trimmed();
                while (body.endsWith(u';'))
                    body.chop(1);
                const QString alias = m.captured(2).isEmpty() ? QStringLiteral(" AS ") + m.captured(1) : m.captured(2);
                expanded += u'(' + body + u')' + alias;
                last = m.capturedEnd();
            }
            expanded += code.mid(last);
            code = expanded;
            code.replace(dbExtension, QStringLiteral("\\1"));

            auto sums = sumAlias.globalMatch(code);
            while (sums.hasNext()) {
                const auto m = sums.next();
                result.sumAliases.insert(m.captured(2).toLower(), m.captured(1).toLower());
            }

            for (int i = 0; i < code.size(); ++i) {
                const bool isParam = code[i] == u':' && i + 1 < code.size() && isIdentStart(code[i + 1])
                                     && !(i > 0 && (code[i - 1] == u':' || isIdentChar(code[i - 1])));
                if (!isParam) {
                    out += code[i];
                    continue;
                }
                int j = i + 1;
                while (j < code.size() && isIdentChar(code[j]))
                    ++j;
                const QString name = code.mid(i + 1, j - i - 1);
                result.occurrences << name;
                int index = -1;
                for (int k = 0; k < result.distinctNames.size(); ++k) {
                    if (result.distinctNames[k].compare(name, Qt::CaseInsensitive) == 0) {
                        index = k;
                        break;
                    }
                }
                if (index < 0) {
                    index = int(result.distinctNames.size());
                    result.distinctNames << name;
                }
                out += u'?' + QString::number(index + 1);
                i = j - 1;
            }
        },
        [&](const QString& quoted) { out += quoted; });
    result.sql = out;
    return result;
}

} // namespace tolva::sqldialect
