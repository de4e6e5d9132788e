#include "masters/tftablek_t2.h"

#include "db/tdm01keiri.h"
#include "masters/masterwindow.h"
#include "ui/actionguard.h"
#include "ui/closequestion.h"
#include "ui/help.h"

#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace tolva {

using masters::Master;

namespace {

Master masterOf(TfTableK_T2::EditTarget target)
{
    return target == TfTableK_T2::EditTarget::Categories ? Master::UseCategory : Master::Use;
}

} // namespace

TfTableK_T2::TfTableK_T2(Tdm01Keiri& dm, QWidget* owner) : QDialog(owner), dm_(dm)
{
    setObjectName(QStringLiteral("fTableK_T2"));
    setWindowTitle(QStringLiteral("区分項目編集"));
    Table& t = dm_.t06temp1;

    auto* outer = new QVBoxLayout(this);
    auto* bar = new QMenuBar(this);
    outer->setMenuBar(bar);
    QMenu* targets = bar->addMenu(QStringLiteral("対象切替"));
    c_.toUses = targets->addAction(QStringLiteral("用途項目編集"));
    c_.toCategories = targets->addAction(QStringLiteral("区分項目編集"));
    connect(c_.toUses, &QAction::triggered, this, [this] { guarded(this, [&] { N2Click(); }); });
    connect(c_.toCategories, &QAction::triggered, this, [this] { guarded(this, [&] { N5Click(); }); });
    c_.help = masters::addHelpMenu(bar, this, [this] { N4Click(); });

    auto* editor = new QGridLayout;
    c_.code = new DbEdit(t, QStringLiteral("code"), DbEdit::Kind::Text, this);
    c_.code->setCaption(QStringLiteral("ｺｰﾄﾞ"));
    c_.code->setMaxCharacters(masters::codeLength(Master::UseCategory));
    c_.code->setMaximumWidth(70);
    c_.name = new DbEdit(t, QStringLiteral("Name"), DbEdit::Kind::Text, this);
    c_.name->setCaption(QStringLiteral("区分"));
    c_.nameCaption = new QLabel(QStringLiteral("区分"), this);
    c_.use = new DbLookupCombo(t, QStringLiteral("yoto"), dm_.q25kamoku2, QStringLiteral("code"), QStringLiteral("Name"), this);
    c_.use->setMaxVisibleItems(15);
    c_.use->setMinimumContentsLength(10);
    c_.useCaption = new QLabel(QStringLiteral("用途"), this);
    editor->addWidget(new QLabel(QStringLiteral("ｺｰﾄﾞ"), this), 0, 0);
    editor->addWidget(c_.code, 0, 1, Qt::AlignLeft);
    editor->addWidget(c_.nameCaption, 1, 0);
    editor->addWidget(c_.name, 1, 1);
    editor->addWidget(c_.useCaption, 2, 0);
    editor->addWidget(c_.use, 2, 1);
    c_.navigator = new DbNavigator(t, this);
    c_.navigator->setObjectName(QStringLiteral("DBNavigator1"));
    editor->addWidget(c_.navigator, 3, 0, 1, 2);
    editor->setRowStretch(4, 1);
    c_.close = new QPushButton(QStringLiteral("閉じる"), this);
    c_.close->setObjectName(QStringLiteral("BitBtn1"));
    c_.close->setAutoDefault(false);
    editor->addWidget(c_.close, 5, 1, Qt::AlignRight);

    auto* body = new QHBoxLayout;
    body->addLayout(editor, 1);
    auto* usesColumn = new QVBoxLayout;
    usesColumn->addWidget(new QLabel(QStringLiteral("用途"), this));
    c_.uses = new QListWidget(this);
    c_.uses->setMinimumWidth(150);
    usesColumn->addWidget(c_.uses, 1);
    body->addLayout(usesColumn);
    auto* categoriesColumn = new QVBoxLayout;
    c_.categoriesCaption = new QLabel(QStringLiteral("区分"), this);
    categoriesColumn->addWidget(c_.categoriesCaption);
    c_.categories = new QListWidget(this);
    c_.categories->setMinimumWidth(150);
    categoriesColumn->addWidget(c_.categories, 1);
    body->addLayout(categoriesColumn);
    outer->addLayout(body, 1);
    // The controls of the categories keep their place while the uses are edited: nothing
    // else moves under the user's mouse when they are hidden.
    for (QWidget* w : std::initializer_list<QWidget*>{c_.use, c_.useCaption, c_.categories, c_.categoriesCaption}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
    }

    connect(c_.close, &QPushButton::clicked, this, &QDialog::reject);
    connect(c_.uses, &QListWidget::clicked, this,
            [this](const QModelIndex& index) { guarded(this, [&] { ListBox1Click(index.row()); }); });
    connect(c_.categories, &QListWidget::clicked, this,
            [this](const QModelIndex& index) { guarded(this, [&] { ListBox2Click(index.row()); }); });
    c_.navigator->beforeAction = [this](DbNavigator::Button button) { DBNavigator1BeforeAction(button); };
    connect(c_.navigator, &DbNavigator::actionDone, this, &TfTableK_T2::DBNavigator1Click);
    connect(&t, &Dataset::dataChanged, this, [this](int) { guarded(this, [&] { DataSource1DataChange(); }); });
    masters::checkEveryPost(this, t, [this] { return masterOf(target_); });

    resize(680, 420);
}

TfTableK_T2::~TfTableK_T2() = default;

void TfTableK_T2::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    guarded(this, [&] { FormShow(); });
}

void TfTableK_T2::FormShow()
{
    target_ = EditTarget::Categories;
    FillUseList();
}

void TfTableK_T2::FillUseList()
{
    Query& q = dm_.q25kamoku2;
    q.close();
    q.setSql(QStringLiteral("SELECT code, Name") + QStringLiteral(" FROM yoto") + QStringLiteral(" order by code"));
    q.open();
    masters::fillCodeList(c_.uses, q);
    selectedUseCode_.clear();
}

void TfTableK_T2::FillCategoryList()
{
    Query& q = dm_.q16temp1;
    q.close();
    q.setSql(QStringLiteral("SELECT code, Name") + QStringLiteral(" FROM kubun") + QStringLiteral(" where yoto=:pcode")
             + QStringLiteral(" order by kubun.code"));
    q.setParam(QStringLiteral("pcode"), selectedUseCode_);
    q.open();
    masters::fillCodeList(c_.categories, q);
}

void TfTableK_T2::ListBox1Click(int row)
{
    selectedUseCode_ = masters::codeOfItem(c_.uses, row, masters::codeLength(Master::Use));
    if (target_ == EditTarget::Categories)
        FillCategoryList();
    else if (!selectedUseCode_.isEmpty())
        dm_.t06temp1.locate(QStringLiteral("code"), selectedUseCode_);
}

void TfTableK_T2::ListBox2Click(int row)
{
    const QString code = masters::codeOfItem(c_.categories, row, masters::codeLength(Master::UseCategory));
    if (!code.isEmpty())
        dm_.t06temp1.locate(QStringLiteral("code"), code);
}

void TfTableK_T2::switchTo(EditTarget target)
{
    target_ = target;
    const bool categories = target == EditTarget::Categories;
    const QString nameCaption = categories ? QStringLiteral("区分") : QStringLiteral("用途");
    c_.nameCaption->setText(nameCaption);
    c_.name->setCaption(nameCaption);
    c_.code->setMaxCharacters(masters::codeLength(masterOf(target)));
    for (QWidget* w : std::initializer_list<QWidget*>{c_.use, c_.useCaption, c_.categories, c_.categoriesCaption})
        w->setVisible(categories);
    setWindowTitle(categories ? QStringLiteral("区分項目編集") : QStringLiteral("用途項目編集"));
    // A record still being typed is dropped with the table, as when the window closes. The
    // "用途" box reads a field only the categories have: with the uses it shows nothing.
    Table& t = dm_.t06temp1;
    t.close();
    t.setTableName(categories ? QStringLiteral("kubun") : QStringLiteral("yoto"));
    t.open();
    // The boxes now show the first record of the other table, which the user has not chosen:
    // what is typed next must not go into it. The use list is where a record is chosen.
    QWidget* focus = focusWidget();
    if (focus == c_.code || focus == c_.name || focus == c_.use || (focus && !focus->isVisible()))
        c_.uses->setFocus(Qt::OtherFocusReason);
}

void TfTableK_T2::N2Click()
{
    switchTo(EditTarget::Uses);
}

void TfTableK_T2::N5Click()
{
    switchTo(EditTarget::Categories);
}

void TfTableK_T2::N4Click()
{
    showHelp(this, QStringLiteral("TfTableK_T2"));
}

bool TfTableK_T2::aUseIsSelected() const
{
    return !c_.uses->selectedItems().isEmpty();
}

void TfTableK_T2::DataSource1DataChange()
{
    const Table& t = dm_.t06temp1;
    const bool editing = t.state() == Dataset::State::Edit || t.state() == Dataset::State::Insert;
    if (editing && aUseIsSelected())
        FillCategoryList();
}

void TfTableK_T2::DBNavigator1BeforeAction(DbNavigator::Button button)
{
    Table& t = dm_.t06temp1;
    const Master master = masterOf(target_);
    if (button == DbNavigator::Post) {
        const QString use = target_ == EditTarget::Categories ? masters::chosenCode(c_.use) : QString();
        masters::checkPostButton(this, t, master, {c_.code->text().trimmed(), c_.name->text().trimmed(), use});
    } else if (button == DbNavigator::Delete) {
        masters::checkDeleteButton(this, t, master);
    }
}

void TfTableK_T2::DBNavigator1Click(DbNavigator::Button button)
{
    if (button != DbNavigator::Post && button != DbNavigator::Delete)
        return;
    if (target_ == EditTarget::Uses)
        FillUseList();
    else if (button == DbNavigator::Delete || aUseIsSelected())
        FillCategoryList();
}

void TfTableK_T2::done(int result)
{
    if (!mayClose(*this, {&dm_.t06temp1}, [this] { c_.navigator->click(DbNavigator::Post); }))
        return;
    QDialog::done(result);
}

} // namespace tolva
