#include "aids/tfn21biko.h"

#include "db/database.h"
#include "db/dataset.h"
#include "db/tdm01keiri.h"
#include "ui/actionguard.h"
#include "ui/help.h"
#include "ui/prompter.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace tolva {

const QString Tfn21biko::kNothingToAdd = QStringLiteral("ﾘｽﾄから備考に追加する項目を指定して下さい。");
const QString Tfn21biko::kAlreadyThere = QStringLiteral("すでに登録済みです。");
const QString Tfn21biko::kNothingToOverwrite = QStringLiteral("編集する項目が指定されていません。");
const QString Tfn21biko::kNothingToDelete = QStringLiteral("削除する項目が指定されていません。");
const QString Tfn21biko::kOverwrite = QStringLiteral("指定項目を上書きしますか？");

namespace {

const QString kPhraseTable = QStringLiteral("biko");
const QString kPhraseField = QStringLiteral("Name");

} // namespace

Tfn21biko::Tfn21biko(Tdm01Keiri& dm, QWidget* owner) : QDialog(owner), dm_(dm)
{
    setObjectName(QStringLiteral("Tfn21biko"));
    setWindowTitle(QStringLiteral("備考入力支援"));

    auto* outer = new QVBoxLayout(this);
    auto* bar = new QMenuBar(this);
    outer->setMenuBar(bar);
    QMenu* helpMenu = bar->addMenu(QStringLiteral("ﾍﾙﾌﾟ"));
    c_.help = helpMenu->addAction(QStringLiteral("ｻﾎﾟｰﾄｻｲﾄ"));
    connect(c_.help, &QAction::triggered, this, [this] { guarded(this, [&] { HelpClick(); }); });

    outer->addWidget(new QLabel(QStringLiteral("備考への入力情報を選択あるいは追加して備考内容を編集して下さい。"), this));
    outer->addWidget(new QLabel(QStringLiteral("既存登録情報参照"), this));
    c_.phrases = new QListWidget(this);
    c_.phrases->setSelectionMode(QAbstractItemView::SingleSelection);
    outer->addWidget(c_.phrases, 1);

    auto* commands = new QHBoxLayout;
    c_.edit = new QPushButton(QStringLiteral("登録情報編集"), this);
    c_.addToMemo = new QPushButton(QStringLiteral("登録情報を備考に追加"), this);
    c_.close = new QPushButton(QStringLiteral("閉じる"), this);
    for (QPushButton* button : {c_.edit, c_.addToMemo, c_.close})
        button->setAutoDefault(false);
    commands->addWidget(c_.edit);
    commands->addWidget(c_.addToMemo);
    commands->addStretch(1);
    commands->addWidget(c_.close);
    outer->addLayout(commands);

    c_.editPanel = new QWidget(this);
    auto* panel = new QHBoxLayout(c_.editPanel);
    panel->setContentsMargins(0, 0, 0, 0);
    c_.text = new QLineEdit(c_.editPanel);
    c_.remove = new QPushButton(QStringLiteral("削除"), c_.editPanel);
    c_.append = new QPushButton(QStringLiteral("追加"), c_.editPanel);
    c_.overwrite = new QPushButton(QStringLiteral("上書き"), c_.editPanel);
    c_.endEdit = new QPushButton(QStringLiteral("×"), c_.editPanel);
    c_.endEdit->setToolTip(QStringLiteral("登録情報編集終了"));
    c_.endEdit->setMaximumWidth(28);
    panel->addWidget(c_.text, 1);
    for (QPushButton* button : {c_.remove, c_.append, c_.overwrite, c_.endEdit}) {
        button->setAutoDefault(false);
        panel->addWidget(button);
    }
    outer->addWidget(c_.editPanel);

    auto on = [this](QPushButton* button, void (Tfn21biko::*handler)()) {
        connect(button, &QPushButton::clicked, this, [this, handler] { guarded(this, [&] { (this->*handler)(); }); });
    };
    on(c_.edit, &Tfn21biko::EditClick);
    on(c_.addToMemo, &Tfn21biko::AddToMemoClick);
    on(c_.remove, &Tfn21biko::DeleteClick);
    on(c_.append, &Tfn21biko::AppendClick);
    on(c_.overwrite, &Tfn21biko::OverwriteClick);
    on(c_.endEdit, &Tfn21biko::EndEditClick);
    connect(c_.phrases, &QListWidget::itemClicked, this, [this] { guarded(this, [&] { PhraseClick(); }); });
    connect(c_.close, &QPushButton::clicked, this, &QDialog::accept);
    // The phrases and the memo are kept in the books: on books that can only be read they are
    // shown, and nothing else.
    if (dm_.state().readOnly) {
        for (QPushButton* button : {c_.edit, c_.addToMemo, c_.remove, c_.append, c_.overwrite})
            button->setEnabled(false);
    }

    resize(520, 420);
}

void Tfn21biko::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    guarded(this, [&] { FormShow(); });
}

void Tfn21biko::FormShow()
{
    c_.editPanel->hide();
    FillPhraseList();
}

void Tfn21biko::FillPhraseList()
{
    c_.phrases->clear();
    Query& q = dm_.q27temp;
    q.close();
    q.setSql(QStringLiteral("select * from biko order by name"));
    q.open();
    for (q.first(); !q.eof() && !q.isEmpty(); q.next())
        c_.phrases->addItem(q.field(1).asString());
    q.close();
    c_.phrases->setCurrentRow(-1);
    c_.phrases->clearSelection();
}

std::optional<QString> Tfn21biko::selectedPhrase() const
{
    const QList<QListWidgetItem*> selected = c_.phrases->selectedItems();
    if (selected.isEmpty())
        return std::nullopt;
    return selected.front()->text();
}

void Tfn21biko::PhraseClick()
{
    if (const QListWidgetItem* item = c_.phrases->currentItem())
        c_.text->setText(item->text());
}

void Tfn21biko::EditClick()
{
    if (const auto phrase = selectedPhrase())
        c_.text->setText(*phrase);
    c_.editPanel->show();
    c_.text->setFocus();
}

void Tfn21biko::EndEditClick()
{
    c_.editPanel->hide();
}

void Tfn21biko::AddToMemoClick()
{
    const auto phrase = selectedPhrase();
    if (!phrase) {
        prompter().information(this, kNothingToAdd);
        return;
    }
    // The journal window posts the row or cancels it, as for anything typed into it.
    Table& journal = dm_.t01keiri;
    if (!journal.isActive())
        journal.open();
    if (journal.state() == Dataset::State::Browse) {
        if (journal.isEmpty())
            journal.append();
        else
            journal.edit();
    }
    journal.fieldByName(QStringLiteral("Memo")).setString(*phrase);
}

void Tfn21biko::openPhraseTable()
{
    Table& t = dm_.t06temp1;
    t.close();
    t.setTableName(kPhraseTable);
    t.open();
    t.first();
}

void Tfn21biko::AppendClick()
{
    const QString text = c_.text->text();
    openPhraseTable();
    Table& t = dm_.t06temp1;
    bool found = false;
    for (t.first(); !t.eof() && !t.isEmpty(); t.next()) {
        if (t.fieldByName(kPhraseField).asString() == text) {
            found = true;
            break;
        }
    }
    if (found) {
        prompter().information(this, kAlreadyThere);
    } else {
        t.append();
        t.fieldByName(kPhraseField).setString(text);
        t.post();
    }
    FillPhraseList();
    c_.editPanel->hide();
}

void Tfn21biko::OverwriteClick()
{
    const auto phrase = selectedPhrase();
    if (!phrase) {
        prompter().information(this, kNothingToOverwrite);
        return;
    }
    const QString text = c_.text->text();
    openPhraseTable();
    Table& t = dm_.t06temp1;
    for (t.first(); !t.eof() && !t.isEmpty(); t.next()) {
        if (t.fieldByName(kPhraseField).asString() != *phrase)
            continue;
        if (prompter().confirm(this, kOverwrite)) {
            t.edit();
            t.fieldByName(kPhraseField).setString(text);
            t.post();
        }
        break;
    }
    FillPhraseList();
    c_.editPanel->hide();
}

void Tfn21biko::DeleteClick()
{
    const auto phrase = selectedPhrase();
    if (!phrase) {
        prompter().information(this, kNothingToDelete);
        return;
    }
    Table& t = dm_.t06temp1;
    struct CloseAfter {
        Table& t;
        ~CloseAfter() { t.close(); }
    } closeAfter{t};
    openPhraseTable();
    // Every row of the phrase goes, in one write. Deleting makes the next row current, so the
    // walk moves on only past a row it keeps: two rows of the same text in a row both go.
    Transaction transaction(*t.database());
    while (!t.eof() && !t.isEmpty()) {
        if (t.fieldByName(kPhraseField).asString() == *phrase)
            t.remove();
        else
            t.next();
    }
    transaction.commit();
    t.close();
    FillPhraseList();
    c_.editPanel->hide();
}

void Tfn21biko::HelpClick()
{
    showHelp(this, QStringLiteral("Tfn21biko"));
}

} // namespace tolva
