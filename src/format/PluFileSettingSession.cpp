#include "format/PluFileSettingSession.h"

#include "format/ImportFormat.h"
#include "format/LayoutKeys.h"
#include "platform/MessageBox.h"

namespace ostrel {

void PluFileSettingSession::noteSave(SaveOutcome outcome)
{
    if (outcome == SaveOutcome::Saved) {
        m_modified = false;
        m_saved = true;
    }
}

void PluFileSettingSession::confirmOnOk(int selectedType, const std::function<void()>& save,
                                        const std::string& tarvikIni, MessageSink& messages) const
{
    if (!m_modified) {
        return;
    }
    if (messages.ShowMessage("Do you want to save?", "Ostrel", MessageIcon::Warning,
                             MessageButtons::YesNo) != MessageAnswer::Yes) {
        return;
    }
    if (selectedType != kSeparatedType && selectedType != kFixedType) {
        return;
    }
    save();
    writeFileType(tarvikIni, selectedType);
}

} // namespace ostrel
