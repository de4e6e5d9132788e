#include "aids/tcalcul.h"

#include "ui/actionguard.h"
#include "ui/help.h"
#include "ui/prompter.h"

#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tolva {

namespace {

// The keys as laid out, row by row; an empty caption leaves the place free.
const char* const kLayout[5][5] = {
    {"MC", "MR", "M-", "M+", "ｺﾋﾟｰ"},
    {"7", "8", "9", "÷", "C"},
    {"4", "5", "6", "×", "CE"},
    {"1", "2", "3", "－", ""},
    {"0", "", "＝", "＋", ""},
};

QLineEdit* displayBox(QWidget* parent, int pointSize)
{
    auto* box = new QLineEdit(QStringLiteral("0"), parent);
    box->setReadOnly(true);
    box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    box->setFocusPolicy(Qt::NoFocus);
    QFont font = box->font();
    font.setPointSize(pointSize);
    box->setFont(font);
    return box;
}

// Backspace has no key on the window; it reaches press() under this name.
const QString kBackspace = QStringLiteral("Backspace");

} // namespace

TCalcul::TCalcul(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("TCalcul"));
    setWindowTitle(QStringLiteral("電卓"));

    auto* outer = new QVBoxLayout(this);
    auto* bar = new QMenuBar(this);
    outer->setMenuBar(bar);
    QMenu* helpMenu = bar->addMenu(QStringLiteral("ﾍﾙﾌﾟ"));
    c_.help = helpMenu->addAction(QStringLiteral("ｻﾎﾟｰﾄｻｲﾄ"));
    connect(c_.help, &QAction::triggered, this, [this] { guarded(this, [&] { HelpClick(); }); });

    c_.display = displayBox(this, 16);
    c_.display->setObjectName(QStringLiteral("display"));
    outer->addWidget(c_.display);
    auto* memoryLine = new QHBoxLayout;
    memoryLine->addWidget(new QLabel(QStringLiteral("MR："), this));
    c_.memory = displayBox(this, 10);
    c_.memory->setObjectName(QStringLiteral("memory"));
    memoryLine->addWidget(c_.memory, 1);
    outer->addLayout(memoryLine);

    auto* keys = new QGridLayout;
    for (int row = 0; row < 5; ++row) {
        for (int column = 0; column < 5; ++column) {
            const QString caption = QString::fromUtf8(kLayout[row][column]);
            if (caption.isEmpty())
                continue;
            auto* key = new QPushButton(caption, this);
            key->setAutoDefault(false);
            key->setFocusPolicy(Qt::NoFocus);  // the keyboard goes to the window, not a key
            key->setMinimumSize(48, 36);
            // "0" spans two places, as on a desk calculator.
            const int span = caption == u"0" ? 2 : 1;
            keys->addWidget(key, row, column, 1, span);
            c_.keys.insert(caption, key);
            connect(key, &QPushButton::clicked, this, [this, caption] { press(caption); });
        }
    }
    outer->addLayout(keys);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    c_.close = new QPushButton(QStringLiteral("閉じる"), this);
    c_.close->setAutoDefault(false);
    c_.close->setFocusPolicy(Qt::NoFocus);
    bottom->addWidget(c_.close);
    outer->addLayout(bottom);
    connect(c_.close, &QPushButton::clicked, this, &QDialog::accept);

    setFocusPolicy(Qt::StrongFocus);
}

void TCalcul::press(const QString& key)
{
    guarded(this, [&] {
        if (key.size() == 1 && key[0].isDigit()) {
            calc_.digit(key[0].digitValue());
        } else if (key == u"＋") {
            calc_.plus();
        } else if (key == u"－") {
            calc_.minus();
        } else if (key == u"×") {
            calc_.times();
        } else if (key == u"÷") {
            calc_.divide();
        } else if (key == u"＝") {
            const QString message = calc_.equals();
            if (!message.isEmpty())
                prompter().information(this, message);
        } else if (key == kBackspace) {
        calc_.backspace();
    } else if (key == u"C") {
            calc_.clear();
        } else if (key == u"CE") {
            calc_.clearEntry();
        } else if (key == u"M+") {
            calc_.memoryPlus();
        } else if (key == u"M-") {
            calc_.memoryMinus();
        } else if (key == u"MR") {
            calc_.memoryRecall();
        } else if (key == u"MC") {
            calc_.memoryClear();
        } else if (key == u"ｺﾋﾟｰ") {
            prompter().setClipboardText(calc_.copyText());
        }
        showDisplays();
    });
}

void TCalcul::showDisplays()
{
    c_.display->setText(calc_.display());
    c_.memory->setText(calc_.memory());
}

void TCalcul::keyPressEvent(QKeyEvent* event)
{
    // The keys of a desk calculator on the keyboard: digits (the number pad's too), + - * /,
    // Enter or = for "＝", Backspace takes back the last digit, Delete clears the display
    // ("C") and Escape clears it with the running sum ("CE"), Ctrl+C for "ｺﾋﾟｰ". Escape
    // clears rather than closes, as on other calculators; the close button closes.
    if (event->matches(QKeySequence::Copy)) {
        press(QStringLiteral("ｺﾋﾟｰ"));
        return;
    }
    const int key = event->key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        press(QString(QChar(u'0' + (key - Qt::Key_0))));
        return;
    }
    QString caption;
    switch (key) {
    case Qt::Key_Plus: caption = QStringLiteral("＋"); break;
    case Qt::Key_Minus: caption = QStringLiteral("－"); break;
    case Qt::Key_Asterisk: caption = QStringLiteral("×"); break;
    case Qt::Key_Slash: caption = QStringLiteral("÷"); break;
    case Qt::Key_Equal:
    case Qt::Key_Return:
    case Qt::Key_Enter: caption = QStringLiteral("＝"); break;
    case Qt::Key_Delete: caption = QStringLiteral("C"); break;
    case Qt::Key_Escape: caption = QStringLiteral("CE"); break;
    case Qt::Key_Backspace: caption = kBackspace; break;
    default: break;
    }
    if (caption.isEmpty()) {
        QDialog::keyPressEvent(event);
        return;
    }
    press(caption);
}

void TCalcul::HelpClick()
{
    showHelp(this, QStringLiteral("TCalcul"));
}

void showCalculator(QWidget* owner)
{
    TCalcul calculator(owner);
    calculator.exec();
}

} // namespace tolva
