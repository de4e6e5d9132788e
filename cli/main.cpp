// tolva-cli: the books of a data folder from the command line, through the same core routines
// as the windows.
#include "cli/output.h"
#include "cli/verbs.h"
#include "db/cancellation.h"
#include "db/largeblocks.h"
#include "db/storeerror.h"

#include <QCoreApplication>
#include <QLocale>

#include <csignal>
#include <exception>

using namespace tolva;
using namespace tolva::cli;

namespace {

const QString kProgram = QStringLiteral("tolva-cli");

QString synopsis(const Verb& verb)
{
    QString text = kProgram + u' ' + verb.words.join(u' ');
    if (!verb.arguments.isEmpty())
        text += u' ' + verb.arguments;
    return text;
}

QString optionText(const QList<OptionSpec>& options)
{
    TextTable table({{}, {}});
    for (const OptionSpec& option : options) {
        QStringList names;
        for (const QString& name : option.names)
            names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        QString left = names.join(QStringLiteral(", "));
        if (!option.valueName.isEmpty())
            left += u' ' + option.valueName;
        table.addRow({QStringLiteral("  ") + left, option.description});
    }
    // The table without its title and rule.
    return table.render().section(u'\n', 2);
}

QString verbsText(const QString& firstWord = {})
{
    TextTable table({{}, {}});
    for (const Verb& verb : verbs()) {
        if (firstWord.isEmpty() || verb.words.first() == firstWord)
            table.addRow({QStringLiteral("  ") + verb.words.join(u' ') + (verb.arguments.isEmpty() ? QString() : u' ' + verb.arguments),
                          verb.summary});
    }
    return table.render().section(u'\n', 2);
}

QString programHelp()
{
    return QStringLiteral("使い方: %1 動詞 [引数] [オプション]\n"
                          "複式簿記対応　家計簿 Tolva2 の帳簿を、ウィンドウなしで読み出し・検査・バックアップします。\n"
                          "Tolva が同じデータフォルダを開いている間は使えません（その逆も同じです）。\n\n"
                          "動詞:\n%2\n"
                          "共通のオプション:\n%3\n"
                          "動詞ごとの説明: %1 動詞 --help\n"
                          "終了コード: 0 成功、1 帳簿の問題や検査の不合格、2 使い方の誤り\n")
        .arg(kProgram, verbsText(), optionText(commonOptions()));
}

QString verbHelp(const Verb& verb)
{
    QList<OptionSpec> options = verb.options;
    options << commonOptions();
    return QStringLiteral("使い方: %1 [オプション]\n%2\n\nオプション:\n%3")
        .arg(synopsis(verb), verb.description, optionText(options));
}

int usage(const QString& message, const QString& helpCommand)
{
    writeErr(kProgram + QStringLiteral(": ") + message + QStringLiteral("\n詳しくは「") + helpCommand + QStringLiteral("」を見てください。"));
    return kUsage;
}

bool asksForHelp(const QStringList& arguments)
{
    for (const QString& argument : arguments) {
        if (argument == u"--")
            return false;
        if (argument == u"-h" || argument == u"--help")
            return true;
    }
    return false;
}

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void onStopSignal(int number)
{
    stopSignal = number;
    tolva::cancellation::request();
}

// Ctrl-C, a closed terminal or a termination request stop the command the way an error does:
// its write rolls back, its temporary files go, the folder is released. Without SA_RESTART, a
// wait (a pipe nobody reads yet) ends too.
void stopOnSignals()
{
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    for (const int number : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(number, &action, nullptr);
}

// After the command has let everything go: the caller (a shell, a script) learns that the
// program ended on the signal, as it would have without a handler.
[[noreturn]] void endOnTheSignal()
{
    writeErr(cancellation::writesCommitted()
                 ? QStringLiteral("中断しました。中断の前に終わった帳簿への書き込みは保存されています。")
                 : cancellation::Cancelled().message());
    const int number = stopSignal;
    std::signal(number, SIG_DFL);
    std::raise(number);
    std::_Exit(128 + number);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    keepLargeBlocks();
    stopOnSignals();
    QCoreApplication::setApplicationName(QStringLiteral("Tolva"));
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));

    const QStringList arguments = QCoreApplication::arguments().mid(1);
    const QString programHelpCommand = kProgram + QStringLiteral(" --help");
    if (arguments.isEmpty())
        return usage(QStringLiteral("動詞を指定してください。\n\n動詞:\n") + verbsText(), programHelpCommand);
    if (arguments.first() == u"-h" || arguments.first() == u"--help") {
        writeOut(programHelp());
        return kOk;
    }

    // The verb: its first word, and its second where the first names a group ("export").
    const Verb* chosen = nullptr;
    bool groupKnown = false;
    for (const Verb& verb : verbs()) {
        if (verb.words.first() != arguments.first())
            continue;
        groupKnown = true;
        if (verb.words.size() == 1 || (arguments.size() > 1 && arguments[1] == verb.words[1])) {
            chosen = &verb;
            break;
        }
    }
    if (!chosen) {
        if (!groupKnown)
            return usage(QStringLiteral("「%1」という動詞はありません。\n\n動詞:\n%2").arg(arguments.first(), verbsText()), programHelpCommand);
        const QString group = arguments.first();
        if (arguments.size() > 1 && (arguments[1] == u"-h" || arguments[1] == u"--help")) {
            writeOut(QStringLiteral("使い方:\n%1").arg(verbsText(group)));
            return kOk;
        }
        return usage(QStringLiteral("%1 の後に、次のどれかを指定してください。\n%2").arg(group, verbsText(group)), programHelpCommand);
    }
    const QStringList rest = arguments.mid(chosen->words.size());
    const QString verbHelpCommand = kProgram + u' ' + chosen->words.join(u' ') + QStringLiteral(" --help");
    if (asksForHelp(rest)) {
        writeOut(verbHelp(*chosen));
        return kOk;
    }

    try {
        QList<OptionSpec> options = chosen->options;
        options << commonOptions();
        const Invocation invocation(chosen->words, options, rest);
        return chosen->run(invocation);
    } catch (const UsageError& e) {
        return usage(e.message(), verbHelpCommand);
    } catch (const StoreError& e) {
        if (stopSignal != 0)
            endOnTheSignal();
        writeErr(e.detail().isEmpty() ? e.message() : e.message() + u'\n' + e.detail());
        return kFailed;
    } catch (const std::exception& e) {
        if (stopSignal != 0)
            endOnTheSignal();
        writeErr(QStringLiteral("処理を続けられません: %1").arg(QString::fromLocal8Bit(e.what())));
        return kFailed;
    }
}
