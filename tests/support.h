// What every test builds on: one reset of the whole program, a temporary folder, files, text and
// picture comparisons that explain a mismatch, case tables and the data folders.
//
// Case tables (ReadCases) are text files of records separated by blank lines. Each line of a
// record is "key: value" (the first ": " splits, surrounding spaces are trimmed); a line starting
// with '#' is a comment. Values are single lines with escapes: \n, \r, \t, \\ and \xHH for any
// byte, so a chart's lines or a Shift_JIS title fit in one value. Example:
//
//     # the title line of a chart
//     name: plain title
//     chart: #TITLE Song\r\n#00111:01\r\n
//     Title: Song
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "chart/modBMSLoad.h"
#include "display/modDraw.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "play/modCount.h"
#include "play/modKey.h"
#include "shell/frmMain.h"
#include "shell/modMain.h"
#include "shell/settings.h"
#include "sound/modSound.h"

namespace testsupport {

// Every module back to its start-up state (each module's Reset, the shell's hooks installed), a
// fresh headless device, the process end thrown as plat::ProcessExit, no command line, AppTitle
// "Korvane 1.0.0", and neither krv.ini nor the instance hand-over in use. Returns the device.
plat::HeadlessDevice& ResetAll();

// Runs the renderer's frames (a load first, if one is asked for) until the play time reaches `ms`;
// false when it has not after `frames` frames.
bool PlayUntil(int64_t ms, int frames);

// A fresh folder under /tmp, removed with everything in it when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// The base of the test fixtures: ResetAll before each test (and after it, so a test without the
// fixture starts clean too), and a temporary folder of its own.
class Test : public ::testing::Test {
  protected:
    void SetUp() override { dev = &ResetAll(); }
    void TearDown() override { ResetAll(); }
    plat::HeadlessDevice* dev = nullptr;
    TempDir tmp;
};

// Whole file as bytes ("" when it cannot be read); bytes to a file, replacing it.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

// Equal texts, or a failure that lists the lines that differ, numbered, with the lines around
// them (- expected, + actual).
::testing::AssertionResult SameText(const std::string& expected, const std::string& actual);

// With KORVANE_UPDATE_EXPECTED=1 in the environment, the expected files are rewritten from what
// the program produced instead of compared (review the change with git diff, then commit).
bool UpdatingExpected();
// The text equals the file's contents (SameText), or, when updating, becomes them.
::testing::AssertionResult SameTextAsFile(const std::string& expectedPath,
                                          const std::string& actual);

// One record of a case table; `line` is where it starts in the file.
struct Case {
    int line = 0;
    std::map<std::string, std::string> fields;
    bool has(const std::string& key) const { return fields.count(key) != 0; }
    // The value of `key`; a missing key fails the test and gives "".
    std::string at(const std::string& key) const;
};
std::vector<Case> ReadCases(const std::string& path);

// The picture equals the PNG file pixel by pixel. On a mismatch the picture is written to
// KORVANE_BINARY_DIR/test-output/<name of the PNG> and the failure names the first pixel that
// differs. When updating expected files, the picture becomes the PNG file.
::testing::AssertionResult SamePicture(const std::string& goldenPng, const plat::Image& actual);

// KORVANE_SOURCE_DIR/tests/data/<relative>.
std::string DataPath(const std::string& relative);
// The folder of the shared third-party charts (../shared/testdata); "" when it is not there.
std::string SharedCharts();
// A shared chart found by its file name anywhere below that folder; "" when absent.
std::string FindSharedChart(const std::string& name);

}  // namespace testsupport

// Declares `var` as the path of a shared chart, or skips the test when it is not there.
#define REQUIRE_SHARED_CHART(var, name)                   \
    std::string var = testsupport::FindSharedChart(name); \
    if (var.empty()) GTEST_SKIP() << "../shared/testdata with " << name << " is absent"
