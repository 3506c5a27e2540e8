#pragma once
// A small line-template engine. Each template line is copied to the result with its variable references
// replaced by values:
//   %Name        the value of Name; the reference ends at " ", "%" or "\" (the ending character is copied,
//                except "\", which joins the value to the text after it)
//   %Name:W      the value left-justified in W columns (longer values are kept whole); a space ends the
//                width and is dropped, "%" goes back to extending the name
// A reference still open at the end of the line is resolved there. Names are 8-bit text.
#include <functional>
#include <string>
#include <vector>

namespace mellodeck {

class TStringParser {
public:
    // Asked first for every variable: (sender, name as written, value to fill in).
    using TValueEvent = std::function<void(TStringParser& sender, const std::string& name, std::string& value)>;

    // Widths beyond this are taken as this many columns, so a stray long digit run cannot demand an
    // absurd amount of padding.
    static constexpr size_t kMaxWidth = 4096;

    TStringParser() = default;
    virtual ~TStringParser() = default;
    TStringParser(const TStringParser&) = delete;
    TStringParser& operator=(const TStringParser&) = delete;

    // Copies the lines into the template and evaluates all of them into the result.
    void SetTemplate(const std::vector<std::string>& lines);
    const std::vector<std::string>& Template() const { return FTemplate; }
    // One line per template line, in order; variables may add lines ahead of the line naming them.
    const std::vector<std::string>& Result() const { return FResult; }
    // Empties both the template and the result.
    void Clear();

    // Evaluates one line into Output().
    void EvaluateLine(const std::string& line);
    const std::string& CurrentLine() const { return FCurrentLine; }
    const std::string& Output() const { return FOutput; }

    const TValueEvent& OnGetValue() const { return FOnGetValue; }
    void SetOnGetValue(TValueEvent handler) { FOnGetValue = std::move(handler); }

protected:
    // The value of one variable. The base engine answers with the callback's value, empty without one.
    virtual std::string ResolveValue(const std::string& name);
    // Lets a variable put whole lines into the result ahead of the line being evaluated.
    void AddResultLine(std::string line) { FResult.push_back(std::move(line)); }

private:
    void AppendValue(const std::string& name, const std::string& width);

    std::vector<std::string> FTemplate;
    std::vector<std::string> FResult;
    std::string FCurrentLine;
    std::string FOutput;
    TValueEvent FOnGetValue;
};

} // namespace mellodeck
