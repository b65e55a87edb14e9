// The PLU file setting window's state that outlives one opening: the modified flag (set by
// nearly every change and by opening, cleared by a successful Save) and the saved flag (set by a
// successful Save and kept for the program's run), and the decisions of OK and Cancel.
#pragma once

#include "format/SeparatedForm.h"

#include <functional>
#include <string>

namespace ostrel {

class MessageSink;

class PluFileSettingSession final
{
public:
    void markModified() { m_modified = true; }
    // After a Save: a successful one clears the modified flag and sets the saved flag.
    void noteSave(SaveOutcome outcome);

    bool modified() const { return m_modified; }
    bool saved() const { return m_saved; }

    // OK's save question: when modified, asks "Do you want to save?"; on Yes runs `save` for
    // the selected type (kSeparatedType or kFixedType, anything else saves nothing) and then
    // writes that FILETYPE whatever the Save reported.
    void confirmOnOk(int selectedType, const std::function<void()>& save,
                     const std::string& tarvikIni, MessageSink& messages) const;

    // Cancel closes as OK once a Save succeeded, so the main window reloads what was saved.
    bool cancelClosesWithOk() const { return m_saved; }

private:
    bool m_modified = false;
    bool m_saved = false;
};

} // namespace ostrel
