// backup and restore: a consistent copy of the books, and books put back from one.
#include "cli/output.h"
#include "cli/verbs.h"
#include "db/backup.h"
#include "db/booksbackup.h"
#include "db/cancellation.h"
#include "db/database.h"
#include "db/dataset.h"
#include "db/textformat.h"
#include "journal/journalcheck.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

#include <unistd.h>

namespace tolva::cli {

namespace {

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

int runBackup(const Invocation& invocation)
{
    invocation.expectPositional({});
    const std::optional<QString> output = invocation.optional(QStringLiteral("output"));
    if (output && output->trimmed().isEmpty())
        throw UsageError(QStringLiteral("-o のファイル名が空です。"));
    const QString folder = invocation.dataFolder();
    if (output)
        checkOutputBeforeOpening(folder, *output, outputfile::Purpose::NewBackupCopy);

    // A copy named with -o goes elsewhere, and books that can only be read are copied so;
    // the default place is the folder's own backup folder.
    Books books(folder, Books::Opening::Full, output ? Books::Purpose::Reading : Books::Purpose::Writing);
    const QString target = output ? QFileInfo(*output).absoluteFilePath()
                                  : booksbackup::defaultBackupPath(folder, QDateTime::currentDateTime());
    booksbackup::copyBooks(*Database::forFolder(folder), target);
    writeOut(QStringLiteral("バックアップを作成しました: %1\n").arg(shown(target)));
    return kOk;
}

QString summaryText(const booksbackup::BooksSummary& summary)
{
    QString text = QStringLiteral("仕訳 %L1 件").arg(summary.rows);
    if (summary.first.isValid())
        text += QStringLiteral("、%1 ～ %2").arg(textformat::shortDate(summary.first), textformat::shortDate(summary.last));
    text += QStringLiteral("、事業主 %1").arg(summary.owner.isEmpty() ? QStringLiteral("（未設定）") : summary.owner);
    return text;
}

// Asks on the terminal; false for anything but yes.
bool confirmedOnTerminal(const QString& question)
{
    writeErr(question + QStringLiteral(" [y/N] "));
    char answer[16] = {};
    if (!std::fgets(answer, sizeof answer, stdin))
        return false;
    const QString said = QString::fromLocal8Bit(answer).trimmed().toLower();
    return said == u"y" || said == u"yes" || said == u"はい";
}

int runRestore(const Invocation& invocation)
{
    invocation.expectPositional({QStringLiteral("FILE")});
    const QString source = QFileInfo(invocation.positional().first()).absoluteFilePath();
    const QString folder = invocation.dataFolder();
    const bool confirmed = invocation.isSet(QStringLiteral("yes"));
    if (!confirmed && !::isatty(STDIN_FILENO))
        throw UsageError(QStringLiteral("復元すると今の帳簿が置き換わります。確かめたうえで --yes を付けて実行してください。"));

    // Only the lock: the books in the folder may be what the user restores from a backup for.
    Books books(folder, Books::Opening::LockOnly, Books::Purpose::Writing);
    // The current books are kept in the backup folder before they are replaced: a place that
    // cannot take them stops the restore before anything is done.
    const QFileInfo backups(backupFolder(folder));
    if (backups.exists() && !backups.isDir())
        throw StoreError(QStringLiteral("「%1」がフォルダではないため、今の帳簿を残せません。復元はしません（帳簿はそのままです）。\n"
                                        "このファイルを別の場所へ移してから、もう一度実行してください。")
                             .arg(shown(backups.filePath())));
    booksbackup::StagedRestore staged(folder, source);
    QList<JournalFault> faults;
    {
        Query journal(QStringLiteral("restoreCheck"));
        journal.setDatabaseName(staged.stagingFolder());
        faults = checkJournal(journal);
    }

    // Both books side by side, so that a user who picked the wrong file sees it.
    QString text = QStringLiteral("復元する帳簿: %1\n  %2\n").arg(shown(source), summaryText(staged.summary()));
    const QString current = QDir(folder).filePath(QString::fromLatin1(Database::kFileName));
    if (QFileInfo::exists(current)) {
        QString now;
        try {
            now = summaryText(booksbackup::summarise(*Database::forFolder(folder, Database::OpeningChecks::Bounded, &terminalNotice())));
        } catch (const StoreError& e) {
            cancellation::throwIfRequested();
            now = QStringLiteral("開けません（%1）").arg(e.message().section(u'\n', 0, 0));
        }
        Database::closeFolder(folder);
        text += QStringLiteral("今の帳簿:     %1\n  %2\n").arg(shown(current), now);
    }
    if (!faults.isEmpty()) {
        // The program itself keeps such rows (the journal window finds them with "金額確認"):
        // they are told, not a reason to keep the user from the books.
        text += QStringLiteral("注意: 復元する帳簿には次の仕訳があります。");
        for (qsizetype i = 0; i < faults.size() && i < 20; ++i)
            text += QStringLiteral("\n  ") + journalFaultText(faults[i]);
        if (faults.size() > 20)
            text += QStringLiteral("\n  ほか %1 件").arg(faults.size() - 20);
        text += u'\n';
    }
    writeOut(text);
    if (!confirmed && !confirmedOnTerminal(QStringLiteral("今の帳簿を、復元する帳簿で置き換えますか？"))) {
        writeErr(QStringLiteral("復元しませんでした。帳簿はそのままです。"));
        return kFailed;
    }

    const QString keep = booksbackup::defaultBackupPath(folder, QDateTime::currentDateTime(), QStringLiteral("before-restore"));
    const QStringList kept = staged.replaceBooks(keep);
    datafolder::verify(folder);
    QString done = QStringLiteral("「%1」から帳簿を復元しました。\n").arg(shown(source));
    if (!kept.isEmpty()) {
        QStringList names;
        for (const QString& path : kept)
            names << shown(path);
        done += QStringLiteral("元の帳簿は次に残しました: %1\n").arg(names.join(QStringLiteral("、")));
    }
    writeOut(done);
    return kOk;
}

} // namespace

Verb backupVerb()
{
    return {{QStringLiteral("backup")},
            QString(),
            QStringLiteral("バックアップ: 帳簿の一貫したコピーを作ります"),
            QStringLiteral("帳簿（tolva.sqlite）を SQLite のオンラインバックアップで一つのファイルにコピーします。\n"
                           "既定の置き場所はデータフォルダの backup/tolva-年月日-時分秒.sqlite です。"),
            {{{QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("FILE"), QStringLiteral("コピーを書くファイル（既にあれば置き換えます。帳簿のファイルと backup/ にある既存のコピーは置き換えません）。")}},
            runBackup};
}

Verb restoreVerb()
{
    return {{QStringLiteral("restore")},
            QStringLiteral("FILE"),
            QStringLiteral("復元: バックアップのファイルを帳簿に戻します"),
            QStringLiteral("FILE を（横にログ -wal があればそれも含めて）検査し（Tolvaのデータベースか、integrity_check、テーブル）、\n"
                           "合格したら、復元する帳簿と今の帳簿を並べて示し、確かめてから置き換えます。\n"
                           "端末からは確認を求めます。端末でないときは --yes が必要です。\n"
                           "置き換える前に今の帳簿を backup/ に残し、古い帳簿のログ（-wal、-shm）は消します。\n"
                           "他のプログラムが今の帳簿か FILE を開いている間は復元しません。\n"
                           "置き換えは一回の名前の変更で、途中で止まっても古い帳簿か新しい帳簿のどちらかが残ります。"),
            {{{QStringLiteral("yes")}, {}, QStringLiteral("確認を求めずに置き換えます。")}},
            runRestore};
}

} // namespace tolva::cli
