// Placeholders until the chart loader is written; delete each as it is implemented.
#include "chart/modBMSLoad.h"
#include "shell/render.h"

namespace modBMSLoad {
Long DecodeId(const std::string&) { return 0; }
Long DigitValue(char32_t) { return 0; }
void LoadBMS() {}
void LoadBMSStart() {}
Long LoadBMSData() { return 0; }
void LoadBMSLine(const std::string&) {}
void ShowLoadProgress() {}
void ClearPlayState() {}
void LoadBMSHeader(const std::string&, const std::string&) {}
void LoadBMSObject(const std::string&, const std::string&) {}
Integer MapChannel(Integer c) { return c; }
void LoadBMSSort() {}
void QuickSortObj(Long, Long) {}
void PlayTimeCount() {}
void ClearObj(ObjRecord& r) { r = ObjRecord{}; }
void SwapObj(ObjRecord& a, ObjRecord& b) { std::swap(a, b); }
void SetRandomSeed(int64_t) {}
void Reset() {}
}  // namespace modBMSLoad

namespace render {
bool ParseArgs(int, char**, Options&, std::string& error) { error = "not yet"; return false; }
int Dump(const Options&) { return 1; }
}  // namespace render
