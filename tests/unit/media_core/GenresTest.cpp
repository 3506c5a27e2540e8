#include <gtest/gtest.h>

#include "media/core/Genres.h"

using namespace mellodeck;

TEST(Genres, NamesAsStoredAndLookupIgnoringCase) {
    EXPECT_EQ(ID3GenreName(0), "Blues");
    EXPECT_EQ(ID3GenreName(17), "Rock");
    EXPECT_EQ(ID3GenreName(85), "Bebob");
    EXPECT_EQ(ID3GenreName(92), "Progessive Rock");
    EXPECT_EQ(ID3GenreName(123), "A capella");
    EXPECT_EQ(ID3GenreName(125), "Dance Hall");
    EXPECT_EQ(ID3GenreName(126), "");
    EXPECT_EQ(ID3GenreName(255), "");
    EXPECT_EQ(ID3GenreName(-1), "");
    EXPECT_EQ(ID3GenreIndex(L"rock"), 17);
    EXPECT_EQ(ID3GenreIndex(L"Rock "), -1);
    EXPECT_EQ(AppleGenreCode(L"rock"), 18);
    EXPECT_EQ(AppleGenreCode(L"Blues"), 0);
    EXPECT_EQ(AppleGenreCode(L"EASY LISTENING"), 100);
}

TEST(Genres, TrackTexts) {
    struct Row {
        int Total, Number, Style;
        const char* Text;
    } rows[] = {{12, 5, 3, "05/12"}, {0, 5, 0, "5"}, {7, 3, 3, "03/07"}, {9, 12, 1, "12"},
                {9, 4, 1, "04"},     {10, 2, 2, "2/10"}, {123, 45, 3, "45/123"}};
    for (const Row& r : rows)
        EXPECT_EQ(FormatTrackText(r.Total, r.Number, r.Style), r.Text);

    struct Parse {
        const char* Text;
        int Number, Total;
    } parses[] = {{"7/12", 7, 12}, {"7", 7, -1}, {"/12", 0, 12}, {"7/", 7, -1}, {"3\\9", 3, 9},
                  {"x", 0, -1},    {"", 0, -1},  {"4/x", 4, 0}};
    for (const Parse& p : parses) {
        int number = -5, total = -1;
        ParseTrackText(p.Text, number, total);
        EXPECT_EQ(number, p.Number) << p.Text;
        EXPECT_EQ(total, p.Total) << p.Text;
    }
}
