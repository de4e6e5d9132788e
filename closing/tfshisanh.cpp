#include "closing/tfshisanh.h"

#include "closing/closingoutput.h"
#include "closing/openingbalances.h"
#include "closing/yearend.h"
#include "db/database.h"
#include "db/dataset.h"
#include "db/outputfile.h"
#include "db/tdm01keiri.h"
#include "db/textformat.h"
#include "reports/csvwriter.h"
#include "ui/actionguard.h"
#include "ui/gridcells.h"
#include "ui/help.h"
#include "ui/prompter.h"
#include "ui/tdm02repo.h"

#include <QAction>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QShowEvent>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

namespace tolva {

namespace {

constexpr int kNarrowWidth = 40;
constexpr int kNameWidth = 150;
constexpr int kAmountWidth = 70;

int designWidth(int column)
{
    return column < 2 ? kNarrowWidth : column == 2 ? kNameWidth : kAmountWidth;
}

} // namespace

// --- ClosingGridModel ------------------------------------------------------------------

void ClosingGridModel::setGrid(ClosingGrid grid)
{
    beginResetModel();
    grid_ = std::move(grid);
    endResetModel();
}

int ClosingGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(grid_.lines.size());
}

int ClosingGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : grid_.columnCount();
}

Qt::Alignment ClosingGridModel::alignment(int column)
{
    if (column < 2)
        return Qt::AlignHCenter;
    return column == 2 ? Qt::AlignLeft : Qt::AlignRight;
}

QVariant ClosingGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(grid_.lines.size()))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return lineCells(grid_.lines[size_t(index.row())]).value(index.column());
    case Qt::TextAlignmentRole:
        return int(alignment(index.column()) | Qt::AlignTop);
    default:
        return {};
    }
}

QVariant ClosingGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole)
        return columnTitles(grid_.view).value(section);
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignHCenter | Qt::AlignTop);
    return {};
}

// --- TfShisanH -------------------------------------------------------------------------

TfShisanH::TfShisanH(Tdm01Keiri& dm, QWidget* parent) : QDialog(parent), dm_(dm)
{
    // FormCreate.
    dataFolder_ = dm_.state().dataFolder;
    buildUi();
}

void TfShisanH::buildUi()
{
    setObjectName(QStringLiteral("fShisanH"));
    setWindowTitle(QStringLiteral("試算表"));

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

    auto* top = new QHBoxLayout;
    period_ = new QLabel(this);
    period_->setObjectName(QStringLiteral("Label1"));
    top->addWidget(period_, 1);
    auto* closeButton = new QPushButton(QStringLiteral("閉じる"), this);
    closeButton->setObjectName(QStringLiteral("BitBtn1"));
    closeButton->setAutoDefault(false);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    top->addWidget(closeButton);
    outer->addLayout(top);

    notice_ = new QLabel(this);
    notice_->setObjectName(QStringLiteral("broughtForwardNotice"));
    notice_->setWordWrap(true);
    notice_->setStyleSheet(QStringLiteral("QLabel { background-color: #fff4d6; border: 1px solid #d9a400; padding: 4px; }"));
    notice_->hide();
    outer->addWidget(notice_);

    model_ = new ClosingGridModel(this);
    grid_ = new QTableView(this);
    grid_->setObjectName(QStringLiteral("StringGrid1"));
    header_ = new GroupedHeaderView(grid_);
    grid_->setHorizontalHeader(header_);
    grid_->setModel(model_);
    grid_->setItemDelegate(new TopAlignedCellDelegate(grid_));
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setWordWrap(false);
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    header_->setMinimumSectionSize(8);
    defaultRowHeight_ = grid_->verticalHeader()->defaultSectionSize();
    outer->addWidget(grid_, 1);

    auto* statusBar = new QStatusBar(this);
    statusBar->setObjectName(QStringLiteral("StatusBar1"));
    outer->addWidget(statusBar);

    resize(528, 560);
}

void TfShisanH::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        guarded(this, [&] { FormShow(); });
}

void TfShisanH::FormShow()
{
    // Rows are 0.6 of the usual height, but never so low that the text set 2 pixels below
    // their top loses its last line of pixels.
    QHeaderView* rows = grid_->verticalHeader();
    const int rowHeight = qMax(qRound(0.6 * defaultRowHeight_), QFontMetrics(grid_->font()).height() + 3);
    rows->setMinimumSectionSize(qMin(rows->minimumSectionSize(), rowHeight));
    rows->setDefaultSectionSize(rowHeight);

    period_->setText(QStringLiteral("対象期間：") + textformat::period(dm_.state().periodStart, dm_.state().periodEnd));

    view_ = viewFromCaption(windowTitle());
    if (view_ == ClosingView::TrialBalance)
        ShowTrialBalance();
    else if (view_ == ClosingView::Worksheet)
        ShowWorksheet();
}

void TfShisanH::ShowTrialBalance()
{
    showView(ClosingView::TrialBalance);
}

void TfShisanH::ShowWorksheet()
{
    showView(ClosingView::Worksheet);
}

void TfShisanH::showView(ClosingView view)
{
    // The headings stand even when the store fails; no totals are shown for figures not read.
    model_->setGrid(ClosingGrid{view, {}});
    header_->setGroups(groupTitles(view));
    auto fit = qScopeGuard([&] { fitColumns(); });
    Database& db = *dm_.t08Sisan.database();
    const QString year = yearCode(dm_.state().periodStart);
    const std::vector<YearAccount> accounts = readYearAccounts(db, year);
    model_->setGrid(closingGrid(view, accounts));
    // 2111 is never shown; when it does not net to zero, nothing on the grid would say why
    // the columns differ.
    notice_->setText(broughtForwardNotice(broughtForwardImbalance(accounts)));
    notice_->setVisible(!notice_->text().isEmpty());
}

void TfShisanH::fitColumns()
{
    // The columns have their design widths; an amount or a number wider than its column
    // widens it, since a figure cut short would be a wrong figure.
    const QFontMetrics metrics(grid_->font());
    const int margins = 2 * (grid_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid_) + 1) + 2;
    for (int column = 0; column < model_->columnCount(); ++column) {
        int widest = designWidth(column);
        if (column != 2) {
            for (int row = 0; row < model_->rowCount(); ++row)
                widest = qMax(widest, metrics.horizontalAdvance(model_->index(row, column).data().toString()) + margins);
        }
        grid_->setColumnWidth(column, widest);
    }
    widenToColumns(this, grid_);
}

QString TfShisanH::periodText() const
{
    return period_->text();
}

void TfShisanH::N2Click()
{
    if (!view_)
        return;
    const ClosingView view = *view_;
    const FiscalPeriod period{dm_.state().periodStart, dm_.state().periodEnd};
    fillClosingReportTables(*dm_.t08Sisan.database(), model_->grid(), closingPeriodLine(period), QDate::currentDate());

    Query& header = dm_.q23Jyouken;
    Query& body = view == ClosingView::TrialBalance ? dm_.q19Repo : dm_.q20Repo;
    auto closeQueries = qScopeGuard([&] {
        body.close();
        header.close();
    });
    header.close();
    header.open();
    body.close();
    body.setSql(QStringLiteral("SELECT * FROM ") + closingReportTable(view));
    body.open();
    Tdm02Repo reports(dm_);
    reports.RvProject1Create(dataFolder_);
    reports.RunReport(closingReportName(view), this,
                      outputfile::defaultOutputPath({closingFileTitle(view), yearPart()}, QStringLiteral("pdf")));
}

QString TfShisanH::yearPart() const
{
    return outputfile::periodNamePart(dm_.state().periodStart, dm_.state().periodEnd, {dm_.state().periodStart, dm_.state().periodEnd});
}

void TfShisanH::N5Click()
{
    if (!view_)
        return;
    const ClosingView view = *view_;
    const FiscalPeriod period{dm_.state().periodStart, dm_.state().periodEnd};
    const std::optional<QString> path = prompter().saveFileName(this, QStringLiteral("名前を付けて保存"),
                                                                outputfile::userFilesFolder(),
                                                                outputfile::proposedFileName({closingFileTitle(view), yearPart()}, QStringLiteral("csv")),
                                                                QStringLiteral("csv (*.csv)"));
    if (!path)
        return;
    const ClosingGrid& grid = model_->grid();
    const csv::WriteOutcome outcome = csv::writeRows(*path, closingExportRows(grid, closingPeriodLine(period)));
    if (outcome.lossless())
        return;
    QList<int> lineNumbers;
    QStringList notes;
    for (int row : outcome.linesWithReplacements) {
        lineNumbers << row + 1;
        const int line = row - kClosingExportHeadRows - kHeadingRows;
        const QString code = line >= 0 && line < int(grid.lines.size()) ? grid.lines[size_t(line)].code : QString();
        notes << (code.isEmpty() ? QString() : QStringLiteral("科目 %1").arg(code));
    }
    prompter().information(this, csv::replacementNotice(*path, lineNumbers, notes));
}

void TfShisanH::N4Click()
{
    showHelp(this, view_ == ClosingView::Worksheet ? QStringLiteral("TfShisanH_Worksheet")
                                                  : QStringLiteral("TfShisanH_TrialBalance"));
}

} // namespace tolva
