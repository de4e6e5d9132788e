#include "closing/tfkessan.h"

#include "closing/closingentries.h"
#include "closing/tfshisanh.h"
#include "closing/yearend.h"
#include "db/backup.h"
#include "db/dataset.h"
#include "db/tdm01keiri.h"
#include "db/textformat.h"
#include "ui/actionguard.h"
#include "ui/help.h"
#include "ui/prompter.h"

#include <QAction>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace tolva {

namespace {

TfKessan::WindowFactory& periodAggregationFactory()
{
    static TfKessan::WindowFactory factory;
    return factory;
}

TfKessan::WindowFactory& blueReturnFactory()
{
    static TfKessan::WindowFactory factory;
    return factory;
}

FiscalPeriod currentPeriod(const Tdm01Keiri& dm)
{
    return {dm.state().periodStart, dm.state().periodEnd};
}

} // namespace

void TfKessan::registerPeriodAggregation(WindowFactory factory)
{
    periodAggregationFactory() = std::move(factory);
}

void TfKessan::registerBlueReturn(WindowFactory factory)
{
    blueReturnFactory() = std::move(factory);
}

TfKessan::TfKessan(Tdm01Keiri& dm, QWidget* parent) : QDialog(parent), dm_(dm)
{
    buildUi();
}

void TfKessan::buildUi()
{
    setObjectName(QStringLiteral("fKessan"));
    setWindowTitle(QStringLiteral("決算処理ﾒﾆｭｰ"));

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 4, 10, 10);
    outer->setSpacing(10);

    auto* menuBar = new QMenuBar(this);
    QMenu* helpMenu = menuBar->addMenu(QStringLiteral("ﾍﾙﾌﾟ"));
    helpAction_ = helpMenu->addAction(QStringLiteral("ｻﾎﾟｰﾄｻｲﾄ"));
    helpAction_->setObjectName(QStringLiteral("N2"));
    connect(helpAction_, &QAction::triggered, this, [this] { guarded(this, [&] { N2Click(); }); });
    outer->setMenuBar(menuBar);

    auto button = [this](const QString& caption, const QString& name, void (TfKessan::*handler)()) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        b->setMinimumWidth(130);
        connect(b, &QPushButton::clicked, this, [this, handler] { guarded(this, [&] { (this->*handler)(); }); });
        return b;
    };

    // The period aggregation.
    auto* periodPanel = new QGroupBox(this);
    periodPanel->setObjectName(QStringLiteral("Panel2"));
    auto* periodLayout = new QHBoxLayout(periodPanel);
    periodLayout->addWidget(new QLabel(QStringLiteral("期間集計"), periodPanel));
    periodLayout->addStretch(1);
    periodAggregation_ = button(QStringLiteral("科目・細目集計"), QStringLiteral("SpeedButton5"), &TfKessan::SpeedButton5Click);
    periodAggregation_->setEnabled(static_cast<bool>(periodAggregationFactory()));
    periodLayout->addWidget(periodAggregation_);
    outer->addWidget(periodPanel);

    // The year-end closing in six steps.
    auto* yearPanel = new QGroupBox(this);
    yearPanel->setObjectName(QStringLiteral("Panel1"));
    auto* steps = new QGridLayout(yearPanel);
    auto* heading = new QLabel(QStringLiteral("年度決算"), yearPanel);
    QFont headingFont = heading->font();
    headingFont.setBold(true);
    heading->setFont(headingFont);
    steps->addWidget(heading, 0, 0);
    auto* periodLine = new QHBoxLayout;
    periodLine->addWidget(new QLabel(QStringLiteral("対象期間："), yearPanel));
    period_ = new QLabel(yearPanel);
    period_->setObjectName(QStringLiteral("Label3"));
    periodLine->addWidget(period_);
    periodLine->addStretch(1);
    steps->addLayout(periodLine, 1, 0, 1, 2);

    aggregate_ = button(QStringLiteral("決算の集計処理"), QStringLiteral("SpeedButton2"), &TfKessan::SpeedButton2Click);
    trialBalance_ = button(QStringLiteral("試算表の表示"), QStringLiteral("SpeedButton1"), &TfKessan::SpeedButton1Click);
    worksheet_ = button(QStringLiteral("精算表の表示"), QStringLiteral("SpeedButton4"), &TfKessan::SpeedButton4Click);
    transfers_ = button(QStringLiteral("決算振替処理"), QStringLiteral("SpeedButton3"), &TfKessan::SpeedButton3Click);
    blueReturn_ = button(QStringLiteral("青色申告決算書"), QStringLiteral("BlueReturn"), &TfKessan::BlueReturnClick);
    blueReturn_->setEnabled(static_cast<bool>(blueReturnFactory()));
    const std::pair<QString, QPushButton*> stepRows[] = {
        {QStringLiteral("①科目毎の集計を行う。-------------"), aggregate_},
        {QStringLiteral("②試算表で誤りがないか確認する。---"), trialBalance_},
        {QStringLiteral("③決算整理を行う。"), nullptr},
        {QStringLiteral("④決算整理の確認を行う。-----------"), worksheet_},
        {QStringLiteral("⑤貸借対象表・損益計算書等の作成"), blueReturn_},
        {QStringLiteral("⑥決算振替を行う。-----------------"), transfers_},
    };
    int row = 2;
    for (const auto& [text, stepButton] : stepRows) {
        auto* label = new QLabel(text, yearPanel);
        label->setObjectName(QStringLiteral("Step%1").arg(row - 1));
        steps->addWidget(label, row, 0);
        if (stepButton)
            steps->addWidget(stepButton, row, 1);
        ++row;
    }
    outer->addWidget(yearPanel);

    // The year's totals and the closing transfers are written into the books; the views of
    // the totals and the period aggregation only read them.
    if (dm_.state().readOnly) {
        for (QPushButton* writing : {aggregate_, transfers_}) {
            writing->setEnabled(false);
            writing->setToolTip(QStringLiteral("帳簿が読み取り専用のため、実行できません。"));
        }
    }

    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch(1);
    auto* closeButton = new QPushButton(QStringLiteral("閉じる"), this);
    closeButton->setObjectName(QStringLiteral("BitBtn1"));
    closeButton->setAutoDefault(false);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    closeRow->addWidget(closeButton);
    outer->addLayout(closeRow);
}

void TfKessan::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        guarded(this, [&] { FormShow(); });
}

void TfKessan::FormShow()
{
    period_->setText(textformat::period(dm_.state().periodStart, dm_.state().periodEnd));
}

QString TfKessan::periodText() const
{
    return period_->text();
}

void TfKessan::SpeedButton2Click()
{
    if (!prompter().confirm(this, QStringLiteral("年度決算の集計処理をしますか？"), Prompter::QuestionKind::Warning))
        return;
    const YearEndAggregation result = aggregateYearEnd(*dm_.t08Sisan.database(), currentPeriod(dm_));
    prompter().information(this, yearEndMessage(result));
}

void TfKessan::openTrialBalanceWindow(const QString& question, const QString& caption, int width)
{
    if (!prompter().confirm(this, question, Prompter::QuestionKind::Warning))
        return;
    TfShisanH window(dm_, this);
    window.setWindowTitle(caption);
    window.resize(width, window.height());
    window.setModal(true);
    window.exec();
}

void TfKessan::SpeedButton1Click()
{
    openTrialBalanceWindow(QStringLiteral("試算表を表示しますか？"), viewCaption(ClosingView::TrialBalance), 528);
}

void TfKessan::SpeedButton4Click()
{
    openTrialBalanceWindow(QStringLiteral("精算表を表示しますか？"), viewCaption(ClosingView::Worksheet), 812);
}

void TfKessan::SpeedButton3Click()
{
    // No question and no message of success: the command is step ⑥ of the menu. The journal
    // is copied into the data folder's backup folder first, since the command replaces rows
    // the user may have typed.
    const BackupRequest backup{backupFolder(dm_.state().dataFolder), QDateTime::currentDateTime()};
    const ClosingTransfers done = runClosingTransfers(*dm_.t01keiri.database(), currentPeriod(dm_), backup);
    if (done.refusal) {
        prompter().information(this, *done.refusal);
        return;
    }
    // A journal table left open shows the rows as they now are.
    if (dm_.t01keiri.isActive())
        dm_.t01keiri.refresh();
}

void TfKessan::SpeedButton5Click()
{
    const WindowFactory& factory = periodAggregationFactory();
    if (!factory)
        return;
    std::unique_ptr<QDialog> window = factory(this, dm_);
    window->setWindowTitle(QStringLiteral("集計表"));
    window->resize(800, window->height());
    window->setModal(true);
    window->exec();
}

void TfKessan::BlueReturnClick()
{
    const WindowFactory& factory = blueReturnFactory();
    if (!factory)
        return;
    std::unique_ptr<QDialog> window = factory(this, dm_);
    window->setModal(true);
    window->exec();
}

void TfKessan::N2Click()
{
    showHelp(this, QStringLiteral("TfKessan"));
}

} // namespace tolva
