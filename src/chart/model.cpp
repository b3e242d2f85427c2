#include "chart/chart_internal.h"
#include "chart/modBMSLoad.h"

namespace modBMSLoad {

namespace {
vb::DynArray<ObjRecord> InitialObj() {
    vb::DynArray<ObjRecord> a;
    a.ReDim(256);
    return a;
}
}  // namespace

std::string BMSFileName, BMSFolder, PathWav;
Long Player = 1;
std::string Genre, Title, Artist;
Single Bpm = 130.0f, BaseBpm = 130.0f;
Long PlayLevel = 0, Rank = 3;
Single Total = 0, VolWav = 1.0f;
Integer LnObj = 0;
vb::Array<Long, 0, 2> NoteCount;
Integer MaxMeasure = 0;
Currency TotalTime;
Long RandomValue = 0;
bool IfFlag = true;
std::string RandomText, DisplayTitle;
Integer StartMeasure = 0;
Long LoadTime = 0;
Long LastDotTime = 0;
bool ReadingLines = false;

vb::Array<Single, 0, 1295> BpmTable;
vb::Array<Long, 0, 1295> StopTable;
vb::Array<BgaRecord, 0, 1295> BgaTable;

vb::Array<MeasureRecord, 0, 999> MeasureInfo;
vb::Array<ObjRecord, 0, 999> BarLine;
vb::DynArray<ObjRecord> Obj = InitialObj();
Long ObjCount = 0;

void Reset() {
    BMSFileName.clear();
    BMSFolder.clear();
    PathWav.clear();
    ReadingLines = false;
    ResetHeader();
    Rank = 3;  // start-up gives 3; a load's default is 2
    RandomValue = 0;
    IfFlag = true;
    RandomText.clear();
    DisplayTitle.clear();
    StartMeasure = 0;
    LoadTime = 0;
    LoadWallMs = 0;
    ResetMediaNames();
    ResetSoundOrder();
    LastDotTime = 0;
    BpmTable.Fill(0);
    StopTable.Fill(0);
    BgaTable.Fill(BgaRecord{});
    MeasureInfo.Fill(MeasureRecord{});
    BarLine.Fill(ObjRecord{});
    Obj = InitialObj();
    ObjCount = 0;
    ResetRandom();
}

}  // namespace modBMSLoad
