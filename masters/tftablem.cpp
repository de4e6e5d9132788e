#include "masters/tftablem.h"

#include "db/codes.h"
#include "db/querymodel.h"
#include "db/tdm01keiri.h"
#include "masters/masterwindow.h"
#include "ui/actionguard.h"
#include "ui/closequestion.h"
#include "ui/help.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace tolva {

using masters::Master;

TfTableM::TfTableM(Tdm01Keiri& dm, QWidget* owner) : QDialog(owner), dm_(dm)
{
    setObjectName(QStringLiteral("fTableM"));
    setWindowTitle(QStringLiteral("勘定区分"));
    Table& t = dm_.t06temp1;

    auto* outer = new QVBoxLayout(this);
    auto* bar = new QMenuBar(this);
    outer->setMenuBar(bar);
    c_.help = masters::addHelpMenu(bar, this, [this] { N2Click(); });

    auto* body = new QHBoxLayout;
    auto* editor = new QGridLayout;
    c_.navigator = new DbNavigator(t, this);
    c_.navigator->setObjectName(QStringLiteral("DBNavigator1"));
    c_.navigator->showOnly({DbNavigator::Insert, DbNavigator::Delete, DbNavigator::Edit, DbNavigator::Post, DbNavigator::Cancel});
    editor->addWidget(c_.navigator, 0, 0, 1, 2, Qt::AlignLeft);
    c_.code = new DbEdit(t, QStringLiteral("code"), DbEdit::Kind::Text, this);
    c_.code->setCaption(QStringLiteral("ｺｰﾄﾞ"));
    c_.code->setMaxCharacters(masters::codeLength(Master::Category));
    c_.code->setMaximumWidth(60);
    c_.name = new DbEdit(t, QStringLiteral("Name"), DbEdit::Kind::Text, this);
    c_.name->setCaption(QStringLiteral("区分"));
    editor->addWidget(new QLabel(QStringLiteral("ｺｰﾄﾞ"), this), 1, 0);
    editor->addWidget(c_.code, 1, 1, Qt::AlignLeft);
    editor->addWidget(new QLabel(QStringLiteral("区分"), this), 2, 0);
    editor->addWidget(c_.name, 2, 1);
    c_.statement = new DbRadioGroup(t, QStringLiteral("BP"), QStringLiteral("属性BP"),
                                    {{QStringLiteral("貸借対象表"), codeText(StatementCode::BalanceSheet)},
                                     {QStringLiteral("損益計算書"), codeText(StatementCode::ProfitAndLoss)},
                                     {QStringLiteral("調整"), codeText(StatementCode::Adjustment)}},
                                    this);
    c_.side = new DbRadioGroup(t, QStringLiteral("LR"), QStringLiteral("貸借LR"),
                               {{QStringLiteral("借方"), codeText(SideCode::Debit)},
                                {QStringLiteral("貸方"), codeText(SideCode::Credit)},
                                {QStringLiteral("調整"), codeText(SideCode::Adjustment)}},
                               this);
    auto* codes = new QHBoxLayout;
    codes->addWidget(c_.statement);
    codes->addWidget(c_.side);
    editor->addLayout(codes, 3, 0, 1, 2);
    editor->setRowStretch(4, 1);
    c_.close = new QPushButton(QStringLiteral("閉じる"), this);
    c_.close->setObjectName(QStringLiteral("BitBtn1"));
    c_.close->setAutoDefault(false);
    editor->addWidget(c_.close, 5, 1, Qt::AlignRight);
    body->addLayout(editor);

    c_.list = new QTableView(this);
    c_.list->setObjectName(QStringLiteral("DBGrid1"));
    model_ = new QueryModel(dm_.q24bunrui, this);
    model_->setColumns({{QStringLiteral("code"), QStringLiteral("code")},
                        {QStringLiteral("Name"), QStringLiteral("項目")},
                        {QStringLiteral("BP"), QStringLiteral("属性")},
                        {QStringLiteral("LR"), QStringLiteral("LR")}});
    c_.list->setModel(model_);
    c_.list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    c_.list->setSelectionBehavior(QAbstractItemView::SelectRows);
    c_.list->setSelectionMode(QAbstractItemView::SingleSelection);
    c_.list->verticalHeader()->hide();
    c_.list->verticalHeader()->setDefaultSectionSize(c_.list->fontMetrics().height() + 6);
    // The widths of the columns as the titles need them at the least.
    const int widths[] = {30, 120, 20, 20};
    for (int i = 0; i < 4; ++i)
        c_.list->setColumnWidth(i, qMax(widths[i], c_.list->fontMetrics().horizontalAdvance(model_->headerData(i, Qt::Horizontal).toString()) + 16));
    // The chosen row is not highlighted: the editor beside the list shows which category is
    // current.
    QPalette palette = c_.list->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Highlight, palette.color(group, QPalette::Base));
        palette.setColor(group, QPalette::HighlightedText, palette.color(group, QPalette::Text));
    }
    c_.list->setPalette(palette);
    c_.list->setMinimumWidth(260);
    body->addWidget(c_.list, 1);
    outer->addLayout(body, 1);

    connect(c_.close, &QPushButton::clicked, this, &QDialog::reject);
    connect(c_.list, &QTableView::clicked, this,
            [this](const QModelIndex& index) { guarded(this, [&] { DBGrid1CellClick(index.row()); }); });
    c_.navigator->beforeAction = [this](DbNavigator::Button button) { DBNavigator1BeforeAction(button); };
    connect(c_.navigator, &DbNavigator::actionDone, this, &TfTableM::DBNavigator1Click);
    connect(&t, &Dataset::dataChanged, this, [this](int) { guarded(this, [&] { DataSource1DataChange(); }); });
    masters::checkEveryPost(this, t, [] { return Master::Category; });

    resize(620, 400);
}

TfTableM::~TfTableM() = default;

void TfTableM::DBGrid1CellClick(int row)
{
    Query& list = dm_.q24bunrui;
    if (!list.isActive() || row < 0 || row >= list.fetchUntil(row + 1))
        return;
    const QString code = list.rowAt(row).at(list.fieldIndex(QStringLiteral("code"))).toString();
    dm_.t06temp1.locate(QStringLiteral("code"), code);
}

void TfTableM::DataSource1DataChange()
{
    Table& t = dm_.t06temp1;
    if (!t.isActive() || !dm_.q24bunrui.isActive())
        return;
    // Text that is not a number counts as 0.
    bool isNumber = false;
    const qint64 code = c_.code->text().trimmed().toLongLong(&isNumber);
    if (!t.isEmpty() && isNumber && code > 0)
        RefreshCategoryList();
}

void TfTableM::RefreshCategoryList()
{
    Query& list = dm_.q24bunrui;
    list.close();
    list.open();
}

void TfTableM::DBNavigator1BeforeAction(DbNavigator::Button button)
{
    Table& t = dm_.t06temp1;
    if (button == DbNavigator::Post)
        masters::checkPostButton(this, t, Master::Category, {c_.code->text().trimmed(), c_.name->text().trimmed(), {}});
    else if (button == DbNavigator::Delete)
        masters::checkDeleteButton(this, t, Master::Category);
}

void TfTableM::DBNavigator1Click(DbNavigator::Button button)
{
    // Whatever its code, a category just posted or deleted is shown as the books hold it.
    if ((button == DbNavigator::Post || button == DbNavigator::Delete) && dm_.q24bunrui.isActive())
        RefreshCategoryList();
}

void TfTableM::N2Click()
{
    showHelp(this, QStringLiteral("TfTableM"));
}

void TfTableM::done(int result)
{
    if (!mayClose(*this, {&dm_.t06temp1}, [this] { c_.navigator->click(DbNavigator::Post); }))
        return;
    QDialog::done(result);
}

} // namespace tolva
