#include "ledger/tfm04motocho.h"

#include "db/codes.h"
#include "db/outputfile.h"
#include "db/programstate.h"
#include "db/tdm01keiri.h"
#include "db/textformat.h"
#include "reports/csvwriter.h"
#include "ui/actionguard.h"
#include "ui/datepicker.h"
#include "ui/help.h"
#include "ui/prompter.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScopeGuard>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

namespace tolva {

namespace {

const int kColumnWidths[kLedgerColumns] = {70, 350, 40, 40, 70, 70, 30, 70};

const QString kNothingShown = QStringLiteral(
    "出力対象が表示されていません。条件を指定して表示ﾎﾞﾀﾝで出力対象を表示してください。");
const QString kNoAccount = QStringLiteral("科目条件が指定されていません");
const QString kNoSubAccount = QStringLiteral("細目条件が指定されていません");
const QString kSelectionChanged = QStringLiteral(
    "表示されている元帳と条件が異なります。表示ﾎﾞﾀﾝで表示し直してから出力してください。");

// A list entry is its code, a blank and its name.
QString entryCode(const QComboBox* list, int length)
{
    return list->currentIndex() < 0 ? QString() : list->currentText().left(length);
}

QString entryName(const QComboBox* list, int codeLength)
{
    return list->currentIndex() < 0 ? QString() : list->currentText().mid(codeLength).trimmed();
}

// Centred and right-aligned cells are written 2 pixels below the top of the cell; the
// description and the use keep the plain left-aligned drawing.
class LedgerCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const Qt::Alignment alignment = LedgerGridModel::alignment(index.column());
        if (alignment & Qt::AlignLeft) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QString text = opt.text;
        opt.text.clear();
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        const QRect textRect = opt.rect.adjusted(margin, 2, -margin, 0);
        const QPalette::ColorGroup group = opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
        painter->save();
        painter->setFont(opt.font);
        painter->setPen(opt.palette.color(group, opt.state & QStyle::State_Selected ? QPalette::HighlightedText
                                                                                    : QPalette::Text));
        painter->drawText(textRect, int(alignment | Qt::AlignTop),
                          opt.fontMetrics.elidedText(text, Qt::ElideRight, textRect.width()));
        painter->restore();
    }
};

} // namespace

// --- LedgerGridModel -------------------------------------------------------------------

void LedgerGridModel::setLedger(Ledger ledger)
{
    beginResetModel();
    ledger_ = std::move(ledger);
    endResetModel();
}

int LedgerGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(qMax<qsizetype>(ledger_.lines.size(), 1));
}

int LedgerGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kLedgerColumns;
}

Qt::Alignment LedgerGridModel::alignment(int column)
{
    switch (column) {
    case 1:
    case 2:
        return Qt::AlignLeft | Qt::AlignVCenter;
    case 4:
    case 5:
    case 7:
        return Qt::AlignRight;
    default:
        return Qt::AlignHCenter;
    }
}

QVariant LedgerGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        if (index.row() >= ledger_.lines.size())
            return QString();
        return ledgerCell(ledger_.lines[index.row()], index.column());
    case Qt::TextAlignmentRole:
        return int(alignment(index.column()));
    default:
        return {};
    }
}

QVariant LedgerGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole)
        return ledgerTitles().value(section);
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    return {};
}

// --- Tfm04Motocho ----------------------------------------------------------------------

Tfm04Motocho::Tfm04Motocho(Tdm01Keiri& dm, QWidget* parent) : QDialog(parent), dm_(dm)
{
    // FormCreate.
    dataFolder_ = dm_.state().dataFolder;
    buildUi();
}

Tfm04Motocho::~Tfm04Motocho()
{
    // The ledger statement stays open while its lines are shown; closing the window lets
    // its rows go.
    dm_.q13motochou.close();
}

void Tfm04Motocho::buildUi()
{
    setObjectName(QStringLiteral("fm04Motocho"));
    setWindowTitle(QStringLiteral("元帳"));

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(8, 4, 8, 0);

    auto* menuBar = new QMenuBar(this);
    QMenu* printMenu = menuBar->addMenu(QStringLiteral("印刷"));
    exportAction_ = printMenu->addAction(QStringLiteral("CSVファイル出力"));
    exportAction_->setObjectName(QStringLiteral("CSV1"));
    connect(exportAction_, &QAction::triggered, this, [this] { guarded(this, [&] { CSV1Click(); }); });
    QMenu* helpMenu = menuBar->addMenu(QStringLiteral("ﾍﾙﾌﾟ"));
    helpAction_ = helpMenu->addAction(QStringLiteral("ｻﾎﾟｰﾄｻｲﾄ"));
    helpAction_->setObjectName(QStringLiteral("N3"));
    connect(helpAction_, &QAction::triggered, this, [this] { guarded(this, [&] { N3Click(); }); });
    outer->setMenuBar(menuBar);

    auto* top = new QHBoxLayout;

    // Selection: the category, and below it the account and the sub-account.
    auto* selection = new QGroupBox(QStringLiteral("区分"), this);
    selection->setObjectName(QStringLiteral("Panel1"));
    auto* selectionLayout = new QGridLayout(selection);
    categories_ = new QComboBox(selection);
    categories_->setObjectName(QStringLiteral("ComboBox1"));
    accountCheck_ = new QCheckBox(QStringLiteral("科目"), selection);
    accountCheck_->setObjectName(QStringLiteral("CheckBox1"));
    accounts_ = new QComboBox(selection);
    accounts_->setObjectName(QStringLiteral("ComboBox2"));
    subAccountCheck_ = new QCheckBox(QStringLiteral("細目"), selection);
    subAccountCheck_->setObjectName(QStringLiteral("CheckBox2"));
    subAccounts_ = new QComboBox(selection);
    subAccounts_->setObjectName(QStringLiteral("ComboBox3"));
    for (QComboBox* list : {categories_, accounts_, subAccounts_}) {
        list->setMinimumContentsLength(16);
        list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        list->setMaxVisibleItems(20);
    }
    // Hidden controls keep their place, so the panel does not jump as boxes are ticked.
    for (QWidget* w : std::initializer_list<QWidget*>{accounts_, subAccountCheck_, subAccounts_}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
    }
    selectionLayout->addWidget(categories_, 0, 1);
    selectionLayout->addWidget(accountCheck_, 1, 0);
    selectionLayout->addWidget(accounts_, 1, 1);
    selectionLayout->addWidget(subAccountCheck_, 2, 0);
    selectionLayout->addWidget(subAccounts_, 2, 1);
    top->addWidget(selection);

    connect(categories_, &QComboBox::currentIndexChanged, this, [this] { guarded(this, [&] { ComboBox1Change(); }); });
    connect(accounts_, &QComboBox::currentIndexChanged, this, [this] { guarded(this, [&] { ComboBox2Change(); }); });
    connect(accountCheck_, &QCheckBox::toggled, this, [this] { guarded(this, [&] { CheckBox1Click(); }); });
    connect(subAccountCheck_, &QCheckBox::toggled, this, [this] { guarded(this, [&] { CheckBox2Click(); }); });

    // Period and the buttons.
    auto* right = new QVBoxLayout;
    auto* period = new QGroupBox(QStringLiteral("期間"), this);
    period->setObjectName(QStringLiteral("Panel2"));
    auto* periodLayout = new QHBoxLayout(period);
    start_ = new DatePicker(period);
    start_->setObjectName(QStringLiteral("DateTimePicker1"));
    end_ = new DatePicker(period);
    end_->setObjectName(QStringLiteral("DateTimePicker2"));
    for (QDateEdit* picker : {start_, end_}) {
        picker->setDateRange(QDate(1900, 1, 1), QDate(9999, 12, 31));
    }
    periodLayout->addWidget(start_);
    periodLayout->addWidget(new QLabel(QStringLiteral("～"), period));
    periodLayout->addWidget(end_);
    right->addWidget(period);

    auto* buttons = new QHBoxLayout;
    showButton_ = new QPushButton(QStringLiteral("表示"), this);
    showButton_->setObjectName(QStringLiteral("SpeedButton1"));
    showButton_->setDefault(true);
    connect(showButton_, &QPushButton::clicked, this, [this] { guarded(this, [&] { SpeedButton1Click(); }); });
    auto* closeButton = new QPushButton(QStringLiteral("閉じる"), this);
    closeButton->setObjectName(QStringLiteral("BitBtn1"));
    closeButton->setAutoDefault(false);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(showButton_);
    buttons->addWidget(closeButton);
    buttons->addStretch(1);
    right->addLayout(buttons);
    right->addStretch(1);
    top->addLayout(right);
    top->addStretch(1);
    outer->addLayout(top);

    // The grid.
    model_ = new LedgerGridModel(this);
    grid_ = new QTableView(this);
    grid_->setObjectName(QStringLiteral("StringGrid1"));
    grid_->setModel(model_);
    grid_->setItemDelegate(new LedgerCellDelegate(grid_));
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setWordWrap(false);
    grid_->verticalHeader()->hide();
    // The column widths are pixels; on a desktop whose font is larger than usual the grid's
    // own font is made small enough for a date to fit its column.
    QFont gridFont = grid_->font();
    const int dateRoom = kColumnWidths[0] - 2 * (grid_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    while (gridFont.pointSizeF() > 7.0 && QFontMetrics(gridFont).horizontalAdvance(QStringLiteral("0000/00/00")) > dateRoom)
        gridFont.setPointSizeF(gridFont.pointSizeF() - 0.5);
    grid_->setFont(gridFont);
    grid_->horizontalHeader()->setFont(gridFont);
    QHeaderView* rows = grid_->verticalHeader();
    // Rows are 0.7 of the usual height, but never so low that the text placed 2 pixels below
    // their top loses its last line of pixels.
    const int rowHeight = qMax(qRound(0.7 * rows->defaultSectionSize()), QFontMetrics(gridFont).height() + 3);
    rows->setMinimumSectionSize(qMin(rows->minimumSectionSize(), rowHeight));
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(rowHeight);
    grid_->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    grid_->horizontalHeader()->setHighlightSections(false);
    grid_->horizontalHeader()->setMinimumSectionSize(8);
    for (int column = 0; column < kLedgerColumns; ++column)
        grid_->setColumnWidth(column, kColumnWidths[column]);
    outer->addWidget(grid_, 1);

    auto* statusBar = new QStatusBar(this);
    statusBar->setObjectName(QStringLiteral("StatusBar1"));
    statusBar->setSizeGripEnabled(true);
    status_ = new QLabel(statusBar);
    status_->setTextFormat(Qt::PlainText);
    statusBar->addWidget(status_, 1);
    outer->addWidget(statusBar);

    resize(820, 600);
    updateVisibility();
}

QString Tfm04Motocho::statusText() const
{
    return status_->text();
}

void Tfm04Motocho::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        guarded(this, [&] { FormShow(); });
}

void Tfm04Motocho::FormShow()
{
    start_->setDate(dm_.state().periodStart);
    end_->setDate(dm_.state().periodEnd);

    {
        const QSignalBlocker blocker(categories_);
        categories_->clear();
        Query& query = dm().q03bunruiL;
        query.close();
        query.setSql(QStringLiteral("select * from bunrui order by code"));
        query.open();
        auto closeQuery = qScopeGuard([&] { query.close(); });
        const Field code = query.fieldByName(QStringLiteral("code"));
        const Field lr = query.fieldByName(QStringLiteral("LR"));
        const Field name = query.fieldByName(QStringLiteral("Name"));
        // The category's code alone before its name: written with its BP and LR behind it,
        // category 11 read "1111 流動資産", which a user takes for the account 1111. The LR,
        // which decides the ledger's side, rides along as the entry's data.
        for (query.first(); !query.eof(); query.next())
            categories_->addItem(code.asString() + u' ' + name.asString(), lr.asString());
        categories_->setCurrentIndex(-1);
    }
    {
        const QSignalBlocker blocker(accountCheck_);
        accountCheck_->setChecked(false);
    }
    updateVisibility();
    model_->setLedger({});
    fitAmountColumns();
    shownRequest_ = {};
}

namespace {

// Fills a list with "code name" from the first two fields of the query's rows, and chooses
// none. The list tells no one of the change: choosing, not refilling, is what moves on.
void fillCodeList(QComboBox* list, Query& query, const QString& sql, const QString& code)
{
    const QSignalBlocker blocker(list);
    list->clear();
    query.close();
    query.setSql(sql);
    query.setParam(QStringLiteral("pcode"), code);
    query.open();
    auto closeQuery = qScopeGuard([&] { query.close(); });
    if (query.fieldCount() >= 2) {
        const Field first = query.field(0);
        const Field second = query.field(1);
        for (query.first(); !query.eof(); query.next())
            list->addItem(first.asString() + u' ' + second.asString());
    }
    list->setCurrentIndex(-1);
}

} // namespace

void Tfm04Motocho::ComboBox1Change()
{
    fillCodeList(accounts_, dm().q07kamoku, QStringLiteral("select * from kamoku where bunrui=:pcode"),
                 entryCode(categories_, 2));
}

void Tfm04Motocho::ComboBox2Change()
{
    fillCodeList(subAccounts_, dm().q25kamoku2, QStringLiteral("select * from kamoku02 where bunrui=:pcode order by code"),
                 entryCode(accounts_, 4));
}

void Tfm04Motocho::CheckBox1Click()
{
    updateVisibility();
}

void Tfm04Motocho::CheckBox2Click()
{
    updateVisibility();
}

void Tfm04Motocho::updateVisibility()
{
    const bool accountLevel = accountCheck_->isChecked();
    accounts_->setVisible(accountLevel);
    subAccountCheck_->setVisible(accountLevel);
    // The sub-account list shows whenever a sub-account ledger would be built, so that what
    // "表示" will use is never hidden.
    subAccounts_->setVisible(accountLevel && subAccountCheck_->isChecked());
}

LedgerRequest Tfm04Motocho::currentRequest() const
{
    LedgerRequest request;
    if (!accountCheck_->isChecked()) {
        request.kind = LedgerKind::Category;
        request.code = entryCode(categories_, 2);
    } else if (!subAccountCheck_->isChecked()) {
        request.kind = LedgerKind::Account;
        request.code = entryCode(accounts_, 4);
    } else {
        request.kind = LedgerKind::SubAccount;
        request.code = entryCode(subAccounts_, 6);
    }
    request.debitType = categories_->currentIndex() >= 0
                        && codeFromText<SideCode>(categories_->currentData().toString()) == SideCode::Debit;
    request.from = start_->date();
    request.to = end_->date();
    return request;
}

void Tfm04Motocho::SpeedButton1Click()
{
    const LedgerRequest request = currentRequest();
    // Ten years of a busy category take a second or two, until the grid shows them.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    Ledger ledger;
    // The grid and the status bar show what was read, also when the store failed part way.
    auto show = qScopeGuard([&] {
        status_->setText(ledgerStatusText(ledger.totals));
        model_->setLedger(std::move(ledger));
        shownRequest_ = request;
        fitAmountColumns();
        // A new ledger starts at its first line, whatever the last one was scrolled to.
        grid_->scrollToTop();
    });
    model_->setLedger({});
    buildLedger(dm().q13motochou, request, ledger);
}

void Tfm04Motocho::fitAmountColumns()
{
    // An amount or an entry number is never shown cut short: a column too narrow for its
    // widest figure grows, and goes back to its usual width for smaller figures. The number
    // is what the user needs to find the row in the journal.
    const QFontMetrics metrics(grid_->font());
    const int margins = 2 * (grid_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid_) + 1) + 2;
    const QList<LedgerLine>& lines = model_->ledger().lines;
    constexpr int kNumberColumn = 3;
    qint64 largestNumber = 0;
    for (const LedgerLine& line : lines)
        largestNumber = qMax(largestNumber, line.id);
    grid_->setColumnWidth(kNumberColumn, qMax(kColumnWidths[kNumberColumn],
                                              metrics.horizontalAdvance(QString::number(largestNumber)) + margins));
    for (int column : {4, 5, 7}) {
        int widest = 0;
        Money largest;
        for (const LedgerLine& line : lines) {
            const std::optional<Money> amount = column == 4 ? line.debit : column == 5 ? line.credit : line.balance;
            if (!amount)
                continue;
            const Money magnitude = amount->isNegative() ? -*amount : *amount;
            // The balance is shown without its sign; a negative debit or credit has one.
            const bool signShown = column != 7 && amount->isNegative();
            if (magnitude < largest && !signShown)
                continue;
            largest = qMax(largest, magnitude);
            widest = qMax(widest, metrics.horizontalAdvance(ledgerCell(line, column)));
        }
        grid_->setColumnWidth(column, qMax(kColumnWidths[column], widest + margins));
    }
}

void Tfm04Motocho::CSV1Click()
{
    const Ledger& ledger = model_->ledger();
    if (ledger.lines.isEmpty()) {
        prompter().information(this, kNothingShown);
        return;
    }

    const QString category = entryName(categories_, 2);
    QString title;
    if (!accountCheck_->isChecked()) {
        title = ledgerExportTitle(category);
    } else {
        if (accounts_->currentIndex() < 0) {
            prompter().information(this, kNoAccount);
            return;
        }
        if (subAccountCheck_->isChecked() && subAccounts_->currentIndex() < 0) {
            prompter().information(this, kNoSubAccount);
            return;
        }
        title = ledgerExportTitle(category, entryName(accounts_, 4),
                                  subAccountCheck_->isChecked() ? std::optional(entryName(subAccounts_, 7)) : std::nullopt);
    }
    // The title names the current choice; a file that names one ledger and holds another
    // would be worse than none.
    const LedgerRequest now = currentRequest();
    if (now.kind != shownRequest_.kind || now.code != shownRequest_.code || now.debitType != shownRequest_.debitType) {
        prompter().information(this, kSelectionChanged);
        return;
    }
    // The period of the lines in the file: the range the ledger was built for.
    const QString periodLine = ledgerExportPeriodLine(shownRequest_.from, shownRequest_.to);

    const std::optional<QString> path = prompter().saveFileName(this, QStringLiteral("名前を付けて保存"),
                                                                outputfile::userFilesFolder(),
                                                                outputfile::proposedFileName(
                                                                    {QStringLiteral("元帳"), shownRequest_.code,
                                                                     outputfile::periodNamePart(shownRequest_.from, shownRequest_.to,
                                                                                                {dm_.state().periodStart, dm_.state().periodEnd})},
                                                                    QStringLiteral("csv")),
                                                                QStringLiteral("csv (*.csv)"));
    if (!path)
        return;
    csv::WriteOutcome outcome;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        outcome = writeLedgerExport(*path, title, periodLine, ledger);
    }
    if (outcome.lossless())
        return;
    QList<int> lineNumbers;
    for (int row : outcome.linesWithReplacements)
        lineNumbers << row + 1;
    prompter().information(this, csv::replacementNotice(*path, lineNumbers,
                                                        ledgerExportNotes(outcome.linesWithReplacements, ledger)));
}

void Tfm04Motocho::N3Click()
{
    showHelp(this, QStringLiteral("Tfm04Motocho"));
}

} // namespace tolva
