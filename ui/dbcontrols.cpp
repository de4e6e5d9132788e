#include "ui/dbcontrols.h"

#include "db/dataset.h"
#include "db/textformat.h"
#include "ui/actionguard.h"
#include "ui/prompter.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace tolva {

// --- DbEdit ----------------------------------------------------------------------------

namespace {

// Tells of every widget about to receive the focus, anywhere in the program.
class FocusArrivals : public QObject {
public:
    explicit FocusArrivals(QObject* parent) : QObject(parent) { qApp->installEventFilter(this); }
    std::function<void(QWidget*)> arrived;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FocusIn && watched->isWidgetType() && arrived)
            arrived(static_cast<QWidget*>(watched));
        return false;
    }
};

} // namespace

DbEdit::DbEdit(Dataset& dataset, QString field, Kind kind, QWidget* parent)
    : QLineEdit(parent), dataset_(dataset), field_(std::move(field)), kind_(kind)
{
    if (kind_ == Kind::Amount)
        setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(&dataset_, &Dataset::dataChanged, this, [this](int index) {
        if (applying_)
            return;
        if (index < 0 || (dataset_.isActive() && index == dataset_.fieldIndex(field_)))
            refreshFromField();
    });
    connect(&dataset_, &Dataset::stateChanged, this, [this] {
        if (!applying_)
            refreshFromField();
    });
    dataset_.addUpdateHook(this, [this] { applyTextOrThrow(); });
    connect(this, &QLineEdit::textEdited, this, [this] {
        refused_ = false;
        keepEnterable();
        onEdited();
    });
    refreshFromField();
}

void DbEdit::keepEnterable()
{
    // Pasted text may hold tabs, line breaks or NUL, and may be longer than the books keep:
    // what the box shows is what will be stored, and a cut is never silent.
    QString text = textformat::withoutControlCharacters(this->text());
    bool cut = false;
    if (maxCharacters_ > 0 && text.size() > maxCharacters_) {
        text.truncate(maxCharacters_);
        cut = true;
    }
    if (text != this->text()) {
        const int cursor = qMin(cursorPosition(), int(text.size()));
        setText(text);
        setCursorPosition(cursor);
    }
    if (cut)
        prompter().information(this, QStringLiteral("%1は %2 文字までです。超えた部分は入力されませんでした。")
                                         .arg(caption_.isEmpty() ? QStringLiteral("この項目") : caption_)
                                         .arg(maxCharacters_));
}

QString DbEdit::fieldText(bool forEditing) const
{
    if (!dataset_.isActive())
        return {};
    const auto field = const_cast<Dataset&>(dataset_).findField(field_);
    if (!field || field->isNull())
        return {};
    switch (kind_) {
    case Kind::Amount:
        return forEditing ? textformat::plainAmount(field->asMoney()) : textformat::currency(field->asMoney());
    case Kind::Date:
        return textformat::shortDate(field->asDate());
    case Kind::Text:
        break;
    }
    return field->asString();
}

void DbEdit::refreshFromField()
{
    dirty_ = false;
    refused_ = false;
    // Books opened for reading: the box shows, and is never typed into.
    if (dataset_.booksReadOnly())
        setReadOnly(true);
    setText(fieldText(hasFocus()));
}

void DbEdit::setTypedText(const QString& text)
{
    setText(text);
    dirty_ = false;
    onEdited();
}

void DbEdit::onEdited()
{
    if (dirty_ || isReadOnly())
        return;
    // Putting the row into edit mode notifies every bound control, this one included; the
    // text being typed must survive that.
    const bool ok = guarded(this, [this] {
        if (dataset_.state() == Dataset::State::Browse) {
            const QString typed = text();
            const int cursor = cursorPosition();
            applying_ = true;
            struct Reset {
                bool& flag;
                ~Reset() { flag = false; }
            } reset{applying_};
            dataset_.edit();
            setText(typed);
            setCursorPosition(cursor);
        }
    });
    if (!ok || dataset_.state() == Dataset::State::Browse || !dataset_.isActive()) {
        refreshFromField();
        return;
    }
    dirty_ = true;
}

void DbEdit::applyTextOrThrow()
{
    if (!dirty_ || !dataset_.isActive() || dataset_.state() == Dataset::State::Browse)
        return;
    struct Applying {
        bool& flag;
        explicit Applying(bool& f) : flag(f) { flag = true; }
        ~Applying() { flag = false; }
    } applying(applying_);
    auto field = dataset_.fieldByName(field_);
    const QString typed = text().trimmed();
    const QString shownName = caption_.isEmpty() ? field_ : caption_;
    auto refuse = [&](const QString& message) {
        refused_ = true;
        throw StoreError(message);
    };
    if (typed.isEmpty() && kind_ != Kind::Text) {
        field.clear();
    } else if (kind_ == Kind::Amount) {
        const textformat::AmountEntry entry = textformat::parseAmountEntry(typed);
        if (entry.error == textformat::AmountEntryError::NotANumber)
            refuse(notANumberMessage_.isEmpty() ? QStringLiteral("「%1」は%2として正しくありません。").arg(typed, shownName)
                                                : notANumberMessage_);
        if (!entry.amount)
            refuse(QStringLiteral("%1「%2」: %3").arg(shownName, typed, textformat::amountEntryProblem(entry.error)));
        field.setMoney(*entry.amount);
    } else if (kind_ == Kind::Date) {
        const auto date = textformat::parseDateEntry(typed);
        if (!date)
            refuse(QStringLiteral("「%1」は%2として正しくありません。\n日付は 2024/04/01 の形で、%3年から%4年までの日付を入力してください。")
                       .arg(typed, shownName)
                       .arg(textformat::kFirstEntryYear)
                       .arg(textformat::kLastEntryYear));
        field.setDate(*date);
    } else {
        QString clean = textformat::withoutControlCharacters(typed);
        if (maxCharacters_ > 0 && clean.size() > maxCharacters_)
            refuse(QStringLiteral("%1は %2 文字までです。").arg(shownName).arg(maxCharacters_));
        field.setString(clean);
    }
    dirty_ = false;
    refused_ = false;
}

bool DbEdit::applyText()
{
    return guarded(this, [this] { applyTextOrThrow(); });
}

void DbEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    if (!dirty_)
        setText(fieldText(true));
}

void DbEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // A menu, a message or another application takes the focus only for a while: the text is
    // still being typed, and checking it now would put a message in front of whatever the
    // user went to. So does the menu bar, when a menu is opened by Alt or closed with Escape.
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason || reason == Qt::MenuBarFocusReason
        || qobject_cast<QMenuBar*>(QApplication::focusWidget())) {
        if (dirty_ && !awayWithText_) {
            // Watched until the focus comes back to the box or to another control of the
            // window. The menu bar keeps the focus after a menu is closed with Escape, and is
            // no such control. The text is judged before that control hears of its focus, as
            // when the focus goes there straight from the box.
            awayWithText_ = true;
            auto* arrivals = new FocusArrivals(this);
            arrivals->arrived = [this, arrivals](QWidget* now) {
                if (now != this
                    && (now->window() != window() || qobject_cast<QMenuBar*>(now) || qobject_cast<QMenu*>(now)))
                    return;
                qApp->removeEventFilter(arrivals);
                arrivals->deleteLater();
                awayWithText_ = false;
                if (now != this)
                    leaveBox();
            };
        }
        return;
    }
    leaveBox();
}

void DbEdit::leaveBox()
{
    if (dirty_ && !applyText())
        return;
    setText(fieldText(false));
}

// --- DbLookupCombo ---------------------------------------------------------------------

DbLookupCombo::DbLookupCombo(Dataset& dataset, QString field, Query& list, QString keyField, QString listField,
                             QWidget* parent)
    : QComboBox(parent), dataset_(dataset), field_(std::move(field)), list_(list), keyField_(std::move(keyField)),
      listField_(std::move(listField))
{
    setMaxVisibleItems(20);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    connect(&list_, &Dataset::opened, this, &DbLookupCombo::reloadList);
    connect(&list_, &Dataset::closed, this, &DbLookupCombo::reloadList);
    connect(&dataset_, &Dataset::dataChanged, this, [this](int index) {
        if (index < 0 || (dataset_.isActive() && index == dataset_.fieldIndex(field_)))
            refreshFromField();
    });
    connect(&dataset_, &Dataset::stateChanged, this, &DbLookupCombo::refreshFromField);
    connect(this, &QComboBox::activated, this, &DbLookupCombo::onActivated);
    reloadList();
}

void DbLookupCombo::reloadList()
{
    updating_ = true;
    clear();
    if (list_.isActive()) {
        const int key = list_.fieldIndex(keyField_);
        const int shown = list_.fieldIndex(listField_);
        if (key >= 0 && shown >= 0) {
            const int rows = list_.fetchUntil(std::numeric_limits<int>::max());
            for (int i = 0; i < rows; ++i) {
                const QVector<QVariant>& row = list_.rowAt(i);
                addItem(row.at(shown).toString(), row.at(key));
            }
        }
    }
    updating_ = false;
    refreshFromField();
}

void DbLookupCombo::refreshFromField()
{
    if (dataset_.booksReadOnly())
        setEnabled(false);
    updating_ = true;
    int index = -1;
    if (dataset_.isActive()) {
        if (const auto field = dataset_.findField(field_); field && !field->isNull()) {
            const QString key = field->asString();
            for (int i = 0; i < count(); ++i) {
                if (itemData(i).toString() == key) {
                    index = i;
                    break;
                }
            }
        }
    }
    setCurrentIndex(index);
    updating_ = false;
}

void DbLookupCombo::choose(const QVariant& key)
{
    for (int i = 0; i < count(); ++i) {
        if (itemData(i).toString() == key.toString()) {
            setCurrentIndex(i);
            onActivated(i);
            return;
        }
    }
}

void DbLookupCombo::onActivated(int index)
{
    if (updating_ || index < 0)
        return;
    const QVariant key = itemData(index);
    const bool ok = guarded(this, [&] {
        if (dataset_.state() == Dataset::State::Browse)
            dataset_.edit();
        dataset_.fieldByName(field_).setValue(key);
    });
    if (!ok) {
        refreshFromField();
        return;
    }
    guarded(this, [&] { emit closeUp(key); });
}

// --- DbComboBox ------------------------------------------------------------------------

DbComboBox::DbComboBox(Dataset& dataset, QString field, const QList<Item>& items, QWidget* parent)
    : QComboBox(parent), dataset_(dataset), field_(std::move(field))
{
    setEditable(false);
    for (const Item& item : items)
        addItem(item.caption, item.value);
    connect(&dataset_, &Dataset::dataChanged, this, [this](int index) {
        if (index < 0 || (dataset_.isActive() && index == dataset_.fieldIndex(field_)))
            refreshFromField();
    });
    connect(&dataset_, &Dataset::stateChanged, this, &DbComboBox::refreshFromField);
    connect(this, &QComboBox::activated, this, &DbComboBox::onActivated);
    refreshFromField();
}

void DbComboBox::refreshFromField()
{
    if (dataset_.booksReadOnly())
        setEnabled(false);
    updating_ = true;
    int index = -1;
    if (dataset_.isActive()) {
        // The items' values may be numbers: the field's text is compared with their text.
        if (const auto field = dataset_.findField(field_); field && !field->isNull()) {
            const QString value = field->asString();
            for (int i = 0; i < count() && index < 0; ++i) {
                if (itemData(i).toString() == value)
                    index = i;
            }
        }
    }
    setCurrentIndex(index);
    updating_ = false;
}

void DbComboBox::choose(const QVariant& value)
{
    for (int i = 0; i < count(); ++i) {
        if (itemData(i).toString() == value.toString()) {
            setCurrentIndex(i);
            onActivated(i);
            return;
        }
    }
}

void DbComboBox::onActivated(int index)
{
    if (updating_ || index < 0)
        return;
    const QVariant value = itemData(index);
    const bool ok = guarded(this, [&] {
        if (dataset_.state() == Dataset::State::Browse)
            dataset_.edit();
        dataset_.fieldByName(field_).setValue(value);
    });
    if (!ok)
        refreshFromField();
}

// --- DbRadioGroup ----------------------------------------------------------------------

DbRadioGroup::DbRadioGroup(Dataset& dataset, QString field, const QString& title, const QList<Item>& items,
                           QWidget* parent)
    : QGroupBox(title, parent), dataset_(dataset), field_(std::move(field)), items_(items)
{
    auto* layout = new QVBoxLayout(this);
    group_ = new QButtonGroup(this);
    for (int i = 0; i < items_.size(); ++i) {
        auto* button = new QRadioButton(items_[i].caption, this);
        layout->addWidget(button);
        group_->addButton(button, i);
        buttons_ << button;
    }
    connect(group_, &QButtonGroup::idClicked, this, &DbRadioGroup::onClicked);
    connect(&dataset_, &Dataset::dataChanged, this, [this](int index) {
        if (index < 0 || (dataset_.isActive() && index == dataset_.fieldIndex(field_)))
            refreshFromField();
    });
    connect(&dataset_, &Dataset::stateChanged, this, &DbRadioGroup::refreshFromField);
    refreshFromField();
}

QRadioButton* DbRadioGroup::button(int index) const
{
    return buttons_.value(index);
}

int DbRadioGroup::chosenIndex() const
{
    return group_->checkedId();
}

void DbRadioGroup::refreshFromField()
{
    if (dataset_.booksReadOnly())
        setEnabled(false);
    int index = -1;
    if (dataset_.isActive()) {
        if (const auto field = dataset_.findField(field_); field && !field->isNull()) {
            const QString value = field->asString();
            for (int i = 0; i < items_.size(); ++i) {
                if (items_[i].value == value)
                    index = i;
            }
        }
    }
    if (index >= 0) {
        buttons_[index]->setChecked(true);
        return;
    }
    // An exclusive group keeps one button checked; none is shown by lifting that for a moment.
    group_->setExclusive(false);
    for (QRadioButton* button : std::as_const(buttons_))
        button->setChecked(false);
    group_->setExclusive(true);
}

void DbRadioGroup::onClicked(int index)
{
    const bool ok = guarded(this, [&] {
        if (dataset_.state() == Dataset::State::Browse)
            dataset_.edit();
        dataset_.fieldByName(field_).setValue(items_.at(index).value);
    });
    if (!ok)
        refreshFromField();
}

// --- DbNavigator -----------------------------------------------------------------------

DbNavigator::DbNavigator(Dataset& dataset, QWidget* parent) : QWidget(parent), dataset_(dataset)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    struct Face {
        const char* text;
        const char* hint;
    };
    static const Face faces[ButtonCount] = {
        {"|◀", "先頭レコード"},     {"◀", "前のレコード"},     {"▶", "次のレコード"},       {"▶|", "最終レコード"},
        {"＋", "レコードの挿入"},   {"－", "レコードの削除"},   {"▲", "レコードの編集"},     {"✓", "編集結果の保存"},
        {"✕", "編集のキャンセル"}, {"↻", "データの再表示"},
    };
    for (int i = 0; i < ButtonCount; ++i) {
        auto* b = new QToolButton(this);
        b->setText(QString::fromUtf8(faces[i].text));
        b->setToolTip(QString::fromUtf8(faces[i].hint));
        b->setStatusTip(QString::fromUtf8(faces[i].hint));
        b->setAccessibleName(QString::fromUtf8(faces[i].hint));
        b->setMinimumSize(30, 26);
        layout->addWidget(b);
        buttons_[i] = b;
        connect(b, &QToolButton::clicked, this, [this, i] { click(Button(i)); });
    }
    connect(&dataset_, &Dataset::dataChanged, this, &DbNavigator::updateButtons);
    connect(&dataset_, &Dataset::stateChanged, this, &DbNavigator::updateButtons);
    updateButtons();
}

void DbNavigator::click(Button which)
{
    bool done = false;
    guarded(this, [&] {
        // A check that refuses the delete comes before the question, not after a "Yes".
        if (beforeAction)
            beforeAction(which);
        if (which == Delete) {
            const QString question = deleteQuestion ? deleteQuestion() : QStringLiteral("レコードを削除してもよいですか？");
            if (!prompter().confirm(this, question))
                return;
        }
        switch (which) {
        case First: dataset_.first(); break;
        case Prior: dataset_.prior(); break;
        case Next: dataset_.next(); break;
        case Last: dataset_.last(); break;
        case Insert: dataset_.append(); break;
        case Delete: dataset_.remove(); break;
        case Edit: dataset_.edit(); break;
        case Post: dataset_.post(); break;
        case Cancel: dataset_.cancel(); break;
        case Refresh: dataset_.refresh(); break;
        case ButtonCount: break;
        }
        done = true;
    });
    updateButtons();
    if (done)
        guarded(this, [&] { emit actionDone(which); });
}

void DbNavigator::showOnly(std::initializer_list<Button> which)
{
    for (int i = 0; i < ButtonCount; ++i)
        buttons_[i]->setVisible(std::find(which.begin(), which.end(), Button(i)) != which.end());
}

void DbNavigator::updateButtons()
{
    const bool active = dataset_.isActive();
    const bool browsing = active && dataset_.state() == Dataset::State::Browse;
    const bool editing = active && !browsing;
    const bool empty = !active || dataset_.isEmpty();
    // Books opened for reading are moved through, never changed.
    const bool writable = !dataset_.booksReadOnly();
    buttons_[First]->setEnabled(active && !empty && (editing || !dataset_.bof()));
    buttons_[Prior]->setEnabled(active && !empty && (editing || !dataset_.bof()));
    buttons_[Next]->setEnabled(active && !empty && (editing || !dataset_.eof()));
    buttons_[Last]->setEnabled(active && !empty && (editing || !dataset_.eof()));
    buttons_[Insert]->setEnabled(active && writable);
    buttons_[Delete]->setEnabled(active && writable && (!empty || editing));
    buttons_[Edit]->setEnabled(browsing && writable);
    buttons_[Post]->setEnabled(editing && writable);
    buttons_[Cancel]->setEnabled(editing && writable);
    buttons_[Refresh]->setEnabled(active);
}

} // namespace tolva
