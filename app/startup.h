#pragma once

#include <memory>

class QApplication;
class QString;

namespace tolva {

class Tdm01Keiri;
class Tdm02Repo;

namespace startup {

// Japanese conventions whatever the machine's locale: Qt's own Japanese texts for standard
// buttons and dialogs, the Japanese locale for numbers and dates, and a Japanese CJK font.
void applyJapaneseConventions(QApplication& app);

// The report module, pointed at the report project of the data folder.
[[nodiscard]] std::unique_ptr<Tdm02Repo> createReportModule(Tdm01Keiri& dm, const QString& dataFolder);

} // namespace startup
} // namespace tolva
