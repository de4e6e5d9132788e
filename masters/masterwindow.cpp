#include "masters/masterwindow.h"

#include "db/dataset.h"
#include "ui/actionguard.h"
#include "ui/dbcontrols.h"
#include "ui/prompter.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>

namespace tolva::masters {

void fillCodeList(QListWidget* list, Query& query)
{
    list->clear();
    if (query.isActive() && query.fieldCount() >= 2) {
        const int rows = query.fetchUntil(std::numeric_limits<int>::max());
        for (int i = 0; i < rows; ++i) {
            const QVector<QVariant>& row = query.rowAt(i);
            list->addItem(row.at(0).toString() + u' ' + row.at(1).toString());
        }
    }
    list->setCurrentRow(-1);
    list->clearSelection();
}

QString codeOfItem(const QListWidget* list, int row, int length)
{
    const QListWidgetItem* item = list->item(row);
    return item ? item->text().left(length) : QString();
}

QString chosenCode(const DbLookupCombo* box)
{
    return box->currentIndex() < 0 ? QString() : box->itemData(box->currentIndex()).toString();
}

void refuse(QWidget* parent, const QString& message)
{
    prompter().information(parent, message);
    throw ActionStopped{};
}

qint64 storedRowId(const Table& table)
{
    if (!table.isActive() || table.isEmpty() || table.state() == Dataset::State::Insert)
        return 0;
    return table.currentRowId();
}

void checkPostButton(QWidget* parent, Table& table, Master master, const Entry& entry)
{
    if (!table.isActive() || table.state() == Dataset::State::Browse)
        return;
    if (const auto problem = entryProblem(master, entry))
        refuse(parent, *problem);
    if (const auto problem = postProblem(*table.database(), master, entry.code.trimmed(), entry.parent, storedRowId(table)))
        refuse(parent, *problem);
}

void checkDeleteButton(QWidget* parent, Table& table, Master master)
{
    const qint64 rowId = storedRowId(table);
    if (rowId == 0)
        return;
    if (const auto problem = deletionProblem(*table.database(), master, rowId))
        refuse(parent, *problem);
}

void checkEveryPost(QWidget* window, Table& table, std::function<Master()> master)
{
    // Runs after the bound boxes have put their text into the fields (their hooks come
    // first): the fields hold what is about to be stored. An untouched new record is
    // cancelled, not posted, when left.
    table.addUpdateHook(window, [window, &table, master = std::move(master)] {
        if (!table.isActive() || table.state() == Dataset::State::Browse || !table.isModified())
            return;
        const Master kind = master();
        const QString parentField = parentFieldOf(kind);
        const QString code = table.fieldByName(QStringLiteral("code")).asString();
        const QString parent = parentField.isEmpty() ? QString() : table.fieldByName(parentField).asString();
        if (const auto problem = postProblem(*table.database(), kind, code, parent, storedRowId(table)))
            refuse(window, *problem);
    });
}

QAction* addHelpMenu(QMenuBar* bar, QWidget* window, const std::function<void()>& handler)
{
    QMenu* help = bar->addMenu(QStringLiteral("ﾍﾙﾌﾟ"));
    QAction* support = help->addAction(QStringLiteral("ｻﾎﾟｰﾄｻｲﾄ"));
    QObject::connect(support, &QAction::triggered, window, [window, handler] { guarded(window, handler); });
    return support;
}

QLabel* smallCaption(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont small = label->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    label->setFont(small);
    return label;
}

} // namespace tolva::masters
