#include "assets/tkoteisisan.h"

#include "aids/tcalcul.h"
#include "assets/depreciationreport.h"
#include "assets/tfkobetu.h"
#include "assets/yearrow.h"
#include "db/dataset.h"
#include "db/depreciation.h"
#include "db/querymodel.h"
#include "db/tdm01keiri.h"
#include "db/textformat.h"
#include "ui/actionguard.h"
#include "ui/closequestion.h"
#include "ui/help.h"
#include "ui/prompter.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShowEvent>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <map>

namespace tolva {

QString CurrentPropertyName;
QString CurrentItemCaption;

namespace {

const QString kYearCaption = QStringLiteral("C:内訳毎の償却状況");

QString dayText(const QDate& day)
{
    return day.isValid() ? day.toString(QStringLiteral("yyyy/MM/dd")) : QString();
}

const QString kCategoryChoices = QStringLiteral("SELECT code, Name FROM Kkubun ORDER BY code");
const QString kKindChoices = QStringLiteral("SELECT code, Name FROM Ksyubetu ORDER BY code");
const QString kMethodChoices = QStringLiteral("SELECT id, name FROM shouhou ORDER BY id");

// The drop-down list of a lookup column. Only the category column takes typed text too (a
// code, checked by the data module); the kind and the method are chosen from their lists.
class LookupDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const auto* model = qobject_cast<const AssetLevelModel*>(index.model());
        const QList<AssetLevelModel::Choice> choices = model ? model->choices(index.column()) : QList<AssetLevelModel::Choice>{};
        if (choices.isEmpty())
            return QStyledItemDelegate::createEditor(parent, option, index);
        auto* box = new QComboBox(parent);
        box->setEditable(model->takesTypedCode(index.column()));
        box->setInsertPolicy(QComboBox::NoInsert);
        for (const AssetLevelModel::Choice& choice : choices)
            box->addItem(choice.name, choice.code);
        return box;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        auto* box = qobject_cast<QComboBox*>(editor);
        if (!box)
            return QStyledItemDelegate::setEditorData(editor, index);
        const int at = box->findText(index.data(Qt::EditRole).toString());
        box->setCurrentIndex(at);
        if (at < 0 && box->isEditable())
            box->setEditText(QString());
        if (box->isEditable())
            box->lineEdit()->selectAll();
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        auto* box = qobject_cast<QComboBox*>(editor);
        if (!box)
            return QStyledItemDelegate::setModelData(editor, model, index);
        const int at = box->currentIndex();
        const QString text = box->currentText();
        if (at >= 0 && text == box->itemText(at)) {
            if (text != index.data(Qt::EditRole).toString())
                model->setData(index, box->itemData(at), AssetLevelModel::ChoiceRole);
        } else if (box->isEditable() && !text.trimmed().isEmpty()) {
            model->setData(index, text, Qt::EditRole);
        }
    }
};

QString figureText(Dataset& row, const QString& field)
{
    const DepreciationFigures f = depreciationFigures(depreciationInputsOf(row));
    if (field == u"FutuuSyoukyaku")
        return textformat::gridAmount(f.ordinary);
    if (field == u"SyoukyakuGoukei")
        return textformat::gridAmount(f.total);
    if (field == u"HonnenK")
        return textformat::gridAmount(f.expense);
    return textformat::gridAmount(f.endBalance);
}

} // namespace

AssetLevelModel::AssetLevelModel(Table& table, QList<Column> columns, QObject* parent)
    : QAbstractTableModel(parent), table_(table), columns_(std::move(columns))
{
}

void AssetLevelModel::reload()
{
    beginResetModel();
    ids_.clear();
    cells_.clear();
    choices_.clear();
    if (table_.isActive()) {
        // A table of its own walks the rows, so the shared one keeps its cursor and its edits.
        const QString folder = table_.databaseName();
        std::map<int, std::map<QString, QString>> names;
        for (int i = 0; i < columns_.size(); ++i) {
            if (columns_[i].choicesSql.isEmpty())
                continue;
            QList<Choice>& list = choices_[i];
            Query q(QStringLiteral("lookup"));
            q.setDatabaseName(folder);
            q.setSql(columns_[i].choicesSql);
            q.open();
            for (q.first(); !q.eof(); q.next()) {
                list.append({q.field(0).asString(), q.field(1).asString()});
                names[i][list.back().code] = list.back().name;
            }
            q.close();
        }
        Table walk(QStringLiteral("walk"));
        walk.setDatabaseName(folder);
        walk.setTableName(table_.tableName());
        walk.setFilter(table_.filter());
        walk.open();
        for (walk.first(); !walk.eof() && !walk.isEmpty(); walk.next()) {
            ids_ << walk.fieldByName(QStringLiteral("id")).asInteger();
            QStringList row;
            for (int i = 0; i < columns_.size(); ++i) {
                const Column& column = columns_[i];
                if (!column.codeField.isEmpty())
                    row << names[i][walk.fieldByName(column.codeField).asString()];
                else if (column.readOnly)
                    row << figureText(walk, column.field);
                else
                    row << QueryModel::displayText(walk.fieldByName(column.field).value());
            }
            cells_ << row;
        }
        walk.close();
        // A row being inserted is shown at the end, where it will be stored, so that its cells
        // can be typed into; it has no id until then.
        if (table_.state() == Dataset::State::Insert) {
            ids_ << 0;
            QStringList row;
            for (const Column& column : columns_)
                row << (column.readOnly && column.codeField.isEmpty()
                            ? figureText(table_, column.field)
                            : QueryModel::displayText(table_.fieldByName(column.field).value()));
            cells_ << row;
        }
    }
    endResetModel();
}

QList<AssetLevelModel::Choice> AssetLevelModel::choices(int column) const
{
    return choices_.value(column);
}

int AssetLevelModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(ids_.size());
}

int AssetLevelModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(columns_.size());
}

QVariant AssetLevelModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= cells_.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return cells_[index.row()].value(index.column());
    if (role == Qt::TextAlignmentRole)
        return QVariant(columns_[index.column()].alignment);
    return {};
}

QVariant AssetLevelModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::DisplayRole && orientation == Qt::Horizontal && section < columns_.size())
        return columns_[section].title;
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags AssetLevelModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && !columns_[index.column()].readOnly && !table_.booksReadOnly())
        f |= Qt::ItemIsEditable;
    return f;
}

bool AssetLevelModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if ((role != Qt::EditRole && role != ChoiceRole) || !index.isValid() || index.row() >= ids_.size())
        return false;
    const Column column = columns_[index.column()];
    const qint64 id = ids_[index.row()];
    committing_ = true;
    const struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{committing_};
    return guarded(qobject_cast<QWidget*>(QObject::parent()), [&] {
        if (id == 0 && table_.state() == Dataset::State::Insert) {
            // The row being inserted: its first cell stores it.
        } else {
            table_.checkBrowseMode();
            if (table_.fieldByName(QStringLiteral("id")).asInteger() != id)
                table_.locate(QStringLiteral("id"), id);
            table_.edit();
        }
        // A choice from a drop-down list is stored as its code, unchecked; a code typed into a
        // lookup column goes through the lookup field, and the data module refuses an unknown one.
        const QString text = value.toString().trimmed();
        const QString field = role == ChoiceRole ? column.codeField : column.field;
        if (text.isEmpty())
            table_.fieldByName(field).clear();
        else
            table_.fieldByName(field).setString(text);
        table_.post();
        // The grid is read again once the editor has closed; until then the cell shows what
        // was stored.
        cells_[index.row()][index.column()] = QueryModel::displayText(table_.fieldByName(column.field).value());
        emit dataChanged(index, index);
    });
}

Tkoteisisan::Tkoteisisan(Tdm01Keiri& dm, QWidget* owner) : QDialog(owner), dm_(dm)
{
    setObjectName(QStringLiteral("Tkoteisisan"));
    setWindowTitle(QStringLiteral("固定資産"));

    auto* outer = new QVBoxLayout(this);
    auto* bar = new QMenuBar(this);
    outer->setMenuBar(bar);
    QMenu* helpMenu = bar->addMenu(QStringLiteral("ﾍﾙﾌﾟ"));
    c_.help = helpMenu->addAction(QStringLiteral("ｻﾎﾟｰﾄｻｲﾄ"));
    connect(c_.help, &QAction::triggered, this, [this] { guarded(this, [&] { HelpClick(); }); });

    auto* top = new QHBoxLayout;
    c_.calculator = new QPushButton(QStringLiteral("電卓表示"), this);
    c_.calculator->setAutoDefault(false);
    connect(c_.calculator, &QPushButton::clicked, this, [this] { showCalculator(this); });
    c_.close = new QPushButton(QStringLiteral("閉じる"), this);
    c_.close->setAutoDefault(false);
    top->addWidget(c_.calculator);
    top->addStretch(1);
    top->addWidget(c_.close);
    outer->addLayout(top);

    using Col = AssetLevelModel::Column;
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    const Qt::Alignment leftAligned = Qt::AlignLeft | Qt::AlignVCenter;
    propertyModel_ = new AssetLevelModel(dm_.t02koteiA, {Col{QStringLiteral("対象"), QStringLiteral("name")}}, this);
    itemModel_ = new AssetLevelModel(dm_.t03koteiB,
                                     {Col{QStringLiteral("取得日"), QStringLiteral("dateB")},
                                      Col{QStringLiteral("区分"), QStringLiteral("KubunName"), false, leftAligned,
                                          QStringLiteral("kubun"), kCategoryChoices, true},
                                      Col{QStringLiteral("種別"), QStringLiteral("SyubetuName"), false, leftAligned,
                                          QStringLiteral("syubetu"), kKindChoices},
                                      Col{QStringLiteral("金額"), QStringLiteral("gaku"), false, right},
                                      Col{QStringLiteral("償却年数"), QStringLiteral("Tnen"), false, right},
                                      Col{QStringLiteral("償却開始"), QStringLiteral("Sdate")},
                                      Col{QStringLiteral("面積or数量"), QStringLiteral("Quantity"), false, right},
                                      Col{QStringLiteral("方法"), QStringLiteral("shouhouname"), false, Qt::AlignCenter,
                                          QStringLiteral("syukyakuH"), kMethodChoices}},
                                     this);
    yearModel_ = new AssetLevelModel(dm_.t04koteiC,
                                     {Col{QStringLiteral("償却日"), QStringLiteral("dateB")},
                                      Col{QStringLiteral("(ﾛ)期首残高"), QStringLiteral("zandakaK"), false, right},
                                      Col{QStringLiteral("(ﾊ)償却率"), QStringLiteral("SRate"), false, right},
                                      Col{QStringLiteral("(ﾆ)月数"), QStringLiteral("SMonth"), false, right},
                                      Col{QStringLiteral("(ﾎ)普通償却"), QStringLiteral("FutuuSyoukyaku"), true, right},
                                      Col{QStringLiteral("(ﾍ)割増"), QStringLiteral("warimashiS"), false, right},
                                      Col{QStringLiteral("(ﾄ)償却合計"), QStringLiteral("SyoukyakuGoukei"), true, right},
                                      Col{QStringLiteral("(ﾁ)割合"), QStringLiteral("kashitukeR"), false, right},
                                      Col{QStringLiteral("(ﾘ)経費参入"), QStringLiteral("HonnenK"), true, right},
                                      Col{QStringLiteral("(ﾇ)期末残高"), QStringLiteral("kimatuZan"), true, right},
                                      Col{QStringLiteral("適用"), QStringLiteral("tekiyou")},
                                      Col{QStringLiteral("syoukyakuF"), QStringLiteral("syoukyakuF")}},
                                     this);

    auto* upper = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("A：物件"), this));
    c_.properties = new DbNavigator(dm_.t02koteiA, this);
    c_.properties->setObjectName(QStringLiteral("DBNavigator1"));
    left->addWidget(c_.properties);
    c_.propertyGrid = new QTableView(this);
    left->addWidget(c_.propertyGrid, 1);
    upper->addLayout(left, 1);

    auto* rightSide = new QVBoxLayout;
    auto* location = new QHBoxLayout;
    location->addWidget(new QLabel(QStringLiteral("所在地："), this));
    location->addWidget(new QLabel(QStringLiteral("〒"), this));
    c_.post = new DbEdit(dm_.t02koteiA, QStringLiteral("Post"), DbEdit::Kind::Text, this);
    c_.post->setCaption(QStringLiteral("〒"));
    c_.post->setMaximumWidth(90);
    location->addWidget(c_.post);
    location->addWidget(new QLabel(QStringLiteral("住所"), this));
    c_.address = new DbEdit(dm_.t02koteiA, QStringLiteral("address"), DbEdit::Kind::Text, this);
    c_.address->setCaption(QStringLiteral("住所"));
    location->addWidget(c_.address, 2);
    c_.tiban = new DbEdit(dm_.t02koteiA, QStringLiteral("tiban"), DbEdit::Kind::Text, this);
    c_.tiban->setCaption(QStringLiteral("所在地"));
    location->addWidget(c_.tiban, 1);
    rightSide->addLayout(location);
    auto* itemsHead = new QHBoxLayout;
    itemsHead->addWidget(new QLabel(QStringLiteral("B：物件内訳"), this));
    c_.items = new DbNavigator(dm_.t03koteiB, this);
    c_.items->setObjectName(QStringLiteral("DBNavigator2"));
    itemsHead->addWidget(c_.items);
    itemsHead->addStretch(1);
    rightSide->addLayout(itemsHead);
    c_.itemGrid = new QTableView(this);
    rightSide->addWidget(c_.itemGrid, 1);
    upper->addLayout(rightSide, 3);

    // The items and the yearly rows share the height, and the user may move the line between
    // them to give either more rows.
    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("itemsAndYears"));
    split->setChildrenCollapsible(false);
    auto* upperPart = new QWidget(split);
    upper->setContentsMargins(0, 0, 0, 0);
    upperPart->setLayout(upper);
    auto* lowerPart = new QWidget(split);
    auto* lower = new QVBoxLayout(lowerPart);
    lower->setContentsMargins(0, 0, 0, 0);
    split->addWidget(upperPart);
    split->addWidget(lowerPart);
    outer->addWidget(split, 1);

    auto* yearHead = new QHBoxLayout;
    c_.yearCaption = new QLabel(kYearCaption, this);
    yearHead->addWidget(c_.yearCaption);
    c_.yearRows = new DbNavigator(dm_.t04koteiC, this);
    c_.yearRows->setObjectName(QStringLiteral("DBNavigator3"));
    yearHead->addWidget(c_.yearRows);
    yearHead->addStretch(1);
    lower->addLayout(yearHead);
    c_.yearGrid = new QTableView(this);
    lower->addWidget(c_.yearGrid, 1);

    auto* panel = new QGroupBox(QStringLiteral("償却処理"), this);
    auto* panelRow = new QHBoxLayout(panel);
    panelRow->addWidget(new QLabel(QStringLiteral("対象年度の指定"), panel));
    c_.year = new QLineEdit(panel);
    c_.year->setReadOnly(true);
    c_.year->setMaximumWidth(60);
    panelRow->addWidget(c_.year);
    c_.yearControl = new HorizontalUpDown(panel);
    c_.yearControl->setObjectName(QStringLiteral("UpDown1"));
    c_.yearControl->setRange(1980, 2100);
    panelRow->addWidget(c_.yearControl);
    c_.targetStart = new QLineEdit(panel);
    c_.targetStart->setReadOnly(true);
    c_.targetEnd = new QLineEdit(panel);
    c_.targetEnd->setReadOnly(true);
    panelRow->addWidget(c_.targetStart);
    panelRow->addWidget(new QLabel(QStringLiteral("～"), panel));
    panelRow->addWidget(c_.targetEnd);
    panelRow->addWidget(new QLabel(QStringLiteral("対象："), panel));
    c_.target = new QLabel(panel);
    panelRow->addWidget(c_.target, 1);
    c_.individual = new QPushButton(QStringLiteral("個別処理"), panel);
    c_.list = new QPushButton(QStringLiteral("償却一覧"), panel);
    c_.individual->setAutoDefault(false);
    c_.list->setAutoDefault(false);
    panelRow->addWidget(c_.individual);
    panelRow->addWidget(c_.list);
    outer->addWidget(panel);

    setUpLevel(dm_.t02koteiA, c_.properties, c_.propertyGrid, propertyModel_);
    setUpLevel(dm_.t03koteiB, c_.items, c_.itemGrid, itemModel_);
    setUpLevel(dm_.t04koteiC, c_.yearRows, c_.yearGrid, yearModel_);

    connect(&dm_.t02koteiA, &Dataset::dataChanged, this, [this](int) { guarded(this, [&] { PropertyChange(); }); });
    connect(&dm_.t03koteiB, &Dataset::dataChanged, this, [this](int) { guarded(this, [&] { ItemChange(); }); });
    connect(c_.yearControl, &HorizontalUpDown::valueChanged, this,
            [this](int year) { guarded(this, [&] { YearControlClick(year); }); });
    connect(c_.individual, &QPushButton::clicked, this, [this] { guarded(this, [&] { IndividualClick(); }); });
    // The individual window finds or makes the year's row of the item and recalculates it.
    if (dm_.state().readOnly) {
        c_.individual->setEnabled(false);
        c_.individual->setToolTip(QStringLiteral("帳簿が読み取り専用のため、使えません。"));
    }
    connect(c_.list, &QPushButton::clicked, this, [this] { guarded(this, [&] { ListClick(); }); });
    connect(c_.close, &QPushButton::clicked, this, &QDialog::reject);

    resize(1180, 700);
}

Tkoteisisan::~Tkoteisisan()
{
    if (!closed_)
        FormClose();
}

void Tkoteisisan::setUpLevel(Table& table, DbNavigator* navigator, QTableView* grid, AssetLevelModel* model)
{
    const char* hints[] = {"最初のデータ", "前のデータ", "次のデータ", "最後のデータ", "データの追加",
                           "データの削除", "データの編集", "データの登録", "編集の取り消し", "再表示"};
    for (int i = 0; i < DbNavigator::ButtonCount; ++i)
        navigator->button(DbNavigator::Button(i))->setToolTip(QString::fromUtf8(hints[i]));
    grid->setModel(model);
    grid->setItemDelegate(new LookupDelegate(grid));
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                          | QAbstractItemView::AnyKeyPressed);

    connect(&table, &Dataset::dataChanged, this, [this, &table, grid, model](int field) {
        if (field < 0)
            followTable(table, grid, model);
    });
    connect(&table, &Dataset::stateChanged, this, [this, &table, grid, model] { followTable(table, grid, model); });
    connect(grid, &QTableView::clicked, this, [this, &table, model](const QModelIndex& index) {
        guarded(this, [&] {
            const qint64 id = model->idOfRow(index.row());
            if (id == 0 || !table.isActive())
                return;
            table.checkBrowseMode();
            if (table.fieldByName(QStringLiteral("id")).asInteger() != id)
                table.locate(QStringLiteral("id"), id);
        });
    });
    // Insert always appends: the new row goes to the end of the table, and its grid gets the
    // focus for typing.
    connect(navigator, &DbNavigator::actionDone, this, [grid](DbNavigator::Button which) {
        if (which == DbNavigator::Insert)
            grid->setFocus();
    });
}

// The grid follows the table: read again when the row moves or is saved, the current row
// selected. While a cell of the grid is being stored that waits until its editor has closed.
void Tkoteisisan::followTable(Table& table, QTableView* grid, AssetLevelModel* model)
{
    if (!shown_)
        return;
    if (model->committing()) {
        QTimer::singleShot(0, this, [this, &table, grid, model] { followTable(table, grid, model); });
        return;
    }
    // Reading the grid again forgets its current cell; the keyboard stays in the column it was in.
    const int column = std::max(0, grid->currentIndex().column());
    if (table.state() != Dataset::State::Edit) {
        model->reload();
        // Wide enough for their titles and texts, and for a date or an amount typed into an
        // empty grid.
        QHeaderView* header = grid->horizontalHeader();
        header->resizeSections(QHeaderView::ResizeToContents);
        const int least = grid->fontMetrics().horizontalAdvance(QStringLiteral("0000/00/00")) + 16;
        for (int i = 0; i < header->count(); ++i)
            header->resizeSection(i, std::max(header->sectionSize(i), least));
    }
    const qint64 id = table.isActive() && !table.isEmpty() ? table.fieldByName(QStringLiteral("id")).asInteger() : 0;
    const int row = model->rowOfId(id);
    if (row >= 0) {
        grid->selectRow(row);
        // The keyboard works on the row shown, in the column it was in: F2 or typing edits
        // that cell.
        grid->setCurrentIndex(model->index(row, column));
    } else {
        grid->clearSelection();
    }
}

void Tkoteisisan::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    guarded(this, [&] { FormShow(); });
}

void Tkoteisisan::done(int result)
{
    // A property, item or year row still being edited in its grid is asked about first.
    if (!closed_
        && !mayClose(*this, {&dm_.t02koteiA, &dm_.t03koteiB, &dm_.t04koteiC}, [this] {
               for (Table* table : {&dm_.t02koteiA, &dm_.t03koteiB, &dm_.t04koteiC})
                   if (table->isActive() && table->state() != Dataset::State::Browse)
                       table->post();
           }))
        return;
    if (!closed_)
        guarded(this, [&] { FormClose(); });
    QDialog::done(result);
}

void Tkoteisisan::FormShow()
{
    dm_.t02koteiA.open();
    dm_.t03koteiB.open();
    dm_.t04koteiC.open();
    dm_.q12kkubun.open();
    dm_.q11ksyubetu.open();
    const ProgramState& state = dm_.state();
    periods_ = depreciationPeriodsFor(FiscalPeriod{state.periodStart, state.periodEnd});
    {
        const QSignalBlocker block(c_.yearControl);
        c_.yearControl->setValue(periods_.target.start.year());
    }
    showPeriods();
    propertyModel_->reload();
    PropertyChange();
    itemModel_->reload();
    ItemChange();
    yearModel_->reload();
}

void Tkoteisisan::FormClose()
{
    closed_ = true;
    dm_.t02koteiA.close();
    dm_.t03koteiB.close();
    dm_.t04koteiC.close();
    dm_.q12kkubun.close();
    dm_.q11ksyubetu.close();
}

void Tkoteisisan::showPeriods()
{
    c_.year->setText(QString::number(periods_.target.start.year()));
    c_.targetStart->setText(dayText(periods_.target.start));
    c_.targetEnd->setText(dayText(periods_.target.end));
}

void Tkoteisisan::PropertyChange()
{
    Table& a = dm_.t02koteiA;
    if (!a.isActive())
        return;
    ProgramState& state = dm_.state();
    state.currentPropertyId = a.isEmpty() ? 0 : int(a.fieldByName(QStringLiteral("id")).asInteger());
    CurrentPropertyName = a.fieldByName(QStringLiteral("name")).asString();
    FilterItemsByProperty(state.currentPropertyId);
}

void Tkoteisisan::ItemChange()
{
    Table& b = dm_.t03koteiB;
    if (!b.isActive())
        return;
    ProgramState& state = dm_.state();
    state.currentItemId = b.isEmpty() ? 0 : int(b.fieldByName(QStringLiteral("id")).asInteger());
    CurrentItemCaption = dayText(b.fieldByName(QStringLiteral("dateB")).asDate()) + u' '
                         + b.fieldByName(QStringLiteral("KubunName")).asString()
                         + b.fieldByName(QStringLiteral("SyubetuName")).asString();
    // With no item there is nothing to describe: the caption keeps its title.
    c_.yearCaption->setText(b.isEmpty() ? kYearCaption
                                        : QStringLiteral("c:") + CurrentPropertyName + u' ' + CurrentItemCaption
                                              + QStringLiteral("償却状況"));
    c_.target->setText(CurrentPropertyName + u' ' + CurrentItemCaption);
    FilterYearRowsByItem(state.currentItemId);
}

void Tkoteisisan::FilterItemsByProperty(int id)
{
    // Without a stored property the items keep the filter they had.
    if (id > 0)
        dm_.t03koteiB.setFilter(QStringLiteral("AID=") + QString::number(id));
}

void Tkoteisisan::FilterYearRowsByItem(int id)
{
    if (id > 0)
        dm_.t04koteiC.setFilter(QStringLiteral("BID=") + QString::number(id));
}

void Tkoteisisan::YearControlClick(int year)
{
    periods_ = depreciationPeriodsForYear(periods_, year);
    showPeriods();
}

void Tkoteisisan::IndividualClick()
{
    Table& c = dm_.t04koteiC;
    c.checkBrowseMode();
    // A year's row of no item would be kept by no one.
    if (dm_.state().currentItemId <= 0) {
        prompter().information(this, Tdm01Keiri::kYearRowWithoutItem);
        return;
    }
    const YearRowStart start = prepareYearRow(*c.database(), dm_.state().currentItemId, periods_);
    c.disableControls();
    try {
        c.refresh();
        c.locate(QStringLiteral("id"), start.rowId);
    } catch (...) {
        c.enableControls();
        throw;
    }
    c.enableControls();
    yearModel_->reload();
    if (const int row = yearModel_->rowOfId(start.rowId); row >= 0)
        c_.yearGrid->selectRow(row);
    TfKobetu dialog(dm_, CurrentPropertyName, start.previousRate, start.previousEndBalance, this);
    dialog.exec();
    yearModel_->reload();
    if (const int row = yearModel_->rowOfId(start.rowId); row >= 0)
        c_.yearGrid->selectRow(row);
}

void Tkoteisisan::ListClick()
{
    printDepreciationList(dm_, periods_.target, QDate::currentDate(), this);
}

void Tkoteisisan::HelpClick()
{
    showHelp(this, QStringLiteral("Tkoteisisan"));
}

} // namespace tolva
