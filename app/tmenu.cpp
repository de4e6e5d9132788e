#include "app/tmenu.h"

#include "db/database.h"
#include "db/programstate.h"
#include "db/tdm01keiri.h"
#include "db/textformat.h"
#include "reports/bookscheck.h"
#include "ui/actionguard.h"
#include "ui/freedmemory.h"
#include "ui/help.h"
#include "ui/prompter.h"

#include <QApplication>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>

namespace tolva {

namespace {

std::map<TMenu::Window, TMenu::WindowFactory>& factories()
{
    static std::map<TMenu::Window, TMenu::WindowFactory> registered;
    return registered;
}

} // namespace

// --- YearUpDown ------------------------------------------------------------------------

YearUpDown::YearUpDown(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    down_ = new QToolButton(this);
    down_->setArrowType(Qt::LeftArrow);
    down_->setAccessibleName(QStringLiteral("前年度"));
    down_->setAutoRepeat(true);
    up_ = new QToolButton(this);
    up_->setArrowType(Qt::RightArrow);
    up_->setAccessibleName(QStringLiteral("翌年度"));
    up_->setAutoRepeat(true);
    layout->addWidget(down_);
    layout->addWidget(up_);
    connect(down_, &QToolButton::clicked, this, [this] { step(-1); });
    connect(up_, &QToolButton::clicked, this, [this] { step(+1); });
}

void YearUpDown::setRange(int minimum, int maximum)
{
    minimum_ = minimum;
    maximum_ = maximum;
    setPosition(position_);
}

void YearUpDown::setPosition(int position)
{
    position_ = qBound(minimum_, position, maximum_);
    updateButtons();
}

void YearUpDown::step(int delta)
{
    const int next = position_ + delta;
    if (next < minimum_ || next > maximum_)
        return;
    position_ = next;
    updateButtons();
    emit clicked(position_);
}

void YearUpDown::updateButtons()
{
    down_->setEnabled(position_ > minimum_);
    up_->setEnabled(position_ < maximum_);
}

// --- TMenu -----------------------------------------------------------------------------

void TMenu::registerWindow(Window window, WindowFactory factory)
{
    factories()[window] = std::move(factory);
}

TMenu::TMenu(const QString& dataFolder, QWidget* parent) : QMainWindow(parent)
{
    // FormCreate: nothing else happens at creation.
    programState().dataFolder = dataFolder;
    buildUi();
}

TMenu::~TMenu() = default;

void TMenu::setDataModule(Tdm01Keiri& dm)
{
    dm_ = &dm;
    const bool readOnly = programState().readOnly;
    setWindowTitle(readOnly ? QStringLiteral("メイン画面（読み取り専用）") : QStringLiteral("メイン画面"));
    readOnlyNotice_->setVisible(readOnly);
    if (readOnly)
        readOnlyNotice_->setText(Database::forFolder(programState().dataFolder)->readOnlyNotice()
                                 + QStringLiteral("\n見ること、印刷すること、ファイルに出力することはできますが、帳簿を変更する操作はできません。"));
}

Tdm01Keiri& TMenu::dm() const
{
    if (!dm_)
        throw StoreError(QStringLiteral("データモジュールが作成されていません。"));
    return *dm_;
}

void TMenu::buildUi()
{
    setObjectName(QStringLiteral("Menu"));
    setWindowTitle(QStringLiteral("メイン画面"));

    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(10, 10, 10, 10);
    outer->setSpacing(10);

    // Title panel.
    auto* titlePanel = new QWidget(central);
    titlePanel->setObjectName(QStringLiteral("titlePanel"));
    titlePanel->setAutoFillBackground(true);
    titlePanel->setStyleSheet(QStringLiteral("#titlePanel { background-color: #1f5f7a; border-radius: 4px; }"
                                             "#titlePanel QLabel { color: white; }"));
    auto* titleLayout = new QVBoxLayout(titlePanel);
    titleLayout->setContentsMargins(16, 10, 16, 10);
    auto* subtitle = new QLabel(QStringLiteral("複式簿記対応　家計簿 Tolva2"), titlePanel);
    QFont subtitleFont = subtitle->font();
    subtitleFont.setPointSizeF(subtitleFont.pointSizeF() * 1.1);
    subtitle->setFont(subtitleFont);
    auto* title = new QLabel(QStringLiteral("Tolva02"), titlePanel);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 2.6);
    titleFont.setBold(true);
    titleFont.setItalic(true);
    title->setFont(titleFont);
    titleLayout->addWidget(subtitle);
    titleLayout->addWidget(title);
    outer->addWidget(titlePanel);

    // Year and period.
    auto* yearPanel = new QWidget(central);
    auto* yearLayout = new QGridLayout(yearPanel);
    yearLayout->setContentsMargins(0, 0, 0, 0);
    auto* yearCaption = new QLabel(QStringLiteral("対象年度"), yearPanel);
    yearDisplay_ = new QLineEdit(yearPanel);
    yearDisplay_->setObjectName(QStringLiteral("Edit1"));
    yearDisplay_->setReadOnly(true);
    yearDisplay_->setAlignment(Qt::AlignCenter);
    yearDisplay_->setFixedWidth(yearDisplay_->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 16);
    upDown_ = new YearUpDown(yearPanel);
    upDown_->setObjectName(QStringLiteral("UpDown1"));
    upDown_->setRange(kFirstFiscalYear, kLastFiscalYear);
    upDown_->setPosition(2000);
    yearDisplay_->setText(QStringLiteral("2000"));
    periodLabel_ = new QLabel(yearPanel);
    periodLabel_->setObjectName(QStringLiteral("Label3"));
    yearLayout->addWidget(yearCaption, 0, 0);
    yearLayout->addWidget(yearDisplay_, 0, 1);
    yearLayout->addWidget(upDown_, 0, 2);
    yearLayout->setColumnStretch(3, 1);
    yearLayout->addWidget(periodLabel_, 1, 0, 1, 4);
    outer->addWidget(yearPanel);

    readOnlyNotice_ = new QLabel(central);
    readOnlyNotice_->setObjectName(QStringLiteral("ReadOnlyNotice"));
    readOnlyNotice_->setWordWrap(true);
    readOnlyNotice_->setStyleSheet(QStringLiteral("QLabel { background-color: #fff4d6; border: 1px solid #d9a400; padding: 6px; }"));
    readOnlyNotice_->hide();
    outer->addWidget(readOnlyNotice_);
    connect(upDown_, &YearUpDown::clicked, this, [this](int position) { guarded(this, [&] { UpDown1Click(position); }); });

    auto makeButton = [this](Window window, const QString& caption, const QString& objectName, void (TMenu::*handler)(),
                             QWidget* parent) {
        auto* button = new QPushButton(caption, parent);
        button->setObjectName(objectName);
        button->setMinimumHeight(40);
        button->setEnabled(factories().count(window) > 0);
        connect(button, &QPushButton::clicked, this, [this, handler] { guarded(this, [&] { (this->*handler)(); }); });
        buttons_[window] = button;
        return button;
    };

    auto* dataRow = new QHBoxLayout;
    dataRow->addWidget(makeButton(Window::Journal, QStringLiteral("仕訳"), QStringLiteral("SpeedButton1"), &TMenu::SpeedButton1Click, central));
    dataRow->addWidget(makeButton(Window::Ledger, QStringLiteral("元帳"), QStringLiteral("SpeedButton6"), &TMenu::SpeedButton6Click, central));
    dataRow->addWidget(makeButton(Window::Closing, QStringLiteral("決算"), QStringLiteral("SpeedButton7"), &TMenu::SpeedButton7Click, central));
    dataRow->addWidget(makeButton(Window::FixedAssets, QStringLiteral("固定資産"), QStringLiteral("SpeedButton5"), &TMenu::SpeedButton5Click, central));
    // The first year's balances: without them against 元入金 the trial balance cannot balance.
    dataRow->addWidget(makeButton(Window::OpeningBalances, QStringLiteral("期首残高の入力"), QStringLiteral("OpeningBalances"),
                                  &TMenu::OpeningBalancesClick, central));
    outer->addLayout(dataRow);

    auto* masterRow = new QHBoxLayout;
    masterRow->addWidget(makeButton(Window::AccountCategories, QStringLiteral("科目区分"), QStringLiteral("SpeedButton4"), &TMenu::SpeedButton4Click, central));
    masterRow->addWidget(makeButton(Window::Accounts, QStringLiteral("科目設定"), QStringLiteral("SpeedButton2"), &TMenu::SpeedButton2Click, central));
    masterRow->addWidget(makeButton(Window::SubAccounts, QStringLiteral("細目設定"), QStringLiteral("SpeedButton9"), &TMenu::SpeedButton9Click, central));
    masterRow->addWidget(makeButton(Window::Uses, QStringLiteral("区分"), QStringLiteral("SpeedButton3"), &TMenu::SpeedButton3Click, central));
    masterRow->addWidget(makeButton(Window::Owner, QStringLiteral("事業主　"), QStringLiteral("SpeedButton8"), &TMenu::SpeedButton8Click, central));
    outer->addLayout(masterRow);

    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch(1);
    auto* closeButton = new QPushButton(QStringLiteral("閉じる"), central);
    closeButton->setObjectName(QStringLiteral("BitBtn1"));
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    closeRow->addWidget(closeButton);
    outer->addLayout(closeRow);

    setCentralWidget(central);

    // Menus. The items under "ﾃﾞｰﾀ" and "ﾃﾞｰﾀ設定" do what the buttons of the same caption do.
    auto addItem = [this](QMenu* menu, const QString& caption, Window window, void (TMenu::*handler)()) {
        QAction* action = menu->addAction(caption);
        action->setEnabled(factories().count(window) > 0);
        connect(action, &QAction::triggered, this, [this, handler] { guarded(this, [&] { (this->*handler)(); }); });
        menuItems_[window] << action;
    };
    QMenu* data = menuBar()->addMenu(QStringLiteral("ﾃﾞｰﾀ"));
    addItem(data, QStringLiteral("仕訳"), Window::Journal, &TMenu::SpeedButton1Click);
    addItem(data, QStringLiteral("元帳"), Window::Ledger, &TMenu::SpeedButton6Click);
    addItem(data, QStringLiteral("決算"), Window::Closing, &TMenu::SpeedButton7Click);
    addItem(data, QStringLiteral("固定資産"), Window::FixedAssets, &TMenu::SpeedButton5Click);
    addItem(data, QStringLiteral("期首残高の入力"), Window::OpeningBalances, &TMenu::OpeningBalancesClick);
    // A normal start reads only part of the file for damage; this reads all of it.
    data->addSeparator();
    QAction* check = data->addAction(QStringLiteral("帳簿の検査"));
    check->setObjectName(QStringLiteral("CheckBooks"));
    connect(check, &QAction::triggered, this, [this] { guarded(this, [&] { CheckBooksClick(); }); });
    QMenu* settings = menuBar()->addMenu(QStringLiteral("ﾃﾞｰﾀ設定"));
    addItem(settings, QStringLiteral("科目設定"), Window::Accounts, &TMenu::SpeedButton2Click);
    addItem(settings, QStringLiteral("科目区分"), Window::AccountCategories, &TMenu::SpeedButton4Click);
    addItem(settings, QStringLiteral("対象"), Window::Uses, &TMenu::SpeedButton3Click);
    addItem(settings, QStringLiteral("事業主"), Window::Owner, &TMenu::SpeedButton8Click);
    QMenu* helpMenu = menuBar()->addMenu(QStringLiteral("ﾍﾙﾌﾟ"));
    QAction* version = helpMenu->addAction(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    version->setObjectName(QStringLiteral("N12"));
    connect(version, &QAction::triggered, this, [this] { guarded(this, [&] { N12Click(); }); });
    QAction* support = helpMenu->addAction(QStringLiteral("ｻﾎﾟｰﾄｻｲﾄ"));
    support->setObjectName(QStringLiteral("N13"));
    connect(support, &QAction::triggered, this, [this] { guarded(this, [&] { N13Click(); }); });
}

void TMenu::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    guarded(this, [&] { LoadFiscalPeriod(QDate::currentDate()); });
}

void TMenu::LoadFiscalPeriod(const QDate& today)
{
    // Books that can only be read give the same period without an owner row being made.
    const FiscalSettings settings = programState().readOnly ? readFiscalPeriod(dm(), today) : loadFiscalPeriod(dm(), today);
    yearDisplay_->setText(QString::number(settings.year));
    upDown_->setPosition(settings.year);
    programState().periodStart = settings.period.start;
    programState().periodEnd = settings.period.end;
    showPeriod();
}

void TMenu::UpDown1Click(int position)
{
    yearDisplay_->setText(QString::number(position));
    // On books that can only be read the year moves what is shown, and nothing is kept.
    if (!programState().readOnly)
        storeFiscalYear(dm(), position);
    ProgramState& state = programState();
    const FiscalPeriod moved = periodMovedToYear({state.periodStart, state.periodEnd}, position);
    state.periodStart = moved.start;
    state.periodEnd = moved.end;
    showPeriod();
}

void TMenu::showPeriod()
{
    periodLabel_->setText(textformat::period(programState().periodStart, programState().periodEnd));
}

QString TMenu::periodText() const
{
    return periodLabel_->text();
}

QString TMenu::yearText() const
{
    return yearDisplay_->text();
}

QPushButton* TMenu::button(Window window) const
{
    const auto it = buttons_.find(window);
    return it == buttons_.end() ? nullptr : it->second;
}

void TMenu::openWindow(Window window, const std::function<void()>& prepare, const std::function<void()>& after,
                       WindowOrder order, const std::function<void(QDialog&)>& afterCreate)
{
    const auto factory = factories().find(window);
    if (factory == factories().end())
        return;
    // What the window held (a list of a long book, a report's rows) goes back to the system
    // once it is freed and its datasets closed.
    auto giveBack = qScopeGuard([] { returnFreedMemory(); });
    // The datasets are closed and the window freed whether it returns normally or by an error.
    auto cleanup = qScopeGuard([&] {
        if (after)
            after();
    });
    std::unique_ptr<QDialog> dialog;
    if (order == WindowOrder::CreateFirst)
        dialog = factory->second(this, dm());
    if (prepare)
        prepare();
    if (!dialog)
        dialog = factory->second(this, dm());
    if (afterCreate)
        afterCreate(*dialog);
    dialog->setModal(true);
    dialog->exec();
}

namespace {

void reopenQuery(Query& query, const QString& sql)
{
    query.close();
    query.setSql(sql);
    query.open();
}

void reopenTable(Table& table, const QString& name)
{
    table.close();
    table.setTableName(name);
    table.open();
}

} // namespace

void TMenu::SpeedButton1Click()
{
    Tdm01Keiri& m = dm();
    openWindow(
        Window::Journal,
        [&] {
            reopenQuery(m.q25kamoku2, QStringLiteral("select * from kamoku02"));
            reopenQuery(m.q16temp1, QStringLiteral("select * from kamoku02"));
            reopenQuery(m.q26temp, QStringLiteral("select * from yoto"));
        },
        [&] {
            m.q25kamoku2.close();
            m.q16temp1.close();
            m.q26temp.close();
        });
}

void TMenu::SpeedButton2Click()
{
    Tdm01Keiri& m = dm();
    openWindow(
        Window::Accounts, [&] {
            m.t05Kamoku.open();
            m.q03bunruiL.open();
        },
        [&] {
            m.q03bunruiL.close();
            m.t05Kamoku.close();
        },
        WindowOrder::CreateFirst);
}

void TMenu::SpeedButton3Click()
{
    Tdm01Keiri& m = dm();
    openWindow(
        Window::Uses,
        [&] {
            reopenTable(m.t06temp1, QStringLiteral("kubun"));
            reopenQuery(m.q25kamoku2, QStringLiteral("select code,Name from yoto order by code"));
        },
        [&] {
            m.q25kamoku2.close();
            m.t06temp1.close();
        });
}

void TMenu::SpeedButton4Click()
{
    Tdm01Keiri& m = dm();
    openWindow(
        Window::AccountCategories,
        [&] {
            reopenTable(m.t06temp1, QStringLiteral("bunrui"));
            m.q24bunrui.setSql(QStringLiteral("select * from bunrui order by code"));
            m.q24bunrui.open();
        },
        [&] {
            m.t06temp1.close();
            m.q24bunrui.close();
        },
        WindowOrder::PrepareFirst, [](QDialog& window) { window.setWindowTitle(QStringLiteral("勘定区分")); });
}

void TMenu::SpeedButton5Click()
{
    openWindow(Window::FixedAssets, {}, {});
}

void TMenu::SpeedButton6Click()
{
    openWindow(Window::Ledger, {}, {});
}

void TMenu::SpeedButton7Click()
{
    openWindow(Window::Closing, {}, {});
}

void TMenu::SpeedButton8Click()
{
    // The owner window may have stored a new closing month: the period shown, and the one
    // every window takes as its default, follow it at once rather than at the next start.
    openWindow(Window::Owner, {}, {});
    LoadFiscalPeriod(QDate::currentDate());
}

void TMenu::OpeningBalancesClick()
{
    openWindow(Window::OpeningBalances, {}, {});
}

void TMenu::SpeedButton9Click()
{
    Tdm01Keiri& m = dm();
    openWindow(
        Window::SubAccounts,
        [&] {
            reopenTable(m.t06temp1, QStringLiteral("kamoku02"));
            reopenQuery(m.q16temp1, QStringLiteral("select * from kamoku order by code"));
            m.q24bunrui.setSql(QStringLiteral("select * from bunrui order by code"));
            m.q24bunrui.open();
        },
        [&] {
            m.t06temp1.close();
            m.q16temp1.close();
            m.q24bunrui.close();
        });
}

void TMenu::CheckBooksClick()
{
    auto db = Database::forFolder(programState().dataFolder);
    QStringList findings;
    QList<bookscheck::Item> files;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        findings = db->damageFindings();
        if (findings.isEmpty())
            files = bookscheck::checkFolderFiles(*db, true);
    }
    if (!findings.isEmpty()) {
        prompter().error(this,
                         QStringLiteral("帳簿のファイル「%1」に壊れている箇所が見つかりました。\n"
                                        "これ以上入力せずに終了し、バックアップからデータフォルダ全体を元に戻してください。")
                             .arg(QDir::toNativeSeparators(db->filePath())),
                         findings.mid(0, 3).join(u'\n'));
        return;
    }
    QStringList problems;
    QStringList repaired;
    for (const bookscheck::Item& item : std::as_const(files)) {
        problems << item.findings;
        repaired << item.repaired;
    }
    if (!problems.isEmpty()) {
        prompter().error(this, QStringLiteral("帳簿のファイルは壊れていませんが、データフォルダの次のファイルに問題があります。\n\n")
                                   + problems.join(QStringLiteral("\n\n")));
        return;
    }
    QString text = QStringLiteral("帳簿のファイルを検査しました。壊れている箇所はありません。");
    if (!repaired.isEmpty())
        text += QStringLiteral("\n仕訳の行数の記録が仕訳と食い違っていたため、数え直して直しました。");
    prompter().information(this, text);
}

void TMenu::N12Click()
{
    prompter().information(this, QStringLiteral("Version 1.0 2010/7/3"));
}

void TMenu::N13Click()
{
    showHelp(this, QStringLiteral("TMenu"));
}

} // namespace tolva
