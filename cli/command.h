#pragma once

#include "db/datafolder.h"
#include "db/fiscalperiod.h"
#include "db/outputfile.h"
#include "db/programstate.h"
#include "db/tdm01keiri.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <stdexcept>

namespace tolva::cli {

// What the command line promises the caller of the program.
enum ExitStatus { kOk = 0, kFailed = 1, kUsage = 2 };

// A command line that cannot be carried out as written: told with the verb's usage, exit 2.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const QString& message) : std::runtime_error(message.toStdString()), message_(message) {}
    [[nodiscard]] const QString& message() const { return message_; }

private:
    QString message_;
};

// One option of a verb: its names ("o", "output"), the name of its value (empty for a switch)
// and one line of help.
struct OptionSpec {
    QStringList names;
    QString valueName;
    QString description;
};

// The command line of one verb, parsed.
class Invocation {
public:
    Invocation(QStringList words, const QList<OptionSpec>& options, const QStringList& arguments);

    [[nodiscard]] const QStringList& verbWords() const { return words_; }
    [[nodiscard]] bool isSet(const QString& name) const { return parser_.isSet(name); }
    [[nodiscard]] QString value(const QString& name) const { return parser_.value(name); }
    [[nodiscard]] std::optional<QString> optional(const QString& name) const;
    [[nodiscard]] const QStringList& positional() const { return positional_; }
    // The positional arguments must be exactly these, by name, for the message.
    void expectPositional(const QStringList& names) const;

    // The data folder: --data-dir, or "Data" beside the program as the windows use.
    [[nodiscard]] QString dataFolder() const;
    // A date option, written yyyy-mm-dd or yyyy/mm/dd; nothing when not given.
    [[nodiscard]] std::optional<QDate> date(const QString& name) const;
    // --from and --to as given; a start after the end is a usage error.
    struct DateRange {
        std::optional<QDate> from;
        std::optional<QDate> to;
    };
    [[nodiscard]] DateRange dateRange() const;

private:
    QStringList words_;
    QCommandLineParser parser_;
    QStringList positional_;
};

// The --from and --to options.
[[nodiscard]] QList<OptionSpec> rangeOptions(const QString& defaultText);

// The options every verb has.
[[nodiscard]] QList<OptionSpec> commonOptions();

// Says on standard error that opening reads the whole file (after an unclean end), so that a
// long wait is not taken for a hang.
[[nodiscard]] OpeningObserver& terminalNotice();

// The books of a data folder, held for one command as the program holds them: the folder's
// lock first (a running window refuses this command and this command refuses a window, with
// the same message), then the checks of opening, then the data module over its own program
// state. Everything is closed and the folder released when the object goes.
// Books that cannot be written (a read-only medium, a folder this user may not write) are held
// without a lock file and opened for reading, or refused to a command that changes them.
class Books {
public:
    enum class Opening {
        Reading,   // the checks the program makes at start (the full one after an unclean end)
        Full,      // every page read for damage first, for a command that writes much
        LockOnly,  // the books are not opened (a check or a restore opens them itself)
    };
    // Whether the command changes the books (or writes into their folder).
    enum class Purpose { Reading, Writing };
    explicit Books(const QString& folder, Opening opening = Opening::Reading, Purpose purpose = Purpose::Reading);
    ~Books();
    Books(const Books&) = delete;
    Books& operator=(const Books&) = delete;

    [[nodiscard]] const QString& folder() const { return folder_; }
    // The books can only be read: whatever the command writes into them stays in memory.
    [[nodiscard]] bool readOnly() const { return state_.readOnly; }
    [[nodiscard]] Tdm01Keiri& dm();
    // The owner's current fiscal period, read without writing.
    [[nodiscard]] FiscalPeriod fiscalPeriod();
    // The range of --from and --to, each bound that is not given taken from the fiscal period;
    // a start after the end is a usage error.
    [[nodiscard]] FiscalPeriod range(const Invocation::DateRange& given);

private:
    QString folder_;
    std::unique_ptr<datafolder::Lock> lock_;
    ProgramState state_;
    std::unique_ptr<Tdm01Keiri> dm_;
};

// The --year option of the verbs over one fiscal year, and the period it names: the fiscal
// year with the owner's closing month, or the owner's current one when it is not given.
// The year is checked when the command line is read, before the books are opened.
[[nodiscard]] QList<OptionSpec> yearOption();
[[nodiscard]] std::optional<int> requestedYear(const Invocation& invocation);
[[nodiscard]] FiscalPeriod yearPeriod(std::optional<int> year, Books& books);

// A file named with -o refused (one of the books' own files, a folder, ...) before the books
// are opened: a command refused after opening them could already have brought them to a new
// layout or folded their log in.
void checkOutputBeforeOpening(const QString& folder, const QString& path, outputfile::Purpose purpose);

} // namespace tolva::cli
