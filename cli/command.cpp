#include "cli/command.h"

#include "cli/output.h"
#include "db/database.h"
#include "db/storeerror.h"
#include "db/textformat.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace tolva::cli {

namespace {

const OptionSpec* findOption(const QList<OptionSpec>& options, const QString& name)
{
    for (const OptionSpec& option : options) {
        if (option.names.contains(name))
            return &option;
    }
    return nullptr;
}

QString shownName(const QString& name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

} // namespace

QList<OptionSpec> commonOptions()
{
    return {
        {{QStringLiteral("data-dir")}, QStringLiteral("DIR"),
         QStringLiteral("このデータフォルダを使います（既定はプログラムと同じ場所の Data）。")},
        {{QStringLiteral("h"), QStringLiteral("help")}, {}, QStringLiteral("この説明を表示します。")},
    };
}

Invocation::Invocation(QStringList words, const QList<OptionSpec>& options, const QStringList& arguments)
    : words_(std::move(words))
{
    // Our own reading of the command line, so that every complaint is in the user's language;
    // QCommandLineParser keeps the values.
    QList<QCommandLineOption> declared;
    for (const OptionSpec& option : options)
        declared << QCommandLineOption(option.names, option.description, option.valueName);
    parser_.addOptions(declared);
    QStringList normalised{QStringLiteral("tolva-cli")};
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (optionsEnded || !argument.startsWith(u'-') || argument == u"-") {
            positional_ << argument;
            continue;
        }
        if (argument == u"--") {
            optionsEnded = true;
            continue;
        }
        QString name = argument.mid(argument.startsWith(QStringLiteral("--")) ? 2 : 1);
        std::optional<QString> value;
        if (const qsizetype equals = name.indexOf(u'='); equals >= 0) {
            value = name.mid(equals + 1);
            name = name.left(equals);
        }
        const OptionSpec* option = findOption(options, name);
        // A short name is written with one dash, a long one with two.
        if (!option || (argument.startsWith(QStringLiteral("--")) != (name.size() > 1)))
            throw UsageError(QStringLiteral("「%1」というオプションはありません。").arg(argument));
        if (option->valueName.isEmpty()) {
            if (value)
                throw UsageError(QStringLiteral("オプション %1 に値は指定できません。").arg(shownName(name)));
            normalised << QStringLiteral("--") + option->names.last();
            continue;
        }
        if (!value) {
            if (i + 1 >= arguments.size())
                throw UsageError(QStringLiteral("オプション %1 に値（%2）がありません。").arg(shownName(name), option->valueName));
            value = arguments[++i];
        }
        normalised << QStringLiteral("--") + option->names.last() << *value;
    }
    if (!parser_.parse(normalised))
        throw UsageError(parser_.errorText());
}

std::optional<QString> Invocation::optional(const QString& name) const
{
    if (!parser_.isSet(name))
        return std::nullopt;
    return parser_.value(name);
}

void Invocation::expectPositional(const QStringList& names) const
{
    if (positional_.size() < names.size())
        throw UsageError(QStringLiteral("%1 を指定してください。").arg(names.mid(positional_.size()).join(u' ')));
    if (positional_.size() > names.size())
        throw UsageError(QStringLiteral("余分な引数「%1」があります。").arg(positional_.mid(names.size()).join(u' ')));
}

QString Invocation::dataFolder() const
{
    if (!parser_.isSet(QStringLiteral("data-dir")))
        return datafolder::besideProgram();
    const QString value = parser_.value(QStringLiteral("data-dir"));
    // An empty name would mean the current folder, where nobody means to keep books.
    if (value.trimmed().isEmpty())
        throw UsageError(QStringLiteral("--data-dir のフォルダ名が空です。フォルダを指定してください。"));
    return QFileInfo(value).absoluteFilePath();
}

std::optional<QDate> Invocation::date(const QString& name) const
{
    if (!parser_.isSet(name))
        return std::nullopt;
    const QString text = parser_.value(name);
    const std::optional<QDate> day = textformat::parseDateEntry(text);
    if (!day) {
        // A real date the books cannot hold is told as such, not as a mistyped one.
        static const QRegularExpression form(QStringLiteral(R"(^\s*(\d{4})[-/](\d{1,2})[-/](\d{1,2})\s*$)"));
        const QRegularExpressionMatch match = form.match(text);
        if (match.hasMatch() && QDate(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt()).isValid())
            throw UsageError(QStringLiteral("--%1 の日付「%2」は扱える範囲（%3/01/01 ～ %4/12/31）の外です。範囲の中の日付を指定してください。")
                                 .arg(name, text)
                                 .arg(textformat::kFirstEntryYear)
                                 .arg(textformat::kLastEntryYear));
        throw UsageError(QStringLiteral("--%1 の日付「%2」は正しくありません（yyyy-mm-dd か yyyy/mm/dd で、ある日付を指定してください）。")
                             .arg(name, text));
    }
    return day;
}

namespace {

class TerminalNotice final : public OpeningObserver {
public:
    void wholeFileCheckStarted(const QString& path) override
    {
        writeErr(QStringLiteral("帳簿「%1」は前回正しく閉じられていないため、ファイル全体を検査しています（大きな帳簿では時間がかかります）…")
                     .arg(QDir::toNativeSeparators(path)));
    }
};

} // namespace

OpeningObserver& terminalNotice()
{
    static TerminalNotice notice;
    return notice;
}

// --- Books -----------------------------------------------------------------------------------

Books::Books(const QString& folder, Opening opening, Purpose purpose) : folder_(folder)
{
    const QString shown = QDir::toNativeSeparators(folder);
    const QFileInfo info(folder);
    if (!info.exists())
        throw StoreError(QStringLiteral("データフォルダ「%1」が見つかりません。").arg(shown));
    if (!info.isDir())
        throw StoreError(QStringLiteral("「%1」はフォルダではありません。データフォルダにはフォルダを指定してください。").arg(shown));
    // A command that changes the books is refused before anything is read where it could not
    // finish: on a read-only medium, in a folder this user may not write.
    if (purpose == Purpose::Writing) {
        if (const auto cause = readOnlyCause(folder))
            throw StoreError(readOnlyRefusal(folder, *cause));
    }
    // Refused before anything is read: a second program on the same books.
    lock_ = std::make_unique<datafolder::Lock>(folder);
    if (!lock_->acquired())
        throw StoreError(lock_->refusal());
    state_.readOnly = lock_->readOnly().has_value();
    if (opening != Opening::LockOnly) {
        if (datafolder::isEmptyFolder(folder))
            throw StoreError(QStringLiteral("データフォルダ「%1」に帳簿がありません。").arg(shown));
        const bool full = opening == Opening::Full || lock_->takenOver();
        datafolder::verify(folder, full ? Database::OpeningChecks::Full : Database::OpeningChecks::Bounded, &terminalNotice(),
                           purpose == Purpose::Writing ? Database::WhenReadOnly::Refuse : Database::WhenReadOnly::OpenForReading);
        auto db = Database::forFolder(folder);
        state_.readOnly = db->readOnly();
        // A verb that writes brings older books to this program's layout first, as the
        // program does at start; one that only reads leaves them as they are, and books that
        // can only be read are never changed.
        if (opening == Opening::Full && !db->readOnly())
            db->makeReadyForWriting();
    }
    state_.dataFolder = folder;
    dm_ = std::make_unique<Tdm01Keiri>(state_);
    dm_->DataModuleCreate(folder);
}

Books::~Books()
{
    if (dm_)
        dm_->closeAll();
    dm_.reset();
    // Closing the connection folds the log into the file; then the folder is released.
    Database::closeAll();
    lock_.reset();
}

Tdm01Keiri& Books::dm()
{
    return *dm_;
}

FiscalPeriod Books::fiscalPeriod()
{
    if (!state_.periodStart.isValid()) {
        const FiscalSettings settings = readFiscalPeriod(*dm_, QDate::currentDate());
        state_.periodStart = settings.period.start;
        state_.periodEnd = settings.period.end;
    }
    return {state_.periodStart, state_.periodEnd};
}

namespace {

void requireOrdered(const QDate& from, const QDate& to)
{
    if (from > to)
        throw UsageError(QStringLiteral("期間の開始日 %1 が終了日 %2 より後です。")
                             .arg(textformat::shortDate(from), textformat::shortDate(to)));
}

} // namespace

Invocation::DateRange Invocation::dateRange() const
{
    DateRange range{date(QStringLiteral("from")), date(QStringLiteral("to"))};
    if (range.from && range.to)
        requireOrdered(*range.from, *range.to);
    return range;
}

FiscalPeriod Books::range(const Invocation::DateRange& given)
{
    FiscalPeriod range;
    if (!given.from || !given.to)
        range = fiscalPeriod();
    if (given.from)
        range.start = *given.from;
    if (given.to)
        range.end = *given.to;
    requireOrdered(range.start, range.end);
    return range;
}

QList<OptionSpec> rangeOptions(const QString& defaultText)
{
    return {
        {{QStringLiteral("from")}, QStringLiteral("DATE"), QStringLiteral("期間の開始日（yyyy-mm-dd か yyyy/mm/dd）。") + defaultText},
        {{QStringLiteral("to")}, QStringLiteral("DATE"), QStringLiteral("期間の終了日（両端を含みます）。")},
    };
}

namespace {
const QString kYear = QStringLiteral("year");
} // namespace

QList<OptionSpec> yearOption()
{
    return {OptionSpec{{kYear}, QStringLiteral("Y"),
                       QStringLiteral("会計年度（事業主の決算月による期間の始まる年）。省略すると事業主の現在の年度。")}};
}

std::optional<int> requestedYear(const Invocation& invocation)
{
    if (!invocation.isSet(kYear))
        return std::nullopt;
    bool ok = false;
    const int year = invocation.value(kYear).toInt(&ok);
    if (!ok || year < kFirstFiscalYear || year > kLastFiscalYear)
        throw UsageError(QStringLiteral("--year には %1 から %2 までの年を指定してください（「%3」）。")
                             .arg(kFirstFiscalYear)
                             .arg(kLastFiscalYear)
                             .arg(invocation.value(kYear)));
    return year;
}

FiscalPeriod yearPeriod(std::optional<int> year, Books& books)
{
    const FiscalPeriod current = books.fiscalPeriod();
    if (!year)
        return current;
    const int closingMonth = current.start.month() == 1 ? 12 : current.start.month() - 1;
    return periodForFiscalYear(*year, closingMonth);
}

void checkOutputBeforeOpening(const QString& folder, const QString& path, outputfile::Purpose purpose)
{
    // The folder's files are known by identity from here on, as they will be once it is held.
    const outputfile::ProtectedFolder books(folder);
    (void)outputfile::checkTarget(path, purpose);
}

} // namespace tolva::cli
