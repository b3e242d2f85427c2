// The shell's small helpers against the calls in tests/data/shell/helpers.txt.
#include "platform_test_util.h"

TEST(ShellHelpers, Calls) {
    modMain::FillSineTable();
    plattest::CheckCalls(
        "shell/helpers.txt",
        [](const std::string& name, const std::vector<std::string>& a) -> std::string {
            try {
                if (name == "SinDeg") return vb::RoundTrip(modMain::SinDeg(std::stoi(a[0])));
                if (name == "CosDeg") return vb::RoundTrip(modMain::CosDeg(std::stoi(a[0])));
                if (name == "VolumeToAttenuation")
                    return std::to_string(modMain::VolumeToAttenuation(std::stof(a[0])));
                if (name == "Log10") return vb::Str(modMain::Log10(std::stof(a[0])));
                if (name == "ZeroPad") return modMain::ZeroPad(std::stoi(a[0]), std::stoi(a[1]));
                if (name == "RemoveExt") return modMain::RemoveExt(a[0]);
            } catch (const vb::Error& e) {
                return "error " + std::to_string(e.number);
            }
            return "no such helper";
        });
}
