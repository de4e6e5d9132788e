#include "masters/tfjigyounushi.h"

#include "db/tdm01keiri.h"
#include "masters/masterchecks.h"
#include "masters/masterwindow.h"
#include "ui/actionguard.h"
#include "ui/closequestion.h"
#include "ui/help.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace tolva {

Tfjigyounushi::Tfjigyounushi(Tdm01Keiri& dm, QWidget* owner) : QDialog(owner), dm_(dm)
{
    setObjectName(QStringLiteral("fjigyounushi"));
    setWindowTitle(QStringLiteral("事業主情報"));
    Table& t = dm_.t07Jigyou;

    auto* outer = new QVBoxLayout(this);
    auto* bar = new QMenuBar(this);
    outer->setMenuBar(bar);
    c_.help = masters::addHelpMenu(bar, this, [this] { N2Click(); });

    // The navigator's three buttons, each with its word above it.
    c_.navigator = new DbNavigator(t, this);
    c_.navigator->setObjectName(QStringLiteral("DBNavigator1"));
    c_.navigator->showOnly({DbNavigator::Edit, DbNavigator::Post, DbNavigator::Cancel});
    auto* navigatorRow = new QHBoxLayout;
    auto* captions = new QGridLayout;
    captions->setVerticalSpacing(0);
    int column = 0;
    for (auto [button, word] : {std::pair{DbNavigator::Edit, "編集"}, std::pair{DbNavigator::Post, "保存"},
                                std::pair{DbNavigator::Cancel, "ｷｬﾝｾﾙ"}}) {
        captions->addWidget(masters::smallCaption(QString::fromUtf8(word), this), 0, column, Qt::AlignHCenter);
        c_.navigator->button(button)->setMinimumWidth(52);
        ++column;
    }
    captions->addWidget(c_.navigator, 1, 0, 1, column);
    navigatorRow->addLayout(captions);
    navigatorRow->addStretch(1);
    outer->addLayout(navigatorRow);

    auto* grid = new QGridLayout;
    auto addEdit = [&](int row, const QString& caption, const QString& field, DbEdit*& edit) {
        edit = new DbEdit(t, field, DbEdit::Kind::Text, this);
        edit->setCaption(caption.isEmpty() ? QStringLiteral("住所（2行目）") : caption);
        if (!caption.isEmpty())
            grid->addWidget(new QLabel(caption, this), row, 0);
        grid->addWidget(edit, row, 1);
    };
    addEdit(0, QStringLiteral("事業主"), QStringLiteral("name"), c_.name);
    addEdit(1, QStringLiteral("〒"), QStringLiteral("post"), c_.post);
    c_.post->setMaximumWidth(110);
    addEdit(2, QStringLiteral("住所"), QStringLiteral("Address1"), c_.address1);
    addEdit(3, QString(), QStringLiteral("Address2"), c_.address2);
    addEdit(4, QStringLiteral("TEL"), QStringLiteral("Tel"), c_.tel);
    addEdit(5, QStringLiteral("FAX"), QStringLiteral("Fax"), c_.fax);
    for (DbEdit* number : {c_.tel, c_.fax})
        number->setMaximumWidth(180);
    QList<DbComboBox::Item> months;
    for (int month = 1; month <= 12; ++month)
        months << DbComboBox::Item{QString::number(month), QVariant(qint64(month))};
    c_.closingMonth = new DbComboBox(t, QStringLiteral("shime"), months, this);
    c_.closingMonth->setObjectName(QStringLiteral("DBComboBox1"));
    c_.closingMonth->setMaxVisibleItems(12);
    grid->addWidget(new QLabel(QStringLiteral("決算月"), this), 6, 0);
    grid->addWidget(c_.closingMonth, 6, 1, Qt::AlignLeft);
    outer->addLayout(grid);
    outer->addStretch(1);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    c_.close = new QPushButton(QStringLiteral("閉じる"), this);
    c_.close->setObjectName(QStringLiteral("BitBtn1"));
    c_.close->setAutoDefault(false);
    bottom->addWidget(c_.close);
    outer->addLayout(bottom);
    connect(c_.close, &QPushButton::clicked, this, &QDialog::reject);

    // The fiscal period is computed from the closing month: a row is never stored without one
    // it can be computed from.
    t.addUpdateHook(this, [this, &t] {
        if (!t.isActive() || t.state() == Dataset::State::Browse)
            return;
        if (const auto problem = masters::closingMonthProblem(t.fieldByName(QStringLiteral("shime")).value()))
            masters::refuse(this, *problem);
    });

    resize(460, 330);
}

Tfjigyounushi::~Tfjigyounushi()
{
    FormClose();
}

void Tfjigyounushi::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    guarded(this, [&] { FormShow(); });
}

void Tfjigyounushi::FormShow()
{
    dm_.t07Jigyou.open();
}

void Tfjigyounushi::FormClose()
{
    if (closed_)
        return;
    closed_ = true;
    dm_.t07Jigyou.close();
}

void Tfjigyounushi::done(int result)
{
    // Typed details are not dropped without a word: はい saves them as "保存" would.
    if (!closed_ && !mayClose(*this, {&dm_.t07Jigyou}, [this] { c_.navigator->click(DbNavigator::Post); }))
        return;
    FormClose();
    QDialog::done(result);
}

void Tfjigyounushi::closeEvent(QCloseEvent* event)
{
    // The dialog's own close goes through done(), which asks first; staying ignores the event.
    QDialog::closeEvent(event);
    if (event->isAccepted())
        FormClose();
}

void Tfjigyounushi::N2Click()
{
    showHelp(this, QStringLiteral("Tfjigyounushi"));
}

} // namespace tolva
