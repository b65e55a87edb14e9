// LoadImportFormat: turns the layout files into the ImportFormat a run uses. Keeps the fixed
// field definitions stored in PLUPrs.prs in memory for the program's life, so a run goes on
// with the last known definitions when the file is missing; the PLU file setting window shares
// them.
#pragma once

#include "format/ImportFormat.h"
#include "format/PrsFile.h"
#include "format/StructFile.h"
#include "settings/SettingsPaths.h"

#include <string>
#include <vector>

namespace ostrel {

class MessageSink;

// The format a run uses before any load: what a run settings file without keys gives.
ImportFormat defaultImportFormat();

class ImportFormatLoader final
{
public:
    ImportFormatLoader(SettingsPaths paths, MessageSink& messages);

    // Fills `format` from the files. The PATH keys come from Tarvik.ini; the type, separator,
    // comment, quote and end symbols from `runSettingsFile` (the file "CONFIG ROOT" names).
    // A folder or other non-file there (an empty "CONFIG ROOT" names the product folder) reads
    // as a file without keys. Returns false and leaves `format` unchanged only when nothing
    // exists at `runSettingsFile`.
    bool LoadImportFormat(ImportFormat& format, const std::string& runSettingsFile);
    // The same with the run's settings file looked up from "CONFIG ROOT" now.
    bool LoadImportFormat(ImportFormat& format);

    // One definition per listed field (100 slots), all zero until PLUPrs.prs was first read.
    const std::vector<FixedFieldDef>& storedDefinitions() const { return m_stored; }
    // The window's OK: definition n becomes rows[n]; slots beyond the rows keep their values.
    void setStoredDefinitions(const std::vector<FixedFieldDef>& rows);

    // The PLU field list as of the last load.
    const std::vector<PluField>& fieldList() const { return m_fields; }

private:
    SettingsPaths m_paths;
    MessageSink& m_messages;
    std::vector<FixedFieldDef> m_stored;
    std::vector<PluField> m_fields;
};

} // namespace ostrel
