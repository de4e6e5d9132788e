#include "ui/closequestion.h"

#include "db/dataset.h"
#include "ui/actionguard.h"
#include "ui/dbcontrols.h"
#include "ui/prompter.h"

#include <QWidget>

namespace tolva {

namespace {

bool isEditing(const Dataset& dataset)
{
    return dataset.isActive() && (dataset.state() == Dataset::State::Edit || dataset.state() == Dataset::State::Insert);
}

} // namespace

bool holdsUnsavedRecord(const QWidget& window, std::initializer_list<Dataset*> datasets)
{
    bool editing = false;
    for (const Dataset* dataset : datasets) {
        if (!isEditing(*dataset))
            continue;
        if (dataset->isModified())
            return true;
        editing = true;
    }
    if (!editing)
        return false;
    // Typing puts the row into edit mode; the text reaches the field only when applied.
    for (const DbEdit* edit : window.findChildren<DbEdit*>())
        if (edit->hasTypedText())
            return true;
    return false;
}

bool mayClose(QWidget& window, std::initializer_list<Dataset*> datasets, const std::function<void()>& save)
{
    if (!holdsUnsavedRecord(window, datasets))
        return true;
    switch (prompter().ask(&window, kSaveQuestion)) {
    case Prompter::Answer::Yes: {
        if (!guarded(&window, save))
            return false;
        for (const Dataset* dataset : datasets)
            if (isEditing(*dataset))
                return false;  // a check refused it, and said why: the record stays to be corrected
        return true;
    }
    case Prompter::Answer::No: {
        bool cancelled = true;
        for (Dataset* dataset : datasets)
            if (isEditing(*dataset))
                cancelled = guarded(&window, [dataset] { dataset->cancel(); }) && cancelled;
        for (DbEdit* edit : window.findChildren<DbEdit*>())
            if (edit->hasTypedText())
                edit->refreshFromField();
        return cancelled;
    }
    case Prompter::Answer::Cancel:
        break;
    }
    return false;
}

} // namespace tolva
