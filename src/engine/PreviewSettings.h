// The settings a preview turns lines into records with, loaded and checked as a run loads and
// checks them, without an update engine: `ostrel --preview`, and the PLU file setting window
// on a scratch copy that holds its values not saved yet.
#pragma once

#include "engine/RecordPreview.h"
#include "settings/SettingsPaths.h"

#include <string>
#include <vector>

namespace ostrel {

class MessageSink;

// "" with `layout` filled (and `files` given the data files a Direct Download would find
// now), or the settings problem a run would refuse with.
std::string loadPreviewLayout(const SettingsPaths& paths, MessageSink& messages,
                              PreviewLayout& layout, std::vector<std::string>* files = nullptr);

} // namespace ostrel
