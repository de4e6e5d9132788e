#include "masters/tftablek.h"

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

TfTableK::TfTableK(Tdm01Keiri& dm, QWidget* owner) : QDialog(owner), dm_(dm)
{
    setObjectName(QStringLiteral("fTableK"));
    setWindowTitle(QStringLiteral("勘定科目"));
    Table& t = dm_.t05Kamoku;

    auto* outer = new QVBoxLayout(this);
    auto* bar = new QMenuBar(this);
    outer->setMenuBar(bar);
    c_.help = masters::addHelpMenu(bar, this, [this] { N2Click(); });

    auto* body = new QHBoxLayout;
    auto* editor = new QGridLayout;
    c_.code = new DbEdit(t, QStringLiteral("code"), DbEdit::Kind::Text, this);
    c_.code->setCaption(QStringLiteral("ｺｰﾄﾞ"));
    c_.code->setMaxCharacters(masters::codeLength(Master::Account));
    c_.code->setMaximumWidth(80);
    c_.name = new DbEdit(t, QStringLiteral("kamoku"), DbEdit::Kind::Text, this);
    c_.name->setCaption(QStringLiteral("科目"));
    c_.category = new DbLookupCombo(t, QStringLiteral("bunrui"), dm_.q03bunruiL, QStringLiteral("code"), QStringLiteral("name"), this);
    c_.category->setMaxVisibleItems(15);
    c_.category->setMinimumContentsLength(10);
    editor->addWidget(new QLabel(QStringLiteral("ｺｰﾄﾞ"), this), 0, 0);
    editor->addWidget(c_.code, 0, 1, Qt::AlignLeft);
    editor->addWidget(new QLabel(QStringLiteral("科目"), this), 1, 0);
    editor->addWidget(c_.name, 1, 1);
    editor->addWidget(new QLabel(QStringLiteral("区分"), this), 2, 0);
    editor->addWidget(c_.category, 2, 1);
    c_.navigator = new DbNavigator(t, this);
    c_.navigator->setObjectName(QStringLiteral("DBNavigator1"));
    editor->addWidget(c_.navigator, 3, 0, 1, 2);
    editor->setRowStretch(4, 1);
    c_.close = new QPushButton(QStringLiteral("閉じる"), this);
    c_.close->setObjectName(QStringLiteral("BitBtn1"));
    c_.close->setAutoDefault(false);
    editor->addWidget(c_.close, 5, 1, Qt::AlignRight);
    body->addLayout(editor, 1);

    auto addList = [&](const QString& caption, QListWidget*& list) {
        auto* column = new QVBoxLayout;
        column->addWidget(new QLabel(caption, this));
        list = new QListWidget(this);
        list->setMinimumWidth(170);
        column->addWidget(list, 1);
        body->addLayout(column);
    };
    addList(QStringLiteral("区分"), c_.categories);
    addList(QStringLiteral("科目"), c_.accounts);
    outer->addLayout(body, 1);

    connect(c_.close, &QPushButton::clicked, this, &QDialog::reject);
    connect(c_.categories, &QListWidget::clicked, this,
            [this](const QModelIndex& index) { guarded(this, [&] { ListBox1Click(index.row()); }); });
    connect(c_.accounts, &QListWidget::clicked, this,
            [this](const QModelIndex& index) { guarded(this, [&] { ListBox2Click(index.row()); }); });
    c_.navigator->beforeAction = [this](DbNavigator::Button button) { DBNavigator1BeforeAction(button); };
    connect(c_.navigator, &DbNavigator::actionDone, this, &TfTableK::DBNavigator1Click);
    connect(&t, &Dataset::dataChanged, this, [this](int) { guarded(this, [&] { DataSource1DataChange(); }); });
    masters::checkEveryPost(this, t, [] { return Master::Account; });

    resize(640, 420);
}

TfTableK::~TfTableK() = default;

void TfTableK::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    guarded(this, [&] { FormShow(); });
}

void TfTableK::FormShow()
{
    Query& categories = dm_.q03bunruiL;
    if (categories.isActive())
        categories.first();
    masters::fillCodeList(c_.categories, categories);
    selectedCategory_.clear();
    c_.accounts->clear();
}

void TfTableK::ListBox1Click(int row)
{
    selectedCategory_ = masters::codeOfItem(c_.categories, row, masters::codeLength(Master::Category));
    LoadAccountList();
}

void TfTableK::ListBox2Click(int row)
{
    const QString code = masters::codeOfItem(c_.accounts, row, masters::codeLength(Master::Account));
    if (!code.isEmpty())
        dm_.t05Kamoku.locate(QStringLiteral("code"), code);
}

void TfTableK::LoadAccountList()
{
    Query& q = dm_.q16temp1;
    q.close();
    q.setSql(QStringLiteral("SELECT code, kamoku") + QStringLiteral(" FROM Kamoku") + QStringLiteral(" where bunrui=:pcode")
             + QStringLiteral(" order by kamoku.code"));
    q.setParam(QStringLiteral("pcode"), selectedCategory_);
    q.open();
    masters::fillCodeList(c_.accounts, q);
}

void TfTableK::DBNavigator1BeforeAction(DbNavigator::Button button)
{
    Table& t = dm_.t05Kamoku;
    if (button == DbNavigator::Post)
        masters::checkPostButton(this, t, Master::Account,
                                 {c_.code->text().trimmed(), c_.name->text().trimmed(), masters::chosenCode(c_.category)});
    else if (button == DbNavigator::Delete)
        masters::checkDeleteButton(this, t, Master::Account);
}

void TfTableK::DBNavigator1Click(DbNavigator::Button button)
{
    if (button == DbNavigator::Delete || (button == DbNavigator::Post && !selectedCategory_.isEmpty()))
        LoadAccountList();
}

void TfTableK::DataSource1DataChange()
{
    const Table& t = dm_.t05Kamoku;
    const bool editing = t.state() == Dataset::State::Edit || t.state() == Dataset::State::Insert;
    if (editing && !selectedCategory_.isEmpty())
        LoadAccountList();
}

void TfTableK::N2Click()
{
    showHelp(this, QStringLiteral("TfTableK"));
}

void TfTableK::done(int result)
{
    if (!mayClose(*this, {&dm_.t05Kamoku}, [this] { c_.navigator->click(DbNavigator::Post); }))
        return;
    QDialog::done(result);
}

} // namespace tolva
