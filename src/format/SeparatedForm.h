// The separated type's settings as its designer edits them, read from Tarvik.ini, and its
// "Save": the PATH keys, separator, comment marker, first row, "ItemIsPLU", the file type and
// the column order, in that order, stopping at the first required value that is empty.
#pragma once

#include "format/PluIdFile.h"
#include "settings/SettingsPaths.h"

#include <string>
#include <vector>

namespace ostrel {

class MessageSink;

struct SeparatedForm
{
    bool useTab = false;
    std::string separator = ",";
    std::string comment = "//";
    std::string startRow = "1";
    bool itemIsPlu = false;
    bool operator==(const SeparatedForm&) const = default;

    // The separator the preview splits at: the tab character when "Tab" is chosen.
    std::string effectiveSeparator() const { return useTab ? std::string("\t") : separator; }
};

// The stored settings with the window's defaults.
SeparatedForm readSeparatedForm(const std::string& tarvikIni);

// The folder, prefix and extension as typed in the window.
struct PathTexts
{
    std::string folder;
    std::string prefix;
    std::string extension;
    bool operator==(const PathTexts&) const = default;
};

enum class SaveOutcome
{
    Saved,
    CheckData,  // a required value was empty; what came before it stays written
    WriteFailed // a settings file could not be written
};

// Shows "Save is completed!", "Check data!" or "Save Failed!" as the outcome is; returns it.
SaveOutcome reportSave(SaveOutcome outcome, MessageSink& messages);

// The separated type's Save; its outcome is shown as reportSave shows it.
SaveOutcome saveSeparatedFormat(const SettingsPaths& paths, const PathTexts& pathTexts,
                                const SeparatedForm& form, const std::vector<PluIdRow>& columns,
                                MessageSink& messages);

} // namespace ostrel
