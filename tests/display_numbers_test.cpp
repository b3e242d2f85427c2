// The number pictures of the panels (modDraw::Fmt) follow tests/data/display/numbers.txt.
#include "display/modDraw.h"
#include "support.h"

namespace {

TEST(NumberPictures, FollowTheirTable) {
    for (const testsupport::Case& c :
         testsupport::ReadCases(testsupport::DataPath("display/numbers.txt"))) {
        double number = std::stod(c.at("number"));
        if (c.has("single")) number = static_cast<float>(number);
        EXPECT_EQ(modDraw::Fmt(number, c.at("picture"), c.has("single")), c.at("text"))
            << "the case at line " << c.line;
    }
}

}  // namespace
