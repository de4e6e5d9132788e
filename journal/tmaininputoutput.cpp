// What the journal window writes out: the CSV export of the list and its printed reports.
#include "journal/tmaininput.h"

#include "db/outputfile.h"
#include "db/tdm01keiri.h"
#include "journal/journalexport.h"
#include "journal/journalprint.h"
#include "reports/csvwriter.h"
#include "ui/prompter.h"
#include "ui/tdm02repo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QProgressDialog>
#include <QScopeGuard>

namespace tolva {

namespace {

// The name of a chosen item: its text after the code and the blank.
QString chosenName(const QComboBox* box)
{
    if (box->currentIndex() < 0)
        return {};
    const QString text = box->currentText();
    const qsizetype blank = text.indexOf(u' ');
    return (blank < 0 ? QString() : text.mid(blank + 1)).trimmed();
}

} // namespace

JournalExportNames TMainInput::chosenNames(bool subAccounts) const
{
    auto side = [subAccounts](const Controls::Side& s) {
        if (subAccounts && s.accountTicked->isChecked() && s.subAccountTicked->isChecked())
            return chosenName(s.subAccount);
        return s.accountTicked->isChecked() ? chosenName(s.account) : chosenName(s.category);
    };
    return {side(c_.debit), side(c_.credit), chosenName(c_.filterUseCategory), chosenName(c_.filterMode)};
}

void TMainInput::CSV1Click()
{
    const JournalFilter f = filter();
    const JournalListSql statement = journallist::exported(f);
    if (!statement.ok()) {
        prompter().information(this, statement.problem);
        return;
    }
    // The list shows what is written, also when the file is not.
    showList(statement);
    // Named by the period it holds: "仕訳帳_2026.csv".
    const QString period =
        f.period ? outputfile::periodNamePart(f.from, f.to, {dm_.state().periodStart, dm_.state().periodEnd}) : QString();
    const std::optional<QString> path =
        prompter().saveFileName(this, QStringLiteral("名前を付けて保存"), exportFolder_,
                                outputfile::proposedFileName({QStringLiteral("仕訳帳"), period}, QStringLiteral("csv")),
                                QStringLiteral("csv (*.csv)"));
    if (!path)
        return;

    // A long export shows how far it got and can be stopped; a short one shows nothing.
    QProgressDialog progress(QStringLiteral("仕訳帳を出力しています…"), QStringLiteral("中止"), 0, 0, this);
    progress.setWindowTitle(QStringLiteral("CSV出力"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    journalexport::Outcome outcome;
    try {
        outcome = journalexport::write(dm_.q05shiwakeView, f, chosenNames(false), *path, [&](qint64 rows) {
            progress.setLabelText(QStringLiteral("仕訳帳を出力しています…（%L1 行）").arg(rows));
            progress.setValue(0);
            QCoreApplication::processEvents();
            return !progress.wasCanceled();
        });
    } catch (const journalexport::ExportCancelled&) {
        progress.close();
        prompter().information(this, QStringLiteral("出力を中止しました。ファイル「%1」は書き込まれていません。").arg(*path));
        return;
    }
    progress.close();
    if (!outcome.written.lossless())
        prompter().information(this, csv::replacementNotice(*path, outcome.lineNumbers, outcome.notes));
}

void TMainInput::N3Click()
{
    const JournalFilter f = filter();
    if (!f.period) {
        prompter().information(this, QStringLiteral("出力対象期間条件を指定してください。"));
        return;
    }
    const JournalListSql statement = journallist::journalBook(f.from, f.to);
    showList(statement);
    journalprint::writeJournalBookHeader(*dm_.q05shiwakeView.database(), journalexport::periodText(f), QDate::currentDate());
    runJournalReport(statement, journalprint::kJournalBook, true);
}

void TMainInput::N4Click()
{
    PrintJournalSelection(journalprint::kSelection);
}

void TMainInput::N8Click()
{
    PrintJournalSelection(journalprint::kDetailed);
}

void TMainInput::PrintJournalSelection(const QString& report)
{
    const JournalFilter f = filter();
    const JournalListSql statement = journallist::printedSelection(f);
    if (!statement.ok()) {
        prompter().information(this, statement.problem);
        return;
    }
    showList(statement);
    journalprint::writeSelectionHeader(*dm_.q05shiwakeView.database(), journalexport::periodText(f),
                                       journalprint::conditionText(f, chosenNames(true)), QDate::currentDate());
    runJournalReport(statement, report, false);
}

void TMainInput::runJournalReport(const JournalListSql& statement, const QString& report, bool evenWhenEmpty)
{
    Query& header = dm_.q23Jyouken;
    header.close();
    header.open();
    auto closeHeader = qScopeGuard([&] { header.close(); });
    Query& list = dm_.q05shiwakeView;
    journallist::open(list, statement);
    auto closeList = qScopeGuard([&] { list.close(); });
    // An empty selection prints nothing and says nothing; the journal book prints its period
    // even without a row.
    if (list.isEmpty() && !evenWhenEmpty)
        return;
    Tdm02Repo reports(dm_);
    reports.RvProject1Create(list.databaseName());
    // Saved as a PDF, named by what it holds and its period: "仕訳帳_2026.pdf".
    const JournalFilter f = filter();
    const QString what = report == journalprint::kJournalBook ? QStringLiteral("仕訳帳")
                         : report == journalprint::kDetailed  ? QStringLiteral("仕訳細目")
                                                              : QStringLiteral("仕訳");
    const QString period =
        f.period ? outputfile::periodNamePart(f.from, f.to, {dm_.state().periodStart, dm_.state().periodEnd}) : QString();
    reports.RunReport(report, this, outputfile::defaultOutputPath({what, period}, QStringLiteral("pdf")));
}

} // namespace tolva
