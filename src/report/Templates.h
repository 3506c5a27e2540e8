#pragma once
// The message log's text templates. In the Windows library they are meant to become string resources;
// until then (and in the native build) they are compiled in and looked up here by the same names.
#include <string>
#include <vector>

namespace mellodeck {

// Names of the three templates (matched without regard to case).
inline constexpr const char* kMessageTemplateName = "MesageTemplate";
inline constexpr const char* kHeadTemplateName = "ErrorHeadTemplate";
inline constexpr const char* kExceptionTemplateName = "EXCEPTIONTEMPLATE";

// Splits a template text into lines at CR LF. A final line break adds no empty line; an empty text
// gives no lines.
std::vector<std::string> SplitTemplateText(const std::string& text);

// Finds the template called `name` (case-insensitive) and replaces `lines` with its lines. Returns false,
// leaving `lines` untouched, when there is no such template.
bool LoadTemplateResource(const std::string& name, std::vector<std::string>& lines);

} // namespace mellodeck
