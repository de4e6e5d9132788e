#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

namespace tolva::testing {

// What one run of tolva-cli gave.
struct CliRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    [[nodiscard]] QString outText() const { return QString::fromUtf8(out); }
    [[nodiscard]] QString errText() const { return QString::fromUtf8(err); }
};

// Runs the program with `arguments`, the data folder first when one is given.
[[nodiscard]] CliRun runCli(const QStringList& arguments, const QString& dataFolder = {});

// The cells of comma-separated text, quotes as the exports write them (a quoted cell may hold
// commas and doubled quotes); lines end in CR LF.
[[nodiscard]] QList<QStringList> parseCsv(const QString& text);

// Code page 932 bytes as text.
[[nodiscard]] QString fromCodePage932(const QByteArray& bytes);

// A file's bytes (empty when it cannot be read), and a file written with these bytes.
[[nodiscard]] QByteArray bytesOf(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);

// Every file of a folder and its subfolders, by relative name, with its bytes: what a test
// compares to say that a command left a data folder as it was.
[[nodiscard]] QMap<QString, QByteArray> folderState(const QString& folder);

// Sets the owner's fiscal year and closing month.
void setOwner(const QString& folder, int year, int closingMonth);

} // namespace tolva::testing
