#pragma once

#include "assets/depreciationperiod.h"
#include "ui/dbcontrols.h"
#include "ui/updown.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QHash>

class QAction;
class QLabel;
class QPushButton;
class QTableView;

namespace tolva {

class Table;
class Tdm01Keiri;

// The current property's name and the current item's caption, as the register last showed
// them; they outlive the window.
extern QString CurrentPropertyName;
extern QString CurrentItemCaption;

// One level of the register as a grid: the rows of its table that pass the table's filter,
// read again whenever the table moves or is saved. Editing goes through the table's own
// row, so the data module's checks and defaults hold for the grid too.
class AssetLevelModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Column {
        QString title;
        QString field;
        bool readOnly = false;
        Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
        // A lookup column shows a name and stores a code: the field it stores into and the
        // statement giving the choices as (code, name) in the order of its drop-down list.
        QString codeField = {};
        QString choicesSql = {};
        // Text typed into the cell is taken as a code through the lookup field.
        bool typedCode = false;
    };
    // The role a drop-down choice is stored with: the value is the code, set as it is.
    static constexpr int ChoiceRole = Qt::UserRole + 1;
    struct Choice {
        QString code;
        QString name;
    };
    AssetLevelModel(Table& table, QList<Column> columns, QObject* parent = nullptr);

    // Reads the rows again, from the table with its filter.
    void reload();
    [[nodiscard]] int rowOfId(qint64 id) const { return int(ids_.indexOf(id)); }
    [[nodiscard]] qint64 idOfRow(int row) const { return row >= 0 && row < ids_.size() ? ids_[row] : 0; }
    // The choices of a lookup column (empty for any other), as read by the last reload.
    [[nodiscard]] QList<Choice> choices(int column) const;
    [[nodiscard]] bool takesTypedCode(int column) const { return column >= 0 && column < columns_.size() && columns_[column].typedCode; }
    // A cell's text is being stored: the grid's editor is still open and must not be reset.
    [[nodiscard]] bool committing() const { return committing_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    Table& table_;
    QList<Column> columns_;
    QVector<qint64> ids_;
    QVector<QStringList> cells_;
    QHash<int, QList<Choice>> choices_;
    bool committing_ = false;
};

// "固定資産": properties (KoteiA), the items of the current property (KoteiB) and the yearly
// rows of the current item (KoteiC), with the target year of depreciation.
class Tkoteisisan : public QDialog {
    Q_OBJECT
public:
    explicit Tkoteisisan(Tdm01Keiri& dm, QWidget* owner = nullptr);
    ~Tkoteisisan() override;

    // The handlers, public so that tests can drive the window as a user would.
    void FormShow();
    void FormClose();
    void PropertyChange();
    void ItemChange();
    void FilterItemsByProperty(int id);
    void FilterYearRowsByItem(int id);
    void YearControlClick(int year);
    void IndividualClick();  // 個別処理
    void ListClick();        // 償却一覧
    void HelpClick();        // ｻﾎﾟｰﾄｻｲﾄ

    [[nodiscard]] const DepreciationPeriods& periods() const { return periods_; }

    struct Controls {
        QPushButton* calculator = nullptr;
        QPushButton* close = nullptr;
        DbNavigator* properties = nullptr;
        DbNavigator* items = nullptr;
        DbNavigator* yearRows = nullptr;
        QTableView* propertyGrid = nullptr;
        QTableView* itemGrid = nullptr;
        QTableView* yearGrid = nullptr;
        DbEdit* post = nullptr;
        DbEdit* address = nullptr;
        DbEdit* tiban = nullptr;
        QLabel* yearCaption = nullptr;
        QLineEdit* year = nullptr;
        HorizontalUpDown* yearControl = nullptr;
        QLineEdit* targetStart = nullptr;
        QLineEdit* targetEnd = nullptr;
        QLabel* target = nullptr;
        QPushButton* individual = nullptr;
        QPushButton* list = nullptr;
        QAction* help = nullptr;
    };
    [[nodiscard]] const Controls& controls() const { return c_; }

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void setUpLevel(Table& table, DbNavigator* navigator, QTableView* grid, AssetLevelModel* model);
    void followTable(Table& table, QTableView* grid, AssetLevelModel* model);
    void showPeriods();

    Tdm01Keiri& dm_;
    Controls c_;
    AssetLevelModel* propertyModel_ = nullptr;
    AssetLevelModel* itemModel_ = nullptr;
    AssetLevelModel* yearModel_ = nullptr;
    DepreciationPeriods periods_;
    bool shown_ = false;
    bool closed_ = false;
};

} // namespace tolva
