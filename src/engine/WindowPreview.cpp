#include "engine/WindowPreview.h"

#include "engine/PreviewSettings.h"
#include "format/FixedForm.h"
#include "format/SampleFile.h"
#include "platform/IniFile.h"
#include "platform/MessageBox.h"
#include "settings/SearchPattern.h"

#include <filesystem>
#include <system_error>

namespace ostrel {
namespace {

// A documents folder of its own under the temp folder, removed with the object.
class ScratchDocuments final
{
public:
    ScratchDocuments()
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "ostrel-preview-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
        }
    }
    ~ScratchDocuments()
    {
        std::error_code ignored;
        if (!m_path.empty()) {
            std::filesystem::remove_all(m_path, ignored);
        }
    }
    ScratchDocuments(const ScratchDocuments&) = delete;
    ScratchDocuments& operator=(const ScratchDocuments&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

void copyIfThere(const std::string& from, const std::string& to)
{
    if (const auto bytes = readWholeFile(from)) {
        writeFileAtomically(to, *bytes);
    }
}

} // namespace

WindowPreview previewWindowLayout(const SettingsPaths& settings, const WindowLayout& window,
                                  std::size_t maxLines)
{
    WindowPreview result;
    ScratchDocuments scratch;
    std::error_code error;
    const SettingsPaths paths = SettingsPaths::fromDocuments(scratch.path());
    if (scratch.path().empty() || !std::filesystem::create_directories(paths.configFolder, error)) {
        result.problem = "no scratch folder for the preview";
        return result;
    }
    for (const auto& [from, to] : {std::pair{settings.tarvikIni, paths.tarvikIni},
                                   {settings.pluIdIni, paths.pluIdIni},
                                   {settings.structFile, paths.structFile},
                                   {settings.prsFile, paths.prsFile},
                                   {settings.rulesFile, paths.rulesFile}}) {
        copyIfThere(resolvePath(from), to);
    }
    // The window edits Tarvik.ini's layout keys: the scratch run reads them from there.
    writeProfileString("PATH", "CONFIG ROOT", "", paths.tarvikIni);
    RecordingMessageSink quiet; // the window's own Save says "Save is completed!"
    const SaveOutcome saved =
        window.fileType == kFixedType
            ? saveFixedFormat(paths, window.paths, window.fixedRows, window.fixedStartRow, quiet)
            : saveSeparatedFormat(paths, window.paths, window.separated, window.columns, quiet);
    if (saved != SaveOutcome::Saved) {
        result.problem = "The window's values are not complete (a Save would say \"Check "
                         "data!\").";
        return result;
    }
    PreviewLayout layout;
    if (std::string problem = loadPreviewLayout(paths, quiet, layout); !problem.empty()) {
        result.problem = std::move(problem);
        return result;
    }
    const std::string pattern =
        buildSearchPattern(window.paths.folder, window.paths.prefix, window.paths.extension);
    const std::string sample = findSampleFile(pattern);
    if (sample.empty()) {
        result.problem = noDataFileMessage(pattern);
        return result;
    }
    result.file = previewDataFile(layout, sample, maxLines);
    return result;
}

} // namespace ostrel
