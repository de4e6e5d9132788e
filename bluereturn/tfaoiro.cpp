#include "bluereturn/tfaoiro.h"

#include "bluereturn/bluereturnoutput.h"
#include "bluereturn/bluereturnpages.h"
#include "db/database.h"
#include "db/outputfile.h"
#include "db/readonlybooks.h"
#include "db/tdm01keiri.h"
#include "db/textformat.h"
#include "reports/csvwriter.h"
#include "ui/actionguard.h"
#include "ui/help.h"
#include "ui/prompter.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tolva {

namespace {

Database& booksOf(Tdm01Keiri& dm)
{
    return *Database::forFolder(dm.state().dataFolder);
}

FiscalPeriod currentPeriod(const Tdm01Keiri& dm)
{
    return {dm.state().periodStart, dm.state().periodEnd};
}

QTableWidget* makeTable(QWidget* parent, const QString& name, const QStringList& titles)
{
    auto* table = new QTableWidget(parent);
    table->setObjectName(name);
    table->setColumnCount(int(titles.size()));
    table->setHorizontalHeaderLabels(titles);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->setWordWrap(false);
    return table;
}

void setRow(QTableWidget* table, int row, const QStringList& cells, int firstAmountColumn, bool bold = false)
{
    for (int c = 0; c < cells.size(); ++c) {
        auto* item = new QTableWidgetItem(cells[c]);
        if (c >= firstAmountColumn)
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        if (bold) {
            QFont font = item->font();
            font.setBold(true);
            item->setFont(font);
        }
        table->setItem(row, c, item);
    }
}

bool isTotal(const StatementRow& row)
{
    return row.caption == QStringLiteral("計") || row.caption == QStringLiteral("合計") || row.number == QStringLiteral("⑦")
           || row.number == QStringLiteral("㉝") || row.number == QStringLiteral("㊶") || row.number == QStringLiteral("㊸");
}

void fillStatementTable(QTableWidget* table, const std::vector<StatementRow>& rows, int amountColumns)
{
    table->setRowCount(int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r) {
        const StatementRow& row = rows[size_t(r)];
        QStringList cells = {row.section, row.number, row.caption, statementAmount(row.first)};
        if (amountColumns > 1)
            cells << statementAmount(row.second);
        setRow(table, r, cells, 3, isTotal(row));
    }
    table->resizeColumnsToContents();
}

} // namespace

TfAoiro::TfAoiro(Tdm01Keiri& dm, QWidget* parent) : QDialog(parent), dm_(dm)
{
    buildUi();
    refresh();
}

void TfAoiro::buildUi()
{
    setObjectName(QStringLiteral("fAoiro"));
    setWindowTitle(QStringLiteral("青色申告決算書"));
    resize(900, 680);
    auto* outer = new QVBoxLayout(this);

    auto* menuBar = new QMenuBar(this);
    QMenu* helpMenu = menuBar->addMenu(QStringLiteral("ﾍﾙﾌﾟ"));
    help_ = helpMenu->addAction(QStringLiteral("ｻﾎﾟｰﾄｻｲﾄ"));
    connect(help_, &QAction::triggered, this, [this] { guarded(this, [&] { showHelp(this, QStringLiteral("TfAoiro")); }); });
    outer->setMenuBar(menuBar);

    auto* top = new QHBoxLayout;
    period_ = new QLabel(this);
    period_->setObjectName(QStringLiteral("Period"));
    top->addWidget(period_, 1);
    top->addWidget(new QLabel(QStringLiteral("青色申告特別控除額："), this));
    deduction_ = new QComboBox(this);
    deduction_->setObjectName(QStringLiteral("Deduction"));
    for (qint64 yen : specialDeductionChoices())
        deduction_->addItem(QStringLiteral("%1円").arg(textformat::gridAmount(Money::fromYen(yen))), yen);
    top->addWidget(deduction_);
    const auto button = [this](const QString& caption, const QString& name, void (TfAoiro::*handler)()) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, handler] { guarded(this, [&] { (this->*handler)(); }); });
        return b;
    };
    assignment_ = button(QStringLiteral("科目の割り当て"), QStringLiteral("Assignment"), &TfAoiro::openAssignment);
    print_ = button(QStringLiteral("印刷・PDF"), QStringLiteral("Print"), &TfAoiro::printPages);
    csv_ = button(QStringLiteral("CSVﾌｧｲﾙ出力"), QStringLiteral("Csv"), &TfAoiro::exportCsv);
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    close->setObjectName(QStringLiteral("Close"));
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    for (QPushButton* b : {assignment_, print_, csv_, close})
        top->addWidget(b);
    outer->addLayout(top);
    // Books opened for reading keep their settings: the choice is used for this showing only.
    assignment_->setEnabled(!dm_.state().readOnly);

    findings_ = new QLabel(this);
    findings_->setObjectName(QStringLiteral("Findings"));
    findings_->setWordWrap(true);
    findings_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    findings_->setStyleSheet(QStringLiteral("QLabel { color: #b00000; }"));
    outer->addWidget(findings_);

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("Pages"));
    const QStringList titles = blueReturnPageTitles();
    const QStringList statementTitles = {QStringLiteral("区分"), QStringLiteral("番号"), QStringLiteral("項目")};
    pages_[0] = makeTable(tabs_, QStringLiteral("Page1"), statementTitles + statementAmountTitles(1));
    auto* page2 = new QWidget(tabs_);
    auto* page2Layout = new QVBoxLayout(page2);
    pages_[1] = makeTable(page2, QStringLiteral("Page2"), statementTitles + statementAmountTitles(2));
    page2Layout->addWidget(pages_[1], 3);
    page2Layout->addWidget(new QLabel(familySalaryTitle(), page2));
    family_ = makeTable(page2, QStringLiteral("FamilySalary"),
                        {QStringLiteral("氏名（細目）"), QStringLiteral("従事月数"), QStringLiteral("支給額")});
    page2Layout->addWidget(family_, 1);
    pages_[2] = makeTable(tabs_, QStringLiteral("Page3"), depreciationTitles());
    pages_[3] = makeTable(tabs_, QStringLiteral("Page4"), statementTitles + statementAmountTitles(4));
    // Page 2's lines are all of one block, and page 4 prints no line numbers.
    pages_[1]->setColumnHidden(0, true);
    pages_[1]->setColumnHidden(1, true);
    pages_[3]->setColumnHidden(1, true);
    tabs_->addTab(pages_[0], titles[0]);
    tabs_->addTab(page2, titles[1]);
    tabs_->addTab(pages_[2], titles[2]);
    tabs_->addTab(pages_[3], titles[3]);
    outer->addWidget(tabs_, 1);

    connect(deduction_, &QComboBox::activated, this, [this](int index) { guarded(this, [&] { deductionChosen(index); }); });
}

void TfAoiro::refresh()
{
    const int index = deduction_->currentIndex();
    const std::optional<qint64> chosen = statement_.period.start.isValid() && index >= 0
                                             ? std::optional<qint64>(deduction_->itemData(index).toLongLong())
                                             : std::nullopt;
    statement_ = computeBlueReturn(booksOf(dm_), currentPeriod(dm_), chosen);
    fill();
}

void TfAoiro::deductionChosen(int index)
{
    const qint64 yen = deduction_->itemData(index).toLongLong();
    if (!dm_.state().readOnly)
        saveSpecialDeduction(booksOf(dm_), currentPeriod(dm_).start.year(), yen);
    refresh();
}

void TfAoiro::fill()
{
    period_->setText(QStringLiteral("対象期間：") + blueReturnPeriodLine(statement_));
    const int index = deduction_->findData(statement_.chosenDeduction);
    deduction_->setCurrentIndex(index);
    QStringList messages;
    for (const StatementFinding& finding : statement_.findings)
        messages << finding.message;
    findings_->setText(messages.join(u'\n'));
    findings_->setVisible(!messages.isEmpty());

    fillStatementTable(pages_[0], statement_.incomeStatement, 1);
    fillStatementTable(pages_[1], statement_.monthly, 2);
    fillStatementTable(pages_[3], statement_.balanceSheet, 2);
    family_->setRowCount(int(statement_.familySalaryRows.size()));
    for (int r = 0; r < int(statement_.familySalaryRows.size()); ++r) {
        const FamilySalaryRow& row = statement_.familySalaryRows[size_t(r)];
        setRow(family_, r, {row.name, QString::number(row.months), textformat::gridAmount(row.amount)}, 1);
    }
    QTableWidget* schedule = pages_[2];
    schedule->setRowCount(int(statement_.depreciation.size()) + 1);
    for (int r = 0; r < int(statement_.depreciation.size()); ++r)
        setRow(schedule, r, depreciationCells(statement_.depreciation[size_t(r)]), 1);
    setRow(schedule, int(statement_.depreciation.size()), depreciationTotalCells(statement_), 1, true);
    schedule->resizeColumnsToContents();
}

void TfAoiro::openAssignment()
{
    TfKessanLine window(dm_, this);
    window.exec();
    if (window.saved())
        refresh();
}

void TfAoiro::printPages()
{
    // The four pages of the form, drawn from a copy of the figures shown.
    class Pages final : public ReportPages {
    public:
        explicit Pages(BlueReturn statement) : statement_(std::move(statement)) {}
        int pageCount() const override { return kBlueReturnPages; }
        QPageLayout pageLayout() const override { return blueReturnPageLayout(); }
        void drawPage(QPainter& painter, int page) const override { drawBlueReturnPage(statement_, painter, page); }

    private:
        BlueReturn statement_;
    };
    const BlueReturn statement = statement_;
    prompter().previewReport(this, blueReturnTitle(),
                             [statement](const ReportProgress&) -> std::unique_ptr<ReportPages> {
                                 return std::make_unique<Pages>(statement);
                             },
                             proposedPath(QStringLiteral("pdf")));
}

QString TfAoiro::proposedPath(const QString& extension) const
{
    const FiscalPeriod& period = statement_.period;
    return outputfile::defaultOutputPath({blueReturnTitle(), outputfile::periodNamePart(period.start, period.end, period)},
                                         extension);
}

void TfAoiro::exportCsv()
{
    const QFileInfo proposed(proposedPath(QStringLiteral("csv")));
    const std::optional<QString> path = prompter().saveFileName(this, QStringLiteral("名前を付けて保存"), proposed.path(),
                                                                proposed.fileName(), QStringLiteral("csv (*.csv)"));
    if (!path)
        return;
    const csv::WriteOutcome outcome = csv::writeRows(*path, blueReturnCsvRows(statement_));
    if (outcome.lossless())
        return;
    QList<int> lineNumbers;
    for (int row : outcome.linesWithReplacements)
        lineNumbers << row + 1;
    prompter().information(this, csv::replacementNotice(*path, lineNumbers, QStringList()));
}

// The assignment window.

TfKessanLine::TfKessanLine(Tdm01Keiri& dm, QWidget* parent) : QDialog(parent), dm_(dm)
{
    chart_ = readChart(booksOf(dm));
    lines_ = readAccountLines(booksOf(dm), chart_);
    buildUi();
}

void TfKessanLine::buildUi()
{
    setObjectName(QStringLiteral("fKessanLine"));
    setWindowTitle(QStringLiteral("決算書の科目設定"));
    resize(640, 600);
    auto* outer = new QVBoxLayout(this);
    auto* note = new QLabel(QStringLiteral("各勘定科目を青色申告決算書のどの行に載せるかを選びます。"
                                           "家計の科目は「決算書に載せない」にします。"),
                            this);
    note->setWordWrap(true);
    outer->addWidget(note);
    grid_ = makeTable(this, QStringLiteral("Accounts"),
                      {QStringLiteral("コード"), QStringLiteral("勘定科目"), QStringLiteral("分類"), QStringLiteral("決算書の行")});
    grid_->setRowCount(int(chart_.size()));
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 12);
    for (int r = 0; r < int(chart_.size()); ++r) {
        const ChartAccount& account = chart_[size_t(r)];
        setRow(grid_, r, {account.code, account.name, account.category}, 4);
        auto* choice = new QComboBox(grid_);
        choice->setObjectName(QStringLiteral("Line_") + account.code);
        for (const StatementLineDef& line : statementLines())
            choice->addItem(statementLineChoiceText(line), line.key);
        choice->setCurrentIndex(choice->findData(lines_.line[account.code]));
        grid_->setCellWidget(r, 3, choice);
    }
    grid_->resizeColumnsToContents();
    grid_->horizontalHeader()->setStretchLastSection(true);
    outer->addWidget(grid_, 1);

    auto* buttons = new QHBoxLayout;
    reset_ = new QPushButton(QStringLiteral("既定に戻す"), this);
    reset_->setObjectName(QStringLiteral("Reset"));
    save_ = new QPushButton(QStringLiteral("保存"), this);
    save_->setObjectName(QStringLiteral("Save"));
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    close->setObjectName(QStringLiteral("Close"));
    for (QPushButton* b : {reset_, save_, close}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->insertStretch(1, 1);
    outer->addLayout(buttons);
    save_->setEnabled(!dm_.state().readOnly);
    connect(save_, &QPushButton::clicked, this, [this] { guarded(this, [&] { save(); }); });
    connect(reset_, &QPushButton::clicked, this, [this] { guarded(this, [&] { resetSelected(); }); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

QComboBox* TfKessanLine::lineChoice(const QString& accountCode) const
{
    for (int r = 0; r < grid_->rowCount(); ++r)
        if (grid_->item(r, 0)->text() == accountCode)
            return qobject_cast<QComboBox*>(grid_->cellWidget(r, 3));
    return nullptr;
}

void TfKessanLine::save()
{
    std::map<QString, QString> chosen;
    for (const ChartAccount& account : chart_)
        chosen[account.code] = lineChoice(account.code)->currentData().toString();
    saveAccountLines(booksOf(dm_), chart_, chosen);
    lines_.line = chosen;
    saved_ = true;
    prompter().information(this, QStringLiteral("決算書の科目設定を保存しました。"));
}

void TfKessanLine::resetSelected()
{
    const int row = grid_->currentRow();
    if (row < 0)
        return;
    const QString code = grid_->item(row, 0)->text();
    QComboBox* choice = lineChoice(code);
    choice->setCurrentIndex(choice->findData(lines_.defaults[code]));
}

} // namespace tolva
