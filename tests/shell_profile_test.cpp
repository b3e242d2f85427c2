// The krv.ini text engine: what the Windows profile functions would read and write.
#include <gtest/gtest.h>

#include <string>

#include "shell/profile.h"

namespace {

using profile::Find;
using profile::Store;

TEST(ProfileFind, NamesAreCaseInsensitiveAndBlanksAroundThemIgnored) {
    std::string text = "  [ main ]  \n\t kEy \t=  Korvane  \n[OPTION]\nhs=0.5\n";
    EXPECT_EQ(Find(text, "Main", "Key"), "Korvane");
    EXPECT_EQ(Find(text, "MAIN", "KEY"), "Korvane");
    EXPECT_EQ(Find(text, "Option", "HS"), "0.5");
    EXPECT_EQ(Find(text, "Option", "Key"), std::nullopt);
    EXPECT_EQ(Find(text, "Missing", "Key"), std::nullopt);
    EXPECT_EQ(Find("", "Main", "Key"), std::nullopt);
}

TEST(ProfileFind, RemovesOnePairOfMatchingEnclosingQuotes) {
    std::string text =
        "[Main]\na=\"Korvane\"\nb=' spaced path '\nc=\"\"\"x\"\"\"\nd=\"unclosed\ne='mixed\"\n"
        "f=\"\nempty=\n";
    EXPECT_EQ(Find(text, "Main", "a"), "Korvane");
    EXPECT_EQ(Find(text, "Main", "b"), " spaced path ");
    EXPECT_EQ(Find(text, "Main", "c"), "\"\"x\"\"");
    EXPECT_EQ(Find(text, "Main", "d"), "\"unclosed");
    EXPECT_EQ(Find(text, "Main", "e"), "'mixed\"");
    EXPECT_EQ(Find(text, "Main", "f"), "\"");
    EXPECT_EQ(Find(text, "Main", "empty"), "");
}

TEST(ProfileFind, FirstSectionAndFirstKeyWinLikeWindows) {
    std::string text = "[Option]\nBGA=1\nbga=2\n[Main]\nKey=Korvane\n[option]\nBGA=4\nEffect=7\n";
    EXPECT_EQ(Find(text, "Option", "BGA"), "1");
    // Only the first section of a name is searched.
    EXPECT_EQ(Find(text, "Option", "Effect"), std::nullopt);
}

TEST(ProfileFind, IgnoresLinesThatAreNeitherSectionsNorKeys) {
    std::string text =
        "Key=before any section\n[Main\nKey=no header yet\n[Main]\njunk line\n"
        ";Key=comment\nKey=yes\n";
    EXPECT_EQ(Find(text, "Main", "Key"), "yes");
    EXPECT_EQ(Find(text, "Main", ";Key"), "comment");
}

TEST(ProfileFind, SurvivesBinaryJunkAndHugeLines) {
    std::string junk;
    for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 131 + 7) % 256);
    std::string huge(1 << 20, 'x');
    std::string text = junk + "\n[Main]\r\n" + huge + "=" + huge + "\r\n" + std::string(3, '\0') +
                       "\r\nKey=Korvane\r\n\r" + junk;
    EXPECT_EQ(Find(text, "Main", "Key"), "Korvane");
    EXPECT_EQ(Find(text, "Main", huge)->size(), huge.size());
    std::string nul = std::string("[Main]\nRecent=ab") + '\0' + "cd\n";
    EXPECT_EQ(Find(nul, "Main", "Recent"), std::string("ab") + '\0' + "cd");
}

TEST(ProfileStore, UpdatesInPlaceAndKeepsEveryOtherByte) {
    std::string text = "; my settings\n[Main]\nKey = Korvane\n  X=15  \n\n[Option]\nHS=1\n";
    EXPECT_EQ(Store(text, "main", "x", "300"),
              "; my settings\n[Main]\nKey = Korvane\nX=300\n\n[Option]\nHS=1\n");
    // The first of duplicate keys is the one updated.
    EXPECT_EQ(Store("[A]\nk=1\nk=2\n", "A", "K", "3"), "[A]\nk=3\nk=2\n");
}

TEST(ProfileStore, NewKeyGoesAfterTheLastLineOfItsSection) {
    std::string text = "[Main]\nKey=Korvane\n\n[Option]\nHS=1\n\n";
    EXPECT_EQ(Store(text, "Main", "RecentFile", "\"a b.bms\""),
              "[Main]\nKey=Korvane\nRecentFile=\"a b.bms\"\n\n[Option]\nHS=1\n\n");
    EXPECT_EQ(Store(text, "OPTION", "BGA", "3"),
              "[Main]\nKey=Korvane\n\n[Option]\nHS=1\nBGA=3\n\n");
    EXPECT_EQ(Store("[Main]\n[Option]\n", "Main", "X", "0"), "[Main]\nX=0\n[Option]\n");
    // Any other line up to the next header belongs to the section, a comment too.
    EXPECT_EQ(Store("[Main]\nKey=1\n; next: options\n\n[Option]\n", "Main", "X", "0"),
              "[Main]\nKey=1\n; next: options\nX=0\n\n[Option]\n");
}

TEST(ProfileStore, NewSectionAtTheEndWithTheFilesLineEnding) {
    EXPECT_EQ(Store("", "Main", "Key", "Korvane"), "[Main]\nKey=Korvane\n");
    EXPECT_EQ(Store("[Main]\nKey=Korvane", "Option", "HS", "1"),
              "[Main]\nKey=Korvane\n[Option]\nHS=1\n");
    EXPECT_EQ(Store("[Main]\r\nKey=Korvane\r\n", "Main", "X", "0"),
              "[Main]\r\nKey=Korvane\r\nX=0\r\n");
    EXPECT_EQ(Store("[Main]\r\nKey=1\r\n", "Main", "Key", "2"), "[Main]\r\nKey=2\r\n");
    EXPECT_EQ(Store("[Main]\r\nKey=1\r\n", "Option", "HS", "1"),
              "[Main]\r\nKey=1\r\n[Option]\r\nHS=1\r\n");
}

TEST(ProfileStore, KeepsJunkAndReadsBackWhatItWrote) {
    std::string junk = std::string("\xff\xfe\0\x01[\x80]=\r\r\n", 11) + std::string(100000, '=');
    std::string text = junk;
    const char* keys[] = {"Key", "X", "Y", "AlwaysOnTop", "HS", "BGA"};
    for (int round = 0; round < 3; ++round)
        for (const char* k : keys)
            text = Store(text, round % 2 ? "option" : "Main", k, std::to_string(round) + k);
    EXPECT_EQ(text.compare(0, junk.size(), junk), 0);
    for (const char* k : keys) {
        EXPECT_EQ(Find(text, "MAIN", k), "2" + std::string(k));
        EXPECT_EQ(Find(text, "Option", k), "1" + std::string(k));
    }
}

}  // namespace
