#include "masters/tftableb.h"

#include "db/tdm01keiri.h"
#include "masters/masterwindow.h"
#include "ui/actionguard.h"
#include "ui/closequestion.h"
#include "ui/help.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace tolva {

using masters::Master;

TfTableB::TfTableB(Tdm01Keiri& dm, QWidget* owner) : QDialog(owner), dm_(dm)
{
    setObjectName(QStringLiteral("fTableB"));
    setWindowTitle(QStringLiteral("詳細項目"));
    Table& t = dm_.t06temp1;

    auto* outer = new QVBoxLayout(this);
    auto* bar = new QMenuBar(this);
    outer->setMenuBar(bar);
    c_.help = masters::addHelpMenu(bar, this, [this] { N2Click(); });

    auto* editor = new QGridLayout;
    c_.code = new DbEdit(t, QStringLiteral("code"), DbEdit::Kind::Text, this);
    c_.code->setCaption(QStringLiteral("ｺｰﾄﾞ"));
    c_.code->setMaxCharacters(masters::codeLength(Master::SubAccount));
    c_.code->setMaximumWidth(90);
    c_.name = new DbEdit(t, QStringLiteral("kamoku"), DbEdit::Kind::Text, this);
    c_.name->setCaption(QStringLiteral("細目"));
    c_.category = new DbLookupCombo(t, QStringLiteral("kubun"), dm_.q24bunrui, QStringLiteral("code"), QStringLiteral("Name"), this);
    c_.category->setMinimumContentsLength(10);
    c_.account = new DbLookupCombo(t, QStringLiteral("bunrui"), dm_.q26temp, QStringLiteral("code"), QStringLiteral("kamoku"), this);
    c_.account->setMaxVisibleItems(15);
    c_.account->setMinimumContentsLength(12);
    editor->addWidget(new QLabel(QStringLiteral("ｺｰﾄﾞ"), this), 0, 0);
    editor->addWidget(c_.code, 0, 1, Qt::AlignLeft);
    editor->addWidget(new QLabel(QStringLiteral("細目"), this), 1, 0);
    editor->addWidget(c_.name, 1, 1);
    editor->addWidget(new QLabel(QStringLiteral("区分"), this), 2, 0);
    editor->addWidget(c_.category, 2, 1);
    editor->addWidget(new QLabel(QStringLiteral("科目"), this), 3, 0);
    editor->addWidget(c_.account, 3, 1);
    c_.navigator = new DbNavigator(t, this);
    c_.navigator->setObjectName(QStringLiteral("DBNavigator1"));
    editor->addWidget(c_.navigator, 4, 0, 1, 2);
    editor->setRowStretch(5, 1);
    c_.close = new QPushButton(QStringLiteral("閉じる"), this);
    c_.close->setObjectName(QStringLiteral("BitBtn1"));
    c_.close->setAutoDefault(false);
    editor->addWidget(c_.close, 6, 1, Qt::AlignRight);

    auto* body = new QHBoxLayout;
    body->addLayout(editor, 1);
    auto addList = [&](const QString& caption, QListWidget*& list) {
        auto* column = new QVBoxLayout;
        column->addWidget(new QLabel(caption, this));
        list = new QListWidget(this);
        list->setMinimumWidth(150);
        column->addWidget(list, 1);
        body->addLayout(column);
    };
    addList(QStringLiteral("区分"), c_.categories);
    addList(QStringLiteral("科目"), c_.accounts);
    addList(QStringLiteral("細目"), c_.subAccounts);
    outer->addLayout(body, 1);

    connect(c_.close, &QPushButton::clicked, this, &QDialog::reject);
    connect(c_.categories, &QListWidget::clicked, this,
            [this](const QModelIndex& index) { guarded(this, [&] { ListBox1Click(index.row()); }); });
    connect(c_.accounts, &QListWidget::clicked, this,
            [this](const QModelIndex& index) { guarded(this, [&] { ListBox2Click(index.row()); }); });
    connect(c_.subAccounts, &QListWidget::clicked, this,
            [this](const QModelIndex& index) { guarded(this, [&] { ListBox3Click(index.row()); }); });
    connect(c_.category, &DbLookupCombo::closeUp, this, [this] { DBLookupComboBox2Click(); });
    c_.navigator->beforeAction = [this](DbNavigator::Button button) { DBNavigator1BeforeAction(button); };
    connect(c_.navigator, &DbNavigator::actionDone, this, &TfTableB::DBNavigator1Click);
    connect(&t, &Dataset::dataChanged, this, [this](int) { guarded(this, [&] { DataSource1DataChange(); }); });
    masters::checkEveryPost(this, t, [] { return Master::SubAccount; });

    resize(820, 440);
}

TfTableB::~TfTableB() = default;

void TfTableB::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    guarded(this, [&] { FormShow(); });
}

void TfTableB::FormShow()
{
    Query& categories = dm_.q24bunrui;
    if (categories.isActive())
        categories.first();
    masters::fillCodeList(c_.categories, categories);
    selectedAccountCode_.clear();
    c_.accounts->clear();
    c_.subAccounts->clear();
    // The row shown at opening offers the accounts of its category, as every row moved to does.
    DataSource1DataChange();
}

void TfTableB::ListBox1Click(int row)
{
    c_.subAccounts->clear();
    FillAccountList(masters::codeOfItem(c_.categories, row, masters::codeLength(Master::Category)));
}

void TfTableB::ListBox2Click(int row)
{
    selectedAccountCode_ = masters::codeOfItem(c_.accounts, row, masters::codeLength(Master::Account));
    FillSubAccountList();
}

void TfTableB::ListBox3Click(int row)
{
    const QString code = masters::codeOfItem(c_.subAccounts, row, masters::codeLength(Master::SubAccount));
    if (!code.isEmpty())
        dm_.t06temp1.locate(QStringLiteral("code"), code);
}

void TfTableB::FillAccountList(const QString& category)
{
    Query& q = dm_.q16temp1;
    q.close();
    q.setSql(QStringLiteral("SELECT code, kamoku") + QStringLiteral(" FROM Kamoku") + QStringLiteral(" where bunrui=:pcode")
             + QStringLiteral(" order by kamoku.code"));
    q.setParam(QStringLiteral("pcode"), category);
    q.open();
    masters::fillCodeList(c_.accounts, q);
}

void TfTableB::FillSubAccountList()
{
    Query& q = dm_.q25kamoku2;
    q.close();
    q.setSql(QStringLiteral("SELECT code, kamoku") + QStringLiteral(" FROM Kamoku02") + QStringLiteral(" where bunrui=:pcode")
             + QStringLiteral(" order by code"));
    q.setParam(QStringLiteral("pcode"), selectedAccountCode_);
    q.open();
    masters::fillCodeList(c_.subAccounts, q);
}

void TfTableB::offerAccounts(const QString& sql, const QString& category)
{
    Query& q = dm_.q26temp;
    q.close();
    q.setSql(sql);
    q.setParam(QStringLiteral("pcode"), category);
    q.open();
}

void TfTableB::DBLookupComboBox2Click()
{
    offerAccounts(QStringLiteral("select * from kamoku where bunrui=:pcode order by code"), masters::chosenCode(c_.category));
}

void TfTableB::DataSource1DataChange()
{
    Table& t = dm_.t06temp1;
    if (!t.isActive() || t.state() != Dataset::State::Browse || t.isEmpty())
        return;
    const QString category = t.fieldByName(QStringLiteral("kubun")).asString();
    if (!category.isEmpty())
        offerAccounts(QStringLiteral("select * from kamoku where bunrui=:pcode"), category);
}

void TfTableB::DBNavigator1BeforeAction(DbNavigator::Button button)
{
    Table& t = dm_.t06temp1;
    if (button == DbNavigator::Post)
        masters::checkPostButton(this, t, Master::SubAccount,
                                 {c_.code->text().trimmed(), c_.name->text().trimmed(), masters::chosenCode(c_.account)});
    else if (button == DbNavigator::Delete)
        masters::checkDeleteButton(this, t, Master::SubAccount);
}

void TfTableB::DBNavigator1Click(DbNavigator::Button button)
{
    if (button == DbNavigator::Delete || (button == DbNavigator::Post && !c_.accounts->selectedItems().isEmpty()))
        FillSubAccountList();
}

void TfTableB::N2Click()
{
    showHelp(this, QStringLiteral("TfTableB"));
}

void TfTableB::done(int result)
{
    if (!mayClose(*this, {&dm_.t06temp1}, [this] { c_.navigator->click(DbNavigator::Post); }))
        return;
    QDialog::done(result);
}

} // namespace tolva
