#include "ui/reportstatus.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tolva {

namespace {

// Events run at most this often: often enough to answer a click at once, seldom enough that
// a page of a long book is not slowed by them.
constexpr qint64 kEventIntervalMs = 40;

} // namespace

ReportStatus::ReportStatus(QWidget* parent)
    : QDialog(parent), pages_(new QLabel(this)), stop_(new QPushButton(QStringLiteral("中止"), this))
{
    setObjectName(QStringLiteral("ReportStatus"));
    setWindowTitle(QStringLiteral("Report Status"));
    // Nothing but 中止 may be pressed while pages are drawn: the preview is being filled.
    setWindowModality(Qt::ApplicationModal);
    pages_->setObjectName(QStringLiteral("pages"));
    pages_->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("ページ 0000000 / 0000000")));
    stop_->setObjectName(QStringLiteral("stop"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("レポートを作成しています。"), this));
    layout->addWidget(pages_);
    layout->addWidget(stop_, 0, Qt::AlignHCenter);
    connect(stop_, &QPushButton::clicked, this, &ReportStatus::reject);
}

bool ReportStatus::update(int pagesDone, int pageCount)
{
    return tell(QStringLiteral("ページ %1 / %2").arg(pagesDone).arg(pageCount), pagesDone == pageCount);
}

bool ReportStatus::updateRows(int rowsDone, int rowCount)
{
    if (rowCount < 0)
        return tell(QStringLiteral("行 %1").arg(rowsDone), false);
    return tell(QStringLiteral("行 %1 / %2").arg(rowsDone).arg(rowCount), rowsDone == rowCount);
}

bool ReportStatus::tell(const QString& text, bool last)
{
    pages_->setText(text);
    if (!isVisible()) {
        show();
        sinceEvents_.invalidate();
    }
    if (!sinceEvents_.isValid() || sinceEvents_.elapsed() >= kEventIntervalMs || last) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        sinceEvents_.start();
    }
    return !stopped_;
}

void ReportStatus::reject()
{
    stopped_ = true;
    stop_->setEnabled(false);
}

} // namespace tolva
