#include "closing/tfkishu.h"

#include "db/database.h"
#include "db/tdm01keiri.h"
#include "db/textformat.h"
#include "ui/actionguard.h"
#include "ui/closequestion.h"
#include "ui/help.h"
#include "ui/prompter.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tolva {

namespace {

enum Column { CodeColumn, NameColumn, AmountColumn, SideColumn, ColumnCount };

QString sideText(bool debitSide)
{
    return debitSide ? QStringLiteral("借方") : QStringLiteral("貸方");
}

QString amountText(Money amount)
{
    return amount == Money() ? QString() : textformat::gridAmount(amount);
}

} // namespace

TfKishu::TfKishu(Tdm01Keiri& dm, QWidget* parent)
    : QDialog(parent)
    , dm_(dm)
{
    setObjectName(QStringLiteral("TfKishu"));
    setWindowTitle(QStringLiteral("期首残高の入力"));
    auto* outer = new QVBoxLayout(this);
    auto* bar = new QMenuBar(this);
    outer->setMenuBar(bar);
    QAction* help = bar->addMenu(QStringLiteral("ﾍﾙﾌﾟ"))->addAction(QStringLiteral("ｻﾎﾟｰﾄｻｲﾄ"));
    connect(help, &QAction::triggered, this, [this] { guarded(this, [&] { HelpClick(); }); });

    day_ = new QLabel(this);
    outer->addWidget(day_);
    auto* note = new QLabel(QStringLiteral("資産は借方残高、負債は貸方残高を入力します。元入金は資産から負債を引いた額で、入力できません。"), this);
    note->setWordWrap(true);
    outer->addWidget(note);

    grid_ = new QTableWidget(0, ColumnCount, this);
    grid_->setHorizontalHeaderLabels({QStringLiteral("code"), QStringLiteral("科目"), QStringLiteral("期首残高"), QStringLiteral("残高")});
    grid_->verticalHeader()->hide();
    // One line of text a row: some thirty accounts and sub-accounts are seen at once.
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 8);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setEditTriggers(QAbstractItemView::AllEditTriggers);
    grid_->setColumnWidth(CodeColumn, 70);
    grid_->setColumnWidth(NameColumn, 200);
    grid_->setColumnWidth(AmountColumn, 120);
    grid_->setColumnWidth(SideColumn, 50);
    grid_->horizontalHeader()->setStretchLastSection(true);
    outer->addWidget(grid_, 1);
    connect(grid_, &QTableWidget::cellChanged, this, [this](int row, int column) { cellChanged(row, column); });

    auto* totals = new QHBoxLayout;
    assets_ = new QLabel(this);
    liabilities_ = new QLabel(this);
    capital_ = new QLabel(this);
    capital_->setObjectName(QStringLiteral("capital"));
    for (QLabel* label : {assets_, liabilities_, capital_})
        totals->addWidget(label);
    totals->addStretch(1);
    outer->addLayout(totals);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    save_ = new QPushButton(QStringLiteral("保存"), this);
    close_ = new QPushButton(QStringLiteral("閉じる"), this);
    for (QPushButton* b : {save_, close_}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    outer->addLayout(buttons);
    connect(save_, &QPushButton::clicked, this, [this] { guarded(this, [&] { SaveClick(); }); });
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
    save_->setEnabled(!dm_.state().readOnly);
    resize(520, 640);
}

void TfKishu::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    guarded(this, [&] { FormShow(); });
}

void TfKishu::FormShow()
{
    balances_ = readOpeningBalances(*dm_.t01keiri.database(), dm_.state().periodStart);
    day_->setText(QStringLiteral("期首日：%1").arg(textformat::shortDate(balances_.firstDay)));
    fill();
}

void TfKishu::fill()
{
    filling_ = true;
    grid_->setRowCount(int(balances_.lines.size()));
    for (int row = 0; row < int(balances_.lines.size()); ++row) {
        const OpeningBalanceLine& line = balances_.lines[std::size_t(row)];
        const bool sub = !line.subAccountCode.isEmpty();
        auto* code = new QTableWidgetItem(sub ? line.subAccountCode : line.accountCode);
        auto* name = new QTableWidgetItem(sub ? QStringLiteral("　") + line.name : line.name);
        auto* amount = new QTableWidgetItem(amountText(line.balance));
        auto* side = new QTableWidgetItem(sideText(line.debitSide));
        for (QTableWidgetItem* fixed : {code, name, side})
            fixed->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        if (dm_.state().readOnly)
            amount->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        amount->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        side->setTextAlignment(Qt::AlignCenter);
        grid_->setItem(row, CodeColumn, code);
        grid_->setItem(row, NameColumn, name);
        grid_->setItem(row, AmountColumn, amount);
        grid_->setItem(row, SideColumn, side);
    }
    filling_ = false;
    changed_ = false;
    showTotals();
}

void TfKishu::cellChanged(int row, int column)
{
    if (filling_ || column != AmountColumn || row < 0 || row >= int(balances_.lines.size()))
        return;
    QTableWidgetItem* item = grid_->item(row, column);
    OpeningBalanceLine& line = balances_.lines[std::size_t(row)];
    const QString typed = item->text().trimmed();
    Money amount;
    if (!typed.isEmpty()) {
        const textformat::AmountEntry entry = textformat::parseAmountEntry(typed);
        if (!entry.amount) {
            const QString reason = textformat::amountEntryProblem(entry.error);
            prompter().information(this, reason.isEmpty() ? QStringLiteral("「%1」の期首残高は金額で入力してください。").arg(line.name) : reason);
            const QSignalBlocker blocker(grid_);
            item->setText(amountText(line.balance));
            return;
        }
        amount = *entry.amount;
    }
    line.balance = amount;
    changed_ = true;
    {
        const QSignalBlocker blocker(grid_);
        item->setText(amountText(amount));
    }
    showTotals();
}

void TfKishu::showTotals()
{
    Money assets;
    Money liabilities;
    for (const OpeningBalanceLine& line : balances_.lines)
        (line.debitSide ? assets : liabilities) += line.balance;
    assets_->setText(QStringLiteral("資産 %1").arg(textformat::gridAmount(assets)));
    liabilities_->setText(QStringLiteral("負債 %1").arg(textformat::gridAmount(liabilities)));
    capital_->setText(QStringLiteral("元入金 %1").arg(textformat::gridAmount(openingCapital(balances_.lines))));
}

bool TfKishu::SaveClick()
{
    const QString question =
        balances_.journalRows > 0
            ? QStringLiteral("%1 の期首残高の仕訳 %2 件を、入力した残高と元入金 %3 の仕訳で置き換えます。よろしいですか？")
                  .arg(textformat::shortDate(balances_.firstDay))
                  .arg(balances_.journalRows)
                  .arg(textformat::gridAmount(openingCapital(balances_.lines)))
            : QStringLiteral("%1 の期首残高を、元入金 %2 とともに仕訳（前期繰越）として保存します。よろしいですか？")
                  .arg(textformat::shortDate(balances_.firstDay), textformat::gridAmount(openingCapital(balances_.lines)));
    if (!prompter().confirm(this, question))
        return false;
    writeOpeningBalances(*dm_.t01keiri.database(), balances_.firstDay, balances_.lines);
    // A journal table left open shows the rows as they now are.
    if (dm_.t01keiri.isActive())
        dm_.t01keiri.refresh();
    balances_ = readOpeningBalances(*dm_.t01keiri.database(), balances_.firstDay);
    fill();
    return true;
}

void TfKishu::done(int result)
{
    if (changed_) {
        bool close = false;
        switch (prompter().ask(this, kSaveQuestion)) {
        case Prompter::Answer::Yes: {
            bool saved = false;
            guarded(this, [&] { saved = SaveClick(); });
            close = saved;
            break;
        }
        case Prompter::Answer::No: close = true; break;
        case Prompter::Answer::Cancel: break;
        }
        if (!close)
            return;
    }
    QDialog::done(result);
}

void TfKishu::HelpClick()
{
    showHelp(this, QStringLiteral("TfKishu"));
}

} // namespace tolva
