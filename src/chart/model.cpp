#include "chart/modBMSLoad.h"

namespace modBMSLoad {

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

vb::Array<Single, 0, 1295> BpmTable;
vb::Array<Long, 0, 1295> StopTable;
vb::Array<BgaRecord, 0, 1295> BgaTable;

vb::Array<MeasureRecord, 0, 999> MeasureInfo;
vb::Array<ObjRecord, 0, 999> BarLine;
vb::DynArray<ObjRecord> Obj;
Long ObjCount = 0;

}  // namespace modBMSLoad
