#include "format/SeparatedForm.h"

#include "format/ImportFormat.h"
#include "format/LayoutKeys.h"
#include "platform/MessageBox.h"
#include "settings/ProfileBatch.h"
#include "settings/TarvikKeys.h"

namespace ostrel {

namespace {

// The Tarvik.ini writes up to the first empty required value; CheckData when there was one.
SaveOutcome queueTarvikWrites(ProfileBatchWriter& ini, const PathTexts& pathTexts,
                              const SeparatedForm& form)
{
    using namespace tarvik;
    queuePathKeys(ini, pathTexts.folder, pathTexts.prefix, pathTexts.extension);
    if (form.useTab) {
        ini.write(kSectionSeparate, kKeyUseTab, "1");
    } else {
        if (form.separator.empty()) {
            return SaveOutcome::CheckData;
        }
        ini.write(kSectionSeparate, kKeySeparate, form.separator);
        ini.write(kSectionSeparate, kKeyUseTab, "0");
    }
    if (form.comment.empty()) {
        return SaveOutcome::CheckData;
    }
    ini.write(kSectionSeparate, kKeyComment, form.comment);
    if (form.startRow.empty()) {
        return SaveOutcome::CheckData;
    }
    ini.write(kSectionStartRow, kKeyStartRow, form.startRow);
    ini.write(kSectionSeparate, kKeyItemIsPlu, form.itemIsPlu ? "1" : "0");
    ini.write(kSectionType, kKeyFileType, "1");
    return SaveOutcome::Saved;
}

} // namespace

SaveOutcome reportSave(SaveOutcome outcome, MessageSink& messages)
{
    switch (outcome) {
    case SaveOutcome::Saved:
        messages.ShowMessage("Save is completed!", "Ostrel", MessageIcon::Information);
        break;
    case SaveOutcome::CheckData:
        messages.ShowMessage("Check data!", "Warning", MessageIcon::Warning);
        break;
    case SaveOutcome::WriteFailed:
        messages.ShowMessage("Save Failed!", "Warning", MessageIcon::Warning);
        break;
    }
    return outcome;
}

SeparatedForm readSeparatedForm(const std::string& tarvikIni)
{
    const LayoutKeys keys = readLayoutKeys(tarvikIni);
    SeparatedForm form;
    form.useTab = keys.useTab == "1";
    form.separator = keys.separate;
    form.comment = keys.comment;
    form.startRow = keys.startRow;
    form.itemIsPlu = keys.itemIsPlu == "1";
    return form;
}

SaveOutcome saveSeparatedFormat(const SettingsPaths& paths, const PathTexts& pathTexts,
                                const SeparatedForm& form, const std::vector<PluIdRow>& columns,
                                MessageSink& messages)
{
    ProfileBatchWriter tarvikIni(paths.tarvikIni);
    const SaveOutcome checked = queueTarvikWrites(tarvikIni, pathTexts, form);
    // A failed write would otherwise be reported as a completed save.
    if (!tarvikIni.commit()) {
        return reportSave(SaveOutcome::WriteFailed, messages);
    }
    if (checked != SaveOutcome::Saved) {
        return reportSave(checked, messages);
    }
    if (!writePluIdFile(paths.pluIdIni, columns)) {
        return reportSave(SaveOutcome::WriteFailed, messages);
    }
    return reportSave(SaveOutcome::Saved, messages);
}

} // namespace ostrel
