// backup and restore: a consistent copy of the books, and books put back from one.
#include "booksbackup.h"
#include "database.h"
#include "dataset.h"
#include "journalcheck.h"
#include "output.h"
#include "verbs.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

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

    Books books(folder, Books::Opening::Full);
    const QString target = output ? QFileInfo(*output).absoluteFilePath()
                                  : booksbackup::defaultBackupPath(folder, QDateTime::currentDateTime());
    booksbackup::copyBooks(*Database::forFolder(folder), target);
    writeOut(QStringLiteral("バックアップを作成しました: %1\n").arg(shown(target)));
    return kOk;
}

int runRestore(const Invocation& invocation)
{
    invocation.expectPositional({QStringLiteral("FILE")});
    const QString source = QFileInfo(invocation.positional().first()).absoluteFilePath();
    const QString folder = invocation.dataFolder();

    // Only the lock: the books in the folder may be what the user restores from a backup for.
    Books books(folder, Books::Opening::LockOnly);
    booksbackup::StagedRestore staged(folder, source);
    QList<JournalFault> faults;
    {
        Query journal(QStringLiteral("restoreCheck"));
        journal.setDatabaseName(staged.stagingFolder());
        faults = checkJournal(journal);
    }
    if (!faults.isEmpty()) {
        // The program itself keeps such rows (the journal window finds them with "金額確認"):
        // they are told, not a reason to keep the user from the books.
        QString text = QStringLiteral("注意: 復元する帳簿には次の仕訳があります（帳簿は復元します）。");
        for (qsizetype i = 0; i < faults.size() && i < 20; ++i)
            text += QStringLiteral("\n  ") + journalFaultText(faults[i]);
        if (faults.size() > 20)
            text += QStringLiteral("\n  ほか %1 件").arg(faults.size() - 20);
        writeErr(text);
    }
    const QString keep = booksbackup::defaultBackupPath(folder, QDateTime::currentDateTime(), QStringLiteral("before-restore"));
    const QStringList kept = staged.replaceBooks(keep);
    datafolder::verify(folder);
    QString text = QStringLiteral("「%1」から帳簿を復元しました。\n").arg(shown(source));
    if (!kept.isEmpty()) {
        QStringList names;
        for (const QString& path : kept)
            names << shown(path);
        text += QStringLiteral("元の帳簿は次に残しました: %1\n").arg(names.join(QStringLiteral("、")));
    }
    writeOut(text);
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
            QStringLiteral("FILE を検査し（Tolvaのデータベースか、quick_check、integrity_check、テーブル）、合格したら帳簿と置き換えます。\n"
                           "置き換える前に今の帳簿を backup/ に残し、古い帳簿のログ（-wal、-shm）は消します。\n"
                           "置き換えは一回の名前の変更で、途中で止まっても古い帳簿か新しい帳簿のどちらかが残ります。"),
            {},
            runRestore};
}

} // namespace tolva::cli
