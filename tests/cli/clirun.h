#pragma once

#include <QByteArray>
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

// Sets the owner's fiscal year and closing month.
void setOwner(const QString& folder, int year, int closingMonth);

} // namespace tolva::testing
