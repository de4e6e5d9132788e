#include "app/startup.h"

#include "db/database.h"
#include "db/programstate.h"
#include "ui/actionguard.h"
#include "ui/prompter.h"
#include "ui/tdm02repo.h"

#include <QDir>
#include <QFileInfo>

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QProgressDialog>
#include <QSocketNotifier>
#include <QTranslator>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>


namespace tolva::startup {

void applyJapaneseConventions(QApplication& app)
{
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    QLocale::setDefault(japanese);

    const QString translations = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* catalogue : {"qtbase_ja", "qt_ja"}) {
        auto* translator = new QTranslator(&app);
        if (translator->load(QString::fromLatin1(catalogue), translations))
            QApplication::installTranslator(translator);
        else
            delete translator;
    }

    // Japanese glyph forms, not the Chinese ones a generic CJK fallback may pick.
    for (const QString& family : {QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans JP"),
                                  QStringLiteral("IPAexGothic"), QStringLiteral("IPAGothic")}) {
        if (QFontDatabase::hasFamily(family)) {
            QFont font(family);
            font.setPointSizeF(QApplication::font().pointSizeF() > 0 ? QApplication::font().pointSizeF() : 10.0);
            QApplication::setFont(font);
            break;
        }
    }
}

namespace {

// A folder whose layout stopped part way (a program killed while making it) is completed
// only when the user agrees; the files in it are kept as they are.
bool completeHalfMade(const QString& folder, const QString& templateDir)
{
    const datafolder::Contents contents = datafolder::inspect(folder);
    if (contents.state != datafolder::Contents::State::HalfMade)
        return true;
    const QString shown = QDir::toNativeSeparators(folder);
    const QString question = QStringLiteral("データフォルダ「%1」は作成の途中で止まっています（%2 がありません）。\n"
                                            "足りないファイルをひな形から補いますか？\n"
                                            "今あるファイル（%3）は書き換えずにそのまま残します。")
                                 .arg(shown, contents.missing.join(QStringLiteral("、")), contents.present.join(QStringLiteral("、")));
    if (!QFileInfo::exists(templateDir) || !prompter().confirm(nullptr, question)) {
        prompter().error(nullptr, QStringLiteral("データフォルダ「%1」は足りないファイル（%2）があるため開けません。")
                                      .arg(shown, contents.missing.join(QStringLiteral("、"))));
        return false;
    }
    return guarded(nullptr, [&] { (void)datafolder::complete(folder, templateDir); });
}

} // namespace

BusyNotice::BusyNotice() = default;
BusyNotice::~BusyNotice() = default;

void BusyNotice::show(const QString& text)
{
    // Without a window system (a batch run of the same start) there is nobody to show it to.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    if (!dialog_) {
        dialog_ = std::make_unique<QProgressDialog>();
        dialog_->setWindowTitle(QStringLiteral("Tolva2"));
        dialog_->setCancelButton(nullptr);
        dialog_->setRange(0, 0);  // no end known: the bar runs to and fro
        dialog_->setMinimumDuration(0);
        dialog_->setWindowModality(Qt::ApplicationModal);
    }
    dialog_->setLabelText(text);
    dialog_->show();
    keepPainted();
}

// Called from inside SQLite's long statements: the notice is drawn now, not when the event
// loop next runs; the user cannot act meanwhile (the notice is modal and input waits).
void BusyNotice::keepPainted()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (dialog_)
        dialog_->repaint();
}

QString BusyNotice::text() const
{
    return dialog_ ? dialog_->labelText() : QString();
}

int BusyNotice::percent() const
{
    return dialog_ ? dialog_->value() : -1;
}

void BusyNotice::upgrading(int percent)
{
    if (!dialog_)
        return;
    if (dialog_->maximum() != 100)
        dialog_->setRange(0, 100);
    dialog_->setValue(percent);
    keepPainted();
}

void BusyNotice::hide()
{
    dialog_.reset();
}

void BusyNotice::wholeFileCheckStarted(const QString& path)
{
    show(QStringLiteral("帳簿「%1」は前回正しく閉じられていないため、ファイル全体を検査しています。\n"
                        "大きな帳簿では時間がかかります。しばらくお待ちください。")
             .arg(QDir::toNativeSeparators(path)));
}

void BusyNotice::stillChecking()
{
    if (!dialog_)
        return;
    // A bar without an end runs to and fro as it is set; one with an end keeps its value.
    if (dialog_->maximum() == 0)
        dialog_->setValue(0);
    keepPainted();
}

void BusyNotice::wholeFileCheckEnded()
{
    hide();
}

std::unique_ptr<datafolder::Lock> openBooks(const QString& folder, const QString& templateDir)
{
    const QString shown = QDir::toNativeSeparators(folder);
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir()) {
        prompter().error(nullptr, QStringLiteral("「%1」はフォルダではありません。データフォルダにはフォルダを指定してください。").arg(shown));
        return nullptr;
    }
    // Books that cannot be written are read as they are: nothing is laid out, completed or
    // removed in or beside their folder.
    const bool readOnly = readOnlyCause(folder).has_value();
    // What a start killed while laying the folder out left beside it.
    if (!readOnly)
        datafolder::removeAbandonedLayouts(folder);
    const bool missing = !info.exists();
    if (readOnly && datafolder::inspect(folder).state == datafolder::Contents::State::Empty) {
        prompter().error(nullptr, QStringLiteral("データフォルダ「%1」に帳簿がありません。").arg(shown));
        return nullptr;
    }
    if (missing || datafolder::inspect(folder).state == datafolder::Contents::State::Empty) {
        const QString question = missing
            ? QStringLiteral("データフォルダ「%1」がありません。\n新しい帳簿を作成しますか？").arg(shown)
            : QStringLiteral("データフォルダ「%1」は空です。\n新しい帳簿を作成しますか？").arg(shown);
        if (!QFileInfo::exists(templateDir) || !prompter().confirm(nullptr, question)) {
            prompter().error(nullptr, missing ? QStringLiteral("データフォルダ「%1」が見つかりません。").arg(shown)
                                              : QStringLiteral("データフォルダ「%1」に帳簿がありません。").arg(shown));
            return nullptr;
        }
        if (!guarded(nullptr, [&] { datafolder::initialise(folder, templateDir); }))
            return nullptr;
    }
    // Refused before anything is read or written: a second program on the same books, or a
    // folder that does not hold sound books.
    auto lock = std::make_unique<datafolder::Lock>(folder);
    if (!lock->acquired()) {
        prompter().error(nullptr, lock->refusal());
        return nullptr;
    }
    if (!lock->readOnly() && !completeHalfMade(folder, templateDir))
        return nullptr;
    const auto checks = lock->takenOver() ? Database::OpeningChecks::Full : Database::OpeningChecks::Bounded;
    BusyNotice notice;
    if (!guarded(nullptr, [&] {
            datafolder::verify(folder, checks, &notice, Database::WhenReadOnly::OpenForReading);
            auto db = Database::forFolder(folder);
            // Books that can only be read keep their layout: every window reads an older one.
            programState().readOnly = db->readOnly();
            if (db->readOnly())
                return;
            if (db->schemaVersion() < Database::kSchemaVersion)
                notice.show(QStringLiteral("帳簿を新しい形式にしています（一度だけです）。しばらくお待ちください。"));
            db->makeReadyForWriting(&notice);
            notice.hide();
        }))
        return nullptr;
    return lock;
}

QString folderFromOption(const QString& option, const QString& value)
{
    if (value.trimmed().isEmpty())
        throw StoreError(QStringLiteral("%1 のフォルダ名が空です。フォルダを指定してください。").arg(option));
    return QFileInfo(value).absoluteFilePath();
}

namespace {

// The write end is written by the signal handler, which may do nothing but async-signal-safe
// calls; the read end wakes the event loop.
int terminationPipe[2] = {-1, -1};
bool terminating = false;

extern "C" void onTerminationSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(terminationPipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

void quitOnTerminationSignals(QCoreApplication& app)
{
    if (terminationPipe[0] >= 0)
        return;
    if (::pipe2(terminationPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning("termination signals cannot be caught: %s", std::strerror(errno));
        return;
    }
    auto* notifier = new QSocketNotifier(terminationPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char buffer[16];
        while (::read(terminationPipe[0], buffer, sizeof buffer) > 0) {
        }
        terminating = true;
        stopPrompting();
        // Leaves nested loops too: a modal window or message box returns, and so does exec().
        QCoreApplication::exit(0);
    });

    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : {SIGTERM, SIGHUP, SIGINT})
        ::sigaction(number, &action, nullptr);
}

namespace {
std::unique_ptr<datafolder::Lock>* heldLock = nullptr;
} // namespace

void closeBooksOnExit(std::unique_ptr<datafolder::Lock>* lock)
{
    static const bool registered = [] {
        std::atexit([] {
            if (!heldLock)
                return;
            Database::closeAllForExit();
            heldLock->reset();
            heldLock = nullptr;
        });
        return true;
    }();
    (void)registered;
    heldLock = lock;
}

bool terminationRequested()
{
    return terminating;
}

std::unique_ptr<Tdm02Repo> createReportModule(Tdm01Keiri& dm, const QString& dataFolder)
{
    auto module = std::make_unique<Tdm02Repo>(dm);
    module->RvProject1Create(dataFolder);
    return module;
}

} // namespace tolva::startup
