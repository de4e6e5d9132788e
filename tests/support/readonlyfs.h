#pragma once

#include <QString>

// The read-only medium of readonlyfs.cpp, for a test linked with it: one folder behaves as on a
// file system mounted read-only, for this process and, through preloadEnvironment(), for the
// programs it starts.
extern "C" {
void tolva_readonly_set_root(const char* folder);
long tolva_readonly_refusals();
const char* tolva_readonly_refusal_lines();
}

class QProcessEnvironment;

namespace tolva::testing {

// While it lives, `folder` and everything in it can only be read by this process.
class ReadOnlyMedium {
public:
    explicit ReadOnlyMedium(const QString& folder);
    ~ReadOnlyMedium();
    ReadOnlyMedium(const ReadOnlyMedium&) = delete;
    ReadOnlyMedium& operator=(const ReadOnlyMedium&) = delete;

    // The changes of a file or a folder refused since then, one "call path" line each: what
    // this process tried to write there.
    [[nodiscard]] static QString refusedChanges();
};

// The environment of a program started on `folder` as on a read-only medium; its refused
// changes are written to `log`.
[[nodiscard]] QProcessEnvironment readOnlyEnvironment(const QString& folder, const QString& log);

} // namespace tolva::testing
