#include "db/querymodel.h"

#include "db/textformat.h"

namespace tolva {

QueryModel::QueryModel(Query& query, QObject* parent) : QAbstractTableModel(parent), query_(query)
{
    connect(&query_, &Dataset::opened, this, &QueryModel::reset);
    connect(&query_, &Dataset::closed, this, &QueryModel::reset);
    reset();
}

void QueryModel::setColumns(QList<Column> columns)
{
    columns_ = std::move(columns);
    reset();
}

void QueryModel::reset()
{
    beginResetModel();
    fieldIndexes_.clear();
    rows_ = 0;
    if (query_.isActive()) {
        if (columns_.isEmpty()) {
            for (int i = 0; i < query_.fieldCount(); ++i)
                fieldIndexes_ << i;
        } else {
            for (const Column& column : columns_)
                fieldIndexes_ << query_.fieldIndex(column.field);
        }
        rows_ = query_.fetchUntil(kBatch);
    }
    endResetModel();
}

int QueryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_;
}

int QueryModel::columnCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return columns_.isEmpty() ? int(fieldIndexes_.size()) : int(columns_.size());
}

int QueryModel::fieldIndexOfColumn(int column) const
{
    return column >= 0 && column < fieldIndexes_.size() ? fieldIndexes_[column] : -1;
}

QString QueryModel::displayText(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return {};
    if (value.typeId() == qMetaTypeId<Money>())
        return textformat::gridAmount(value.value<Money>());
    if (value.typeId() == QMetaType::QDate)
        return textformat::shortDate(value.toDate());
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm"));
    return value.toString();
}

QVariant QueryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rows_)
        return {};
    const int field = fieldIndexOfColumn(index.column());
    if (field < 0)
        return {};
    switch (role) {
    case Qt::DisplayRole: {
        const QVector<QVariant>& row = query_.rowAt(index.row());
        return field < row.size() ? displayText(row.at(field)) : QString();
    }
    case Qt::TextAlignmentRole:
        return isNumericType(query_.fieldDefs().at(field).type) ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                                                 : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant QueryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (!columns_.isEmpty() && section < columns_.size() && !columns_[section].caption.isEmpty())
        return columns_[section].caption;
    const int field = fieldIndexOfColumn(section);
    return field >= 0 ? query_.fieldDefs().at(field).name : QVariant();
}

bool QueryModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && query_.isActive() && !query_.allRowsRead();
}

void QueryModel::fetchMore(const QModelIndex& parent)
{
    if (parent.isValid() || !query_.isActive())
        return;
    const int available = query_.fetchUntil(rows_ + kBatch);
    if (available > rows_) {
        beginInsertRows({}, rows_, available - 1);
        rows_ = available;
        endInsertRows();
    }
}

void QueryModel::ensureRow(int row)
{
    if (!query_.isActive() || row < rows_)
        return;
    const int available = query_.fetchUntil(row + 1);
    if (available > rows_) {
        beginInsertRows({}, rows_, available - 1);
        rows_ = available;
        endInsertRows();
    }
}

} // namespace tolva
