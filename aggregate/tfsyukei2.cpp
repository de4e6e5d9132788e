#include "aggregate/tfsyukei2.h"

#include "aggregate/aggregateoutput.h"
#include "db/database.h"
#include "db/dataset.h"
#include "db/outputfile.h"
#include "db/tdm01keiri.h"
#include "reports/csvwriter.h"
#include "ui/actionguard.h"
#include "ui/datepicker.h"
#include "ui/gridcells.h"
#include "ui/help.h"
#include "ui/prompter.h"
#include "ui/tdm02repo.h"

#include <QAction>
#include <QButtonGroup>
#include <QDateEdit>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QScopeGuard>
#include <QShowEvent>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

namespace tolva {

namespace {

int designWidth(const std::optional<AggregateView>& view, int column)
{
    if (!view)
        return 64;
    if (*view == AggregateView::Accounts)
        return column < 2 ? 40 : column == 2 ? 150 : 70;
    switch (column) {
    case 0: return 40;
    case 2: return 120;
    case 4: return 100;
    default: return 60;
    }
}

// The sub-account view's code columns are kept in the grid, and in the file, but not shown.
bool hiddenColumn(const std::optional<AggregateView>& view, int column)
{
    return view == AggregateView::SubAccounts && (column == 1 || column == 3);
}

// The row-0 titles as the header paints them: each group across all of its columns.
QStringList headerGroups(AggregateView view)
{
    const QString totals = QStringLiteral("合計試算表");
    const QString balances = QStringLiteral("残高試算表");
    if (view == AggregateView::Accounts)
        return {{}, {}, {}, totals, totals, balances, balances};
    return {{}, {}, {}, {}, {}, totals, totals, totals, totals, balances, balances, balances, balances};
}

} // namespace

// --- AggregateGridModel ----------------------------------------------------------------

void AggregateGridModel::setGrid(AggregateGrid grid)
{
    beginResetModel();
    grid_ = std::move(grid);
    endResetModel();
}

int AggregateGridModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return grid_.view ? int(grid_.lines.size()) : kUnfilledRows - kAggregateHeadingRows;
}

int AggregateGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : grid_.columnCount();
}

Qt::Alignment AggregateGridModel::alignment(AggregateView view, int column)
{
    if (view == AggregateView::Accounts)
        return column < 2 ? Qt::AlignHCenter : column == 2 ? Qt::AlignLeft : Qt::AlignRight;
    return column == 0 || column >= 5 ? Qt::AlignRight : Qt::AlignLeft;
}

QVariant AggregateGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !grid_.view || index.row() >= int(grid_.lines.size()))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return grid_.lines[size_t(index.row())].cells.value(index.column());
    case Qt::TextAlignmentRole:
        return int(alignment(*grid_.view, index.column()) | Qt::AlignTop);
    default:
        return {};
    }
}

QVariant AggregateGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || !grid_.view)
        return {};
    if (role == Qt::DisplayRole)
        return aggregateColumnTitles(*grid_.view).value(section);
    return {};
}

// --- TfSyukei2 -------------------------------------------------------------------------

TfSyukei2::TfSyukei2(Tdm01Keiri& dm, QWidget* parent) : QDialog(parent), dm_(dm)
{
    // FormCreate.
    dataFolder_ = dm_.state().dataFolder;
    buildUi();
}

Database& TfSyukei2::db() const
{
    return *dm_.t06temp1.database();
}

void TfSyukei2::buildUi()
{
    setObjectName(QStringLiteral("fSyukei2"));
    setWindowTitle(QStringLiteral("集計処理"));

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(8, 4, 8, 0);

    auto* menuBar = new QMenuBar(this);
    QMenu* output = menuBar->addMenu(QStringLiteral("出力"));
    reportAction_ = output->addAction(QStringLiteral("ﾚﾎﾟｰﾄ"));
    reportAction_->setObjectName(QStringLiteral("N2"));
    connect(reportAction_, &QAction::triggered, this, [this] { guarded(this, [&] { N2Click(); }); });
    exportAction_ = output->addAction(QStringLiteral("CSVﾌｧｲﾙ出力"));
    exportAction_->setObjectName(QStringLiteral("N5"));
    connect(exportAction_, &QAction::triggered, this, [this] { guarded(this, [&] { N5Click(); }); });
    QMenu* helpMenu = menuBar->addMenu(QStringLiteral("ﾍﾙﾌﾟ"));
    helpAction_ = helpMenu->addAction(QStringLiteral("ｻﾎﾟｰﾄｻｲﾄ"));
    helpAction_->setObjectName(QStringLiteral("N4"));
    connect(helpAction_, &QAction::triggered, this, [this] { guarded(this, [&] { N4Click(); }); });
    outer->setMenuBar(menuBar);

    auto button = [this](const QString& text, const char* name, void (TfSyukei2::*handler)()) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, handler] { guarded(this, [&] { (this->*handler)(); }); });
        return b;
    };

    // The heading panel: the mode, the panel of the mode, the status of the last run.
    auto* heading = new QHBoxLayout;
    heading->setSpacing(4);
    auto* modes = new QButtonGroup(this);
    showMode_ = new QRadioButton(QStringLiteral("表示"), this);
    showMode_->setObjectName(QStringLiteral("RadioGroup2_0"));
    runMode_ = new QRadioButton(QStringLiteral("集計"), this);
    runMode_->setObjectName(QStringLiteral("RadioGroup2_1"));
    modes->addButton(showMode_);
    modes->addButton(runMode_);
    showMode_->setChecked(true);
    connect(modes, &QButtonGroup::buttonClicked, this, [this] { guarded(this, [&] { RadioGroup2Click(); }); });
    heading->addWidget(showMode_);
    heading->addWidget(runMode_);

    runPanel_ = new QWidget(this);
    runPanel_->setObjectName(QStringLiteral("Panel2"));
    auto* runRow = new QHBoxLayout(runPanel_);
    runRow->setContentsMargins(0, 0, 0, 0);
    // Tight, so that the period, the month buttons and the run button fit the window's width.
    runRow->setSpacing(3);
    runRow->addWidget(new QLabel(QStringLiteral("期間"), runPanel_));
    auto datePicker = [this](const char* name) {
        auto* picker = new DatePicker(runPanel_);
        picker->setObjectName(QLatin1String(name));
        picker->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
        picker->setCalendarPopup(true);
        return picker;
    };
    start_ = datePicker("DateTimePicker1");
    end_ = datePicker("DateTimePicker2");
    runRow->addWidget(start_);
    runRow->addWidget(new QLabel(QStringLiteral("～"), runPanel_));
    runRow->addWidget(end_);
    previous_ = button(QStringLiteral("<<前月"), "SpeedButton1", &TfSyukei2::SpeedButton1Click);
    next_ = button(QStringLiteral("翌月>>"), "SpeedButton2", &TfSyukei2::SpeedButton2Click);
    run_ = button(QStringLiteral("集計実行"), "SpeedButton3", &TfSyukei2::SpeedButton3Click);
    // As wide as their texts, not the wider minimum the style gives every push button.
    for (QPushButton* b : {previous_, next_, run_})
        b->setFixedWidth(b->fontMetrics().horizontalAdvance(b->text()) + 18);
    runRow->addWidget(previous_);
    runRow->addWidget(next_);
    runRow->addWidget(run_);
    heading->addWidget(runPanel_);
    runPanel_->hide();  // mode "表示" at opening

    viewPanel_ = new QWidget(this);
    viewPanel_->setObjectName(QStringLiteral("Panel3"));
    auto* viewRow = new QHBoxLayout(viewPanel_);
    viewRow->setContentsMargins(0, 0, 0, 0);
    refresh_ = button(QStringLiteral("再表示"), "SpeedButton4", &TfSyukei2::SpeedButton4Click);
    viewRow->addWidget(refresh_);
    auto* levels = new QButtonGroup(this);
    accountLevel_ = new QRadioButton(QStringLiteral("科目"), viewPanel_);
    accountLevel_->setObjectName(QStringLiteral("RadioGroup1_0"));
    subAccountLevel_ = new QRadioButton(QStringLiteral("細目"), viewPanel_);
    subAccountLevel_->setObjectName(QStringLiteral("RadioGroup1_1"));
    levels->addButton(accountLevel_);
    levels->addButton(subAccountLevel_);
    accountLevel_->setChecked(true);
    viewRow->addWidget(accountLevel_);
    viewRow->addWidget(subAccountLevel_);
    heading->addWidget(viewPanel_);
    heading->addStretch(1);

    auto* closeButton = new QPushButton(QStringLiteral("閉じる"), this);
    closeButton->setObjectName(QStringLiteral("BitBtn1"));
    closeButton->setAutoDefault(false);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    outer->addLayout(heading);

    auto* status = new QHBoxLayout;
    runLabel_ = new QLabel(QStringLiteral("集計状況："), this);
    runLabel_->setObjectName(QStringLiteral("Label2"));
    rangeLabel_ = new QLabel(QStringLiteral("集計条件："), this);
    rangeLabel_->setObjectName(QStringLiteral("Label3"));
    status->addWidget(runLabel_);
    status->addSpacing(24);
    status->addWidget(rangeLabel_);
    status->addStretch(1);
    // Beside the status rather than the mode, so that the run panel fits the window's 800 pixels.
    status->addWidget(closeButton);
    outer->addLayout(status);

    model_ = new AggregateGridModel(this);
    grid_ = new QTableView(this);
    grid_->setObjectName(QStringLiteral("StringGrid1"));
    header_ = new GroupedHeaderView(grid_);
    grid_->setHorizontalHeader(header_);
    grid_->setModel(model_);
    grid_->setItemDelegate(new TopAlignedCellDelegate(grid_));
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setWordWrap(false);
    grid_->verticalHeader()->hide();
    header_->setMinimumSectionSize(0);
    outer->addWidget(grid_, 1);

    statusBar_ = new QStatusBar(this);
    statusBar_->setObjectName(QStringLiteral("StatusBar1"));
    outer->addWidget(statusBar_);

    resize(800, 560);
}

void TfSyukei2::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        guarded(this, [&] { FormShow(); });
}

void TfSyukei2::FormShow()
{
    setRange(monthOf(QDate::currentDate()));
    runPanel_->hide();
    viewPanel_->show();
    fitColumns();
    showStatus();
}

void TfSyukei2::showStatus()
{
    const std::optional<AggregationStatus> status = readAggregationStatus(db());
    runLabel_->setText(statusRunText(status));
    rangeLabel_->setText(statusRangeText(status));
}

void TfSyukei2::setRange(const DateRange& range)
{
    start_->setDate(range.start);
    end_->setDate(range.end);
}

void TfSyukei2::RadioGroup2Click()
{
    const bool run = runMode_->isChecked();
    runPanel_->setVisible(run);
    viewPanel_->setVisible(!run);
}

void TfSyukei2::SpeedButton1Click()
{
    setRange(previousMonth(start_->date()));
}

void TfSyukei2::SpeedButton2Click()
{
    setRange(nextMonth(start_->date()));
}

void TfSyukei2::SpeedButton3Click()
{
    if (!prompter().confirm(this, periodAggregationQuestion(), Prompter::QuestionKind::Warning))
        return;
    const DateRange range{start_->date(), end_->date()};
    statusBar_->clearMessage();
    // The labels show what the books hold, whether the run went through or not, and the new
    // run already while its closing message is open.
    auto refreshStatus = qScopeGuard([&] { showStatus(); });
    (void)aggregatePeriod(db(), range, QDateTime::currentDateTime());
    refreshStatus.dismiss();
    showStatus();
    if (range.isEmpty())
        statusBar_->showMessage(emptyRangeNotice(range));
    // Books that can only be read are aggregated in memory (Database::workTables).
    prompter().information(this, dm_.state().readOnly ? periodAggregationMessage()
                                                            + QStringLiteral("\n帳簿は読み取り専用のため、集計の結果は帳簿に記録されません"
                                                                             "（このプログラムを終了するまで表示できます）。")
                                                      : periodAggregationMessage());
}

void TfSyukei2::SpeedButton4Click()
{
    const AggregateView view = subAccountLevel_->isChecked() ? AggregateView::SubAccounts : AggregateView::Accounts;
    AggregateGrid grid = readAggregateGrid(db(), view);
    header_->setGroups(headerGroups(view));
    header_->setMergedTitles(view == AggregateView::SubAccounts);
    model_->setGrid(std::move(grid));
    fitColumns();
    if (model_->rowCount() > 0)
        grid_->setCurrentIndex(model_->index(0, 0));
    grid_->scrollToTop();
    grid_->horizontalScrollBar()->setValue(0);
}

void TfSyukei2::fitColumns()
{
    const std::optional<AggregateView>& view = model_->grid().view;
    // The columns have their design widths; an amount wider than its column widens it, since
    // a figure cut short would be a wrong figure.
    const QFontMetrics metrics(grid_->font());
    const int margins = 2 * (grid_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid_) + 1) + 2;
    for (int column = 0; column < model_->columnCount(); ++column) {
        grid_->setColumnHidden(column, hiddenColumn(view, column));
        int widest = designWidth(view, column);
        if (view && column >= 5 - (*view == AggregateView::Accounts ? 2 : 0)) {
            for (int row = 0; row < model_->rowCount(); ++row)
                widest = qMax(widest, metrics.horizontalAdvance(model_->index(row, column).data().toString()) + margins);
        }
        grid_->setColumnWidth(column, widest);
    }
    widenToColumns(this, grid_);
}

void TfSyukei2::N2Click()
{
    const AggregateGrid& grid = model_->grid();
    fillAggregateReportTables(db(), grid, rangeLabel_->text(), QDate::currentDate());
    const std::optional<QString> report = aggregateReportName(grid);
    Query& header = dm_.q23Jyouken;
    auto closeHeader = qScopeGuard([&] { header.close(); });
    header.close();
    header.open();
    if (!report)
        return;
    Query& body = *grid.view == AggregateView::Accounts ? dm_.q19Repo : dm_.q20Repo;
    auto closeBody = qScopeGuard([&] { body.close(); });
    body.close();
    body.setSql(QStringLiteral("SELECT * FROM ") + *aggregateReportTable(grid));
    body.open();
    Tdm02Repo reports(dm_);
    reports.RvProject1Create(dataFolder_);
    reports.RunReport(*report, this, outputfile::defaultOutputPath({aggregateFileTitle(grid), periodPart()}, QStringLiteral("pdf")));
}

QString TfSyukei2::periodPart()
{
    // The range of the last run, which is what the sums hold.
    const std::optional<AggregationStatus> status = readAggregationStatus(db());
    if (!status)
        return {};
    return outputfile::periodNamePart(status->range.start, status->range.end, {dm_.state().periodStart, dm_.state().periodEnd});
}

void TfSyukei2::N5Click()
{
    const AggregateGrid& grid = model_->grid();
    const std::optional<QString> path = prompter().saveFileName(this, QStringLiteral("名前を付けて保存"),
                                                                outputfile::userFilesFolder(),
                                                                outputfile::proposedFileName({aggregateFileTitle(grid), periodPart()},
                                                                                             QStringLiteral("csv")),
                                                                QStringLiteral("csv (*.csv)"));
    if (!path)
        return;
    const csv::WriteOutcome outcome = csv::writeRows(*path, aggregateExportRows(grid, rangeLabel_->text()));
    if (outcome.lossless())
        return;
    QList<int> lineNumbers;
    QStringList notes;
    for (int row : outcome.linesWithReplacements) {
        lineNumbers << row + 1;
        const int line = row - kAggregateExportHeadRows - kAggregateHeadingRows;
        const QString code = grid.view && line >= 0 && line < int(grid.lines.size()) ? grid.lines[size_t(line)].code : QString();
        notes << (code.isEmpty() ? QString() : QStringLiteral("コード %1").arg(code));
    }
    prompter().information(this, csv::replacementNotice(*path, lineNumbers, notes));
}

void TfSyukei2::N4Click()
{
    showHelp(this, QStringLiteral("TfSyukei2"));
}

} // namespace tolva
