#include "report/StringParser.h"

namespace mellodeck {
namespace {

enum class TScan { Text, Name, Width };

size_t WidthOf(const std::string& digits) {
    size_t width = 0;
    for (char c : digits) {
        width = width * 10 + static_cast<size_t>(c - '0');
        if (width >= TStringParser::kMaxWidth)
            return TStringParser::kMaxWidth;
    }
    return width;
}

} // namespace

void TStringParser::SetTemplate(const std::vector<std::string>& lines) {
    FTemplate = lines;
    FResult.clear();
    for (const std::string& line : FTemplate) {
        EvaluateLine(line);
        FResult.push_back(FOutput);
    }
}

void TStringParser::Clear() {
    FTemplate.clear();
    FResult.clear();
}

std::string TStringParser::ResolveValue(const std::string& name) {
    std::string value;
    if (FOnGetValue)
        FOnGetValue(*this, name, value);
    return value;
}

void TStringParser::AppendValue(const std::string& name, const std::string& width) {
    const std::string value = ResolveValue(name);
    FOutput += value;
    const size_t columns = WidthOf(width);
    if (value.size() < columns)
        FOutput.append(columns - value.size(), ' ');
}

void TStringParser::EvaluateLine(const std::string& line) {
    FCurrentLine = line;
    FOutput.clear();
    TScan scan = TScan::Text;
    std::string name;
    std::string width;
    for (char c : line) {
        switch (scan) {
        case TScan::Text:
            if (c == '%') {
                scan = TScan::Name;
                name.clear();
                width.clear();
            } else {
                FOutput += c;
            }
            break;
        case TScan::Name:
            if (c == ' ' || c == '%' || c == '\\') {
                // An empty name swallows the ending character and keeps reading the name.
                if (!name.empty()) {
                    AppendValue(name, width);
                    if (c != '\\')
                        FOutput += c;
                    scan = TScan::Text;
                }
            } else if (c == ':' && !name.empty()) {
                scan = TScan::Width;
            } else {
                name += c;
            }
            break;
        case TScan::Width:
            if (c >= '0' && c <= '9') {
                width += c;
            } else if (c == ' ') {
                AppendValue(name, width);
                scan = TScan::Text;
            } else if (c == '%') {
                scan = TScan::Name;
            }
            break;
        }
    }
    // A "%" with no name at the end of a line names nothing and gives nothing.
    if (scan != TScan::Text && !name.empty())
        AppendValue(name, width);
}

} // namespace mellodeck
