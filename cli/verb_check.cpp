// check: the checks of opening the books, PRAGMA integrity_check on request, and the journal
// against what the books promise.
#include "cli/output.h"
#include "cli/verbs.h"
#include "db/booksbackup.h"
#include "db/database.h"
#include "db/storeerror.h"
#include "db/textformat.h"
#include "journal/journalcheck.h"
#include "reports/bookscheck.h"

#include <QDir>

namespace tolva::cli {

namespace {

struct Item {
    QString caption;
    bool ok = true;
    QString message;  // what failed, with SQLite's findings
};

const char* kindName(JournalFault::Kind kind)
{
    switch (kind) {
    case JournalFault::Kind::UnequalSides: return "unequalSides";
    case JournalFault::Kind::UnknownCategory: return "unknownCategory";
    case JournalFault::Kind::UnknownAccount: return "unknownAccount";
    case JournalFault::Kind::UnknownSubAccount: return "unknownSubAccount";
    case JournalFault::Kind::UnknownUseCategory: return "unknownUseCategory";
    case JournalFault::Kind::UnknownMode: return "unknownMode";
    }
    return "";
}

QString withDetail(const StoreError& e)
{
    return e.detail().isEmpty() ? e.message() : e.message() + u'\n' + e.detail();
}

int runCheck(const Invocation& invocation)
{
    invocation.expectPositional({});
    const OutputChoice output = outputChoice(invocation, false);
    const bool full = invocation.isSet(QStringLiteral("full"));

    const QString folder = invocation.dataFolder();
    Books books(folder, Books::Opening::LockOnly);
    QList<Item> items;
    QList<JournalFault> faults;
    Item opening{QStringLiteral("開く時の検査（アプリケーションID、quick_check、テーブル）"), true, {}};
    try {
        datafolder::verify(folder, Database::OpeningChecks::Full, &terminalNotice());
    } catch (const StoreError& e) {
        opening.ok = false;
        opening.message = withDetail(e);
    }
    items << opening;
    if (opening.ok) {
        if (full) {
            const QStringList findings = booksbackup::integrityFindings(*Database::forFolder(folder));
            items << Item{QStringLiteral("PRAGMA integrity_check"), findings.isEmpty(), findings.mid(0, 10).join(u'\n')};
        }
        for (const bookscheck::Item& files : bookscheck::checkFolderFiles(*Database::forFolder(folder), true)) {
            QString message = files.findings.join(u'\n');
            if (!files.repaired.isEmpty())
                message = QStringLiteral("次の食い違いを数え直して直しました。\n") + files.repaired.join(u'\n');
            items << Item{files.caption, files.findings.isEmpty(), message};
        }
        faults = checkJournal(books.dm().q16temp1);
        qsizetype unequal = 0;
        for (const JournalFault& fault : std::as_const(faults))
            unequal += fault.kind == JournalFault::Kind::UnequalSides ? 1 : 0;
        const qsizetype codes = faults.size() - unequal;
        items << Item{QStringLiteral("仕訳ごとの借方金額と貸方金額"), unequal == 0,
                      unequal ? QStringLiteral("%1 件の仕訳で一致しません").arg(unequal) : QString()};
        items << Item{QStringLiteral("仕訳のコード（分類、勘定科目、細目、区分、処理ﾓｰﾄﾞ）"), codes == 0,
                      codes ? QStringLiteral("マスタにないコードが %1 か所あります").arg(codes) : QString()};
    }
    bool allHold = true;
    for (const Item& item : std::as_const(items))
        allHold = allHold && item.ok;

    if (output.format == Format::Json) {
        QByteArray json = "{\"folder\":" + jsonString(QDir::toNativeSeparators(folder)) + ",\"ok\":" + (allHold ? "true" : "false")
                          + ",\"checks\":[";
        for (qsizetype i = 0; i < items.size(); ++i) {
            json += (i ? ",\n" : "\n");
            json += "{\"check\":" + jsonString(items[i].caption) + ",\"ok\":" + (items[i].ok ? "true" : "false")
                    + ",\"message\":" + jsonString(items[i].message) + "}";
        }
        json += "],\"faults\":[";
        for (qsizetype i = 0; i < faults.size(); ++i) {
            const JournalFault& f = faults[i];
            json += (i ? ",\n" : "\n");
            json += "{\"id\":" + QByteArray::number(f.id) + ",\"date\":"
                    + (f.date.isValid() ? jsonString(textformat::isoDate(f.date)) : QByteArray("null")) + ",\"kind\":\""
                    + kindName(f.kind) + "\",\"field\":" + jsonString(f.field) + ",\"value\":" + jsonString(f.value)
                    + ",\"debit\":" + jsonString(textformat::plainAmount(f.debit)) + ",\"credit\":"
                    + jsonString(textformat::plainAmount(f.credit)) + ",\"text\":" + jsonString(journalFaultText(f)) + "}";
        }
        json += "]}\n";
        writeOut(json);
    } else {
        QString text = QStringLiteral("データフォルダ: %1\n").arg(QDir::toNativeSeparators(folder));
        for (const Item& item : std::as_const(items)) {
            text += (item.ok ? QStringLiteral("OK  ") : QStringLiteral("NG  ")) + item.caption + u'\n';
            if (!item.message.isEmpty())
                text += QStringLiteral("    ") + QString(item.message).replace(u'\n', QStringLiteral("\n    ")) + u'\n';
        }
        if (!faults.isEmpty()) {
            text += u'\n';
            for (const JournalFault& fault : std::as_const(faults))
                text += journalFaultText(fault) + u'\n';
        }
        writeOut(text);
    }
    if (!allHold) {
        writeErr(QStringLiteral("帳簿の検査で問題が見つかりました。"));
        return kFailed;
    }
    return kOk;
}

} // namespace

Verb checkVerb()
{
    QList<OptionSpec> options{{{QStringLiteral("full")}, {}, QStringLiteral("PRAGMA integrity_check で全ページも調べます（時間がかかります）。")}};
    options << formatOptions(false);
    return {{QStringLiteral("check")},
            QString(),
            QStringLiteral("帳簿の検査: 開く時の検査と、仕訳の貸借一致・コードを調べます"),
            QStringLiteral("帳簿を開く時の検査（Tolvaのデータベースか、テーブル）と、ファイルの全ページの検査（quick_check）をし、\n"
                           "問合せファイルが列 code を返す一つの SELECT 文であること、レポートのプロジェクトに使うレポートが\n"
                           "すべてあること、仕訳の行数の記録（RowCount、DayCount）が仕訳と合うこと（違えば数え直して直します）、\n"
                           "仕訳の変更履歴の各行の最後の記録が仕訳帳の行と合うこと、\n"
                           "仕訳ごとに借方金額と貸方金額が等しいこと（空の金額は0）と、空でないコードがマスタ\n"
                           "（分類、勘定科目、細目、区分、処理ﾓｰﾄﾞ）にあることを調べて、合わない仕訳を番号と金額で示します。\n"
                           "すべて合っていれば終了コード 0、そうでなければ 1 です。"),
            options,
            runCheck};
}

} // namespace tolva::cli
