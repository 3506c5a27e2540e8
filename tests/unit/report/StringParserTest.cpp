#include "report/StringParser.h"

#include <gtest/gtest.h>

#include <map>

namespace mellodeck {
namespace {

// A plain engine whose values come from a map through the value callback.
struct MapParser {
    TStringParser Parser;
    std::map<std::string, std::string> Values{{"A", "aa"}, {"B", "bbb"}, {"AB", "ab!"}, {"Build", "1.2.3.4"}};
    std::vector<std::string> Asked;

    MapParser() {
        Parser.SetOnGetValue([this](TStringParser& sender, const std::string& name, std::string& value) {
            EXPECT_EQ(&sender, &Parser);
            Asked.push_back(name);
            auto it = Values.find(name);
            if (it != Values.end())
                value = it->second;
        });
    }
    std::string Eval(const std::string& line) {
        Parser.EvaluateLine(line);
        return Parser.Output();
    }
};

TEST(StringParser, TemplateLanguage) {
    struct Case {
        const char* Line;
        const char* Expected;
    } cases[] = {
        {"no references", "no references"},
        {"x %A y", "x aa y"},                        // the ending space is copied
        {"%A\\ %B", "aa bbb"},                       // "\" is dropped, the space after it copied
        {"%A\\B", "aaB"},                            // "\" joins the value to the text after it
        {"%A%B", "aa%B"},                            // "%" ends the name and is copied
        {"%Build:15 Started:", "1.2.3.4        Started:"}, // padded to 15, the space after the width dropped
        {"[%A:5|]", "[aa   "},                       // other characters inside a width are ignored
        {"%A:2%B x", "ab! x"},                       // "%" in a width goes back to the name (now "AB"); no cut
        {"%B:1 |", "bbb|"},                          // longer than the width: kept whole
        {"%A: x", "aax"},                            // empty width: no padding, the space still dropped
        {"end %A", "end aa"},                        // reference at the end of the line
        {"end %A:4", "end aa  "},                    // with a width at the end of the line
        {"%%A", "aa"},                               // an empty name swallows the ending character
        {"% \\A y", "aa y"},
        {"50%", "50"},                               // a bare "%" at the end names nothing
        {"%:A x", " x"},                             // ":" right after "%" is part of the name
    };
    for (const Case& c : cases) {
        MapParser p;
        EXPECT_EQ(p.Eval(c.Line), c.Expected) << "line: " << c.Line;
    }
}

TEST(StringParser, NamesAreAskedAsWritten) {
    MapParser p;
    p.Eval("%A %Build:3 %x\\%AB");
    EXPECT_EQ(p.Asked, (std::vector<std::string>{"A", "Build", "x", "AB"}));
}

TEST(StringParser, HugeWidthIsCapped) {
    MapParser p;
    const std::string out = p.Eval("%A:999999999999999999999999 |");
    ASSERT_EQ(out.size(), TStringParser::kMaxWidth + 1);
    EXPECT_EQ(out.substr(0, 3), "aa ");
    EXPECT_EQ(out.back(), '|');
}

TEST(StringParser, NoCallbackGivesEmptyValues) {
    TStringParser parser;
    parser.EvaluateLine("[%A:3 ]");
    EXPECT_EQ(parser.Output(), "[   ]");
}

TEST(StringParser, SetTemplateEvaluatesEveryLineAndClearEmpties) {
    MapParser p;
    p.Parser.SetTemplate({"%A", "", "b %B"});
    EXPECT_EQ(p.Parser.Template(), (std::vector<std::string>{"%A", "", "b %B"}));
    EXPECT_EQ(p.Parser.Result(), (std::vector<std::string>{"aa", "", "b bbb"}));
    // A new template replaces the old result rather than adding to it.
    p.Parser.SetTemplate({"%B"});
    EXPECT_EQ(p.Parser.Result(), (std::vector<std::string>{"bbb"}));
    p.Parser.Clear();
    EXPECT_TRUE(p.Parser.Template().empty());
    EXPECT_TRUE(p.Parser.Result().empty());
}

} // namespace
} // namespace mellodeck
