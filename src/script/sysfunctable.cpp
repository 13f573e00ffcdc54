#include "script/sysfunctable.h"

namespace qubo {

namespace {

constexpr uint8_t kPerProperty = 0;
constexpr uint8_t kForwarded = 0;
constexpr uint8_t kInt = 1;
constexpr uint8_t kFloat = 2;
constexpr uint8_t kFlag = 3;
constexpr uint8_t kStr = 4;

}  // namespace

// name, minimum and maximum argument count (-1: no maximum), result type, works on values only
const std::array<SysFuncInfo, kSysFuncCount> kSysFuncs = {{
    {"IntToStr", 1, 2, kStr, true},  // 0
    {"IntToHex", 2, 2, kStr, true},  // 1
    {"GetProp", 2, 2, kPerProperty, false},  // 2
    {"SetProp", 3, 3, kStr, false},  // 3
    {"GetArraySize", 1, 2, kInt, false},  // 4
    {"Length", 1, 1, kInt, true},  // 5
    {"JLength", 1, 1, kInt, true},  // 6
    {"Copy", 2, 3, kStr, true},  // 7
    {"JCopy", 2, 3, kStr, true},  // 8
    {"Delete", 2, 3, kStr, true},  // 9
    {"JDelete", 2, 3, kStr, true},  // 10
    {"Insert", 3, 3, kStr, true},  // 11
    {"JInsert", 3, 3, kStr, true},  // 12
    {"CompareStr", 2, 2, kInt, true},  // 13
    {"CompareText", 2, 2, kInt, true},  // 14
    {"Pos", 2, 2, kInt, true},  // 15
    {"JPos", 2, 2, kInt, true},  // 16
    {"Trim", 1, 1, kStr, true},  // 17
    {"JTrim", 1, 1, kStr, true},  // 18
    {"Exists", 1, 1, kFlag, false},  // 19
    {"Not", 1, 1, kFlag, true},  // 20
    {"SetArray", 2, -1, kInt, false},  // 21
    {"FillMem", 2, 2, kInt, false},  // 22
    {"CopyMem", 2, 2, kInt, false},  // 23
    {"GetCheck", 2, 2, kFlag, false},  // 24
    {"SetCheck", 3, 3, kInt, false},  // 25
    {"Random", 1, 1, kInt, true},  // 26
    {"GetSaveCaption", 1, 1, kStr, false},  // 27
    {"ArrayToString", 1, 2, kStr, false},  // 28
    {"StringToArray", 2, 3, kInt, false},  // 29
    {"IndexOfStr", 2, 4, kInt, false},  // 30
    {"SortStr", 1, 3, kInt, false},  // 31
    {"ListCompo", 1, 4, kInt, false},  // 32
    {"ToClientX", 2, 2, kInt, false},  // 33
    {"ToClientY", 2, 2, kInt, false},  // 34
    {"ToScreenX", 2, 2, kInt, false},  // 35
    {"ToScreenY", 2, 2, kInt, false},  // 36
    {"Int", 1, 1, kInt, true},  // 37
    {"Float", 1, 1, kFloat, true},  // 38
    {"Sin", 1, 1, kFloat, true},  // 39
    {"Cos", 1, 1, kFloat, true},  // 40
    {"Tan", 1, 1, kFloat, true},  // 41
    {"ArcSin", 1, 1, kFloat, true},  // 42
    {"ArcCos", 1, 1, kFloat, true},  // 43
    {"ArcTan", 1, 1, kFloat, true},  // 44
    {"ArcTan2", 2, 2, kFloat, true},  // 45
    {"Hypot", 2, 2, kFloat, true},  // 46
    {"IndexOfMenu", 2, 2, kInt, false},  // 47
    {"Abs", 1, 1, kInt, true},  // 48
    {"Fabs", 1, 1, kFloat, true},  // 49
    {"VarExists", 1, 1, kFlag, false},  // 50
    {"EncodeDate", 3, 3, kFloat, true},  // 51
    {"EncodeTime", 3, 3, kFloat, true},  // 52
    {"DecodeDate", 4, 4, kInt, true},  // 53
    {"DecodeTime", 4, 4, kInt, true},  // 54
    {"GetYear", 1, 1, kInt, true},  // 55
    {"GetMonth", 1, 1, kInt, true},  // 56
    {"GetDay", 1, 1, kInt, true},  // 57
    {"GetHour", 1, 1, kInt, true},  // 58
    {"GetMin", 1, 1, kInt, true},  // 59
    {"GetSec", 1, 1, kInt, true},  // 60
    {"GetWeek", 1, 1, kInt, true},  // 61
    {"GetWeekStr", 1, 1, kStr, true},  // 62
    {"GetWeekJStr", 1, 1, kStr, true},  // 63
    {"FixStr", 1, 1, kStr, true},  // 64
    {"GetDisplayMode", 5, 5, kFlag, false},  // 65
    {"AddArray", 2, 2, kInt, false},  // 66
    {"InsertArray", 3, 3, kInt, false},  // 67
    {"DeleteArray", 3, 3, kInt, false},  // 68
    {"InPrimary", 1, 1, kFlag, false},  // 69
    {"CopyArray", 2, 2, kFlag, false},  // 70
    {"FileExists", 1, 1, kFlag, false},  // 71
    {"LoadTextFile", 2, 2, kFlag, false},  // 72
    {"LowerCase", 1, 1, kStr, true},  // 73
    {"UpperCase", 1, 1, kStr, true},  // 74
    {"ExtractFilePath", 1, 1, kStr, true},  // 75
    {"ExtractFileName", 1, 1, kStr, true},  // 76
    {"ExtractFileExt", 1, 1, kStr, true},  // 77
    {"IsPathDelimiter", 2, 2, kFlag, true},  // 78
    {"AddBackSlash", 1, 1, kStr, true},  // 79
    {"ChangeFileExt", 2, 2, kStr, true},  // 80
    {"IsDelimiter", 3, 3, kFlag, true},  // 81
    {"StringOfChar", 2, 2, kStr, true},  // 82
    {"StringReplace", 3, 5, kStr, true},  // 83
    {"AssignTemp", 1, 1, kFlag, false},  // 84
    {"HanToZen", 1, 1, kStr, true},  // 85
    {"ZenToHan", 1, 1, kStr, true},  // 86
    {"DBCreateTable", 2, 2, kFlag, false},  // 87
    {"DBSetActive", 1, 1, kFlag, false},  // 88
    {"DBAddField", 2, 3, kFlag, false},  // 89
    {"DBSetRecNo", 1, 1, kFlag, false},  // 90
    {"DBInsert", 0, -1, kFlag, false},  // 91
    {"DBDelete", 0, 0, kFlag, false},  // 92
    {"DBGetInt", 1, 1, kInt, false},  // 93
    {"DBSetInt", 2, 2, kFlag, false},  // 94
    {"DBGetFloat", 1, 1, kFloat, false},  // 95
    {"DBSetFloat", 2, 2, kFlag, false},  // 96
    {"DBGetBool", 1, 1, kFlag, false},  // 97
    {"DBSetBool", 2, 2, kFlag, false},  // 98
    {"DBGetStr", 1, 1, kStr, false},  // 99
    {"DBSetStr", 2, 2, kFlag, false},  // 100
    {"DBRecordCount", 0, 1, kInt, false},  // 101
    {"DBFindFirst", 0, 0, kFlag, false},  // 102
    {"DBFindLast", 0, 0, kFlag, false},  // 103
    {"DBFindNext", 0, 0, kFlag, false},  // 104
    {"DBFindPrior", 0, 0, kFlag, false},  // 105
    {"DBLocate", 2, 4, kFlag, false},  // 106
    {"DBLoadTsvFile", 1, 1, kFlag, false},  // 107
    {"DBDirectGetInt", 7, 7, kInt, false},  // 108
    {"DBDirectSetInt", 7, 7, kFlag, false},  // 109
    {"DBDirectGetFloat", 7, 7, kFloat, false},  // 110
    {"DBDirectSetFloat", 7, 7, kFlag, false},  // 111
    {"DBDirectGetBool", 7, 7, kFlag, false},  // 112
    {"DBDirectSetBool", 7, 7, kFlag, false},  // 113
    {"DBDirectGetStr", 7, 7, kStr, false},  // 114
    {"DBDirectSetStr", 7, 7, kFlag, false},  // 115
    {"DBCopyTable", 1, 5, kFlag, false},  // 116
    {"DBDeleteTable", 0, 1, kFlag, false},  // 117
    {"DBInsertTable", 1, 5, kFlag, false},  // 118
    {"DBCopy", 1, 1, kFlag, false},  // 119
    {"DBClearTable", 0, 0, kFlag, false},  // 120
    {"DBSort", 2, 2, kFlag, false},  // 121
    {"DBGetActive", 0, 0, kStr, false},  // 122
    {"DBGetRecNo", 0, 1, kInt, false},  // 123
    {"DBClearRecord", 0, 1, kFlag, false},  // 124
    {"SetWallPaper", 2, 2, kFlag, false},  // 125
    {"Min", 2, 2, kInt, true},  // 126
    {"Max", 2, 2, kInt, true},  // 127
    {"Fmin", 2, 2, kFloat, true},  // 128
    {"Fmax", 2, 2, kFloat, true},  // 129
    {"GetVarType", 1, 1, kInt, false},  // 130
    {"GetEnabled", 2, 2, kFlag, false},  // 131
    {"SetEnabled", 3, 3, kInt, false},  // 132
    {"AddDelimiter", 2, 2, kStr, true},  // 133
    {"ListSaveCaption", 0, 2, kInt, false},  // 134
    {"OpenUrl", 1, 1, kFlag, false},  // 135
    {"Calc", 1, 1, kStr, false},  // 136
    {"SaveScreen", 1, 5, kFlag, false},  // 137
    {"StrToIntDef", 2, 2, kInt, true},  // 138
    {"StrToFloatDef", 2, 2, kFloat, true},  // 139
    {"GetVisible", 2, 2, kFlag, false},  // 140
    {"SetVisible", 3, 3, kFlag, false},  // 141
    {"GetHistoryCount", 1, 1, kInt, false},  // 142
    {"GetHistoryMaxCount", 1, 1, kInt, false},  // 143
    {"SetHistoryMaxCount", 2, 2, kFlag, false},  // 144
    {"GetGroupIndex", 2, 2, kInt, false},  // 145
    {"GetSelected", 2, 2, kFlag, false},  // 146
    {"SetSelected", 3, 3, kFlag, false},  // 147
    {"SelectOpenFile", 1, 2, kFlag, false},  // 148
    {"SelectSaveFile", 1, 2, kFlag, false},  // 149
    {"SelectDirectory", 1, 1, kFlag, false},  // 150
    {"ExtractFile", 1, 3, kFlag, false},  // 151
    {"Chr", 1, 1, kStr, true},  // 152
    {"Ord", 1, 1, kInt, true},  // 153
    {"InCabinet", 1, 1, kFlag, false},  // 154
    {"PushVar", 1, -1, kFlag, false},  // 155
    {"PopVar", 0, 0, kFlag, false},  // 156
    {"DeleteStack", 1, 1, kFlag, false},  // 157
    {"CopyFile", 2, 2, kFlag, false},  // 158
    {"DBGetTableCount", 0, 0, kInt, false},  // 159
    {"DBGetTable", 2, 3, kFlag, false},  // 160
    {"CreateObject", 2, 3, kFlag, false},  // 161
    {"DeleteObject", 1, 1, kFlag, false},  // 162
    {"GetItem", 2, 2, kStr, false},  // 163
    {"UniqueArray", 1, 1, kInt, false},  // 164
    {"TrimArray", 1, 2, kInt, false},  // 165
    {"GetImeOpened", 1, 1, kFlag, false},  // 166
    {"SetImeOpened", 2, 2, kFlag, false},  // 167
    {"Alert", 1, 1, kFlag, false},  // 168
}};

int FindSysFunc(std::string_view name) {
  for (int i = 0; i < kSysFuncCount; ++i) {
    if (kSysFuncs[static_cast<size_t>(i)].name == name) return i;
  }
  return -1;
}

// name, type, array-valued
const std::array<SysVarInfo, kSysVarCount> kSysVars = {{
    {"@Result", kForwarded, false},  // 0
    {"@LClick", kFlag, false},  // 1
    {"@RClick", kFlag, false},  // 2
    {"@LPush", kFlag, false},  // 3
    {"@RPush", kFlag, false},  // 4
    {"@MouseX", kInt, false},  // 5
    {"@MouseY", kInt, false},  // 6
    {"@TextDelay", kInt, false},  // 7
    {"@HistoryCount", kInt, false},  // 8
    {"@ParamCount", kInt, false},  // 9
    {"@ParamStr", kStr, true},  // 10
    {"@Sender", kStr, false},  // 11
    {"@ScrWidth", kInt, false},  // 12
    {"@ScrHeight", kInt, false},  // 13
    {"@TickCount", kInt, false},  // 14
    {"@PCTickCount", kInt, false},  // 15
    {"@UpdateCount", kInt, false},  // 16
    {"@Year", kInt, false},  // 17
    {"@Month", kInt, false},  // 18
    {"@Day", kInt, false},  // 19
    {"@Week", kInt, false},  // 20
    {"@Hour", kInt, false},  // 21
    {"@Min", kInt, false},  // 22
    {"@Sec", kInt, false},  // 23
    {"@Fonts", kStr, false},  // 24
    {"@FixedFonts", kStr, false},  // 25
    {"@FullScr", kFlag, false},  // 26
    {"@Cursor", kStr, false},  // 27
    {"@SelStr", kStr, false},  // 28
    {"@SelIndex", kInt, false},  // 29
    {"@Pi", kFloat, false},  // 30
    {"@CGDither", kFlag, false},  // 31
    {"@1Hour", kFloat, false},  // 32
    {"@1Min", kFloat, false},  // 33
    {"@1Sec", kFloat, false},  // 34
    {"@KeyPush", kFlag, true},  // 35
    {"@KeyClick", kFlag, true},  // 36
    {"@DisplayModeCount", kInt, false},  // 37
    {"@DisplayModeIndex", kInt, false},  // 38
    {"@Title", kStr, false},  // 39
    {"@SoundON", kFlag, false},  // 40
    {"@ActiveCompo", kStr, false},  // 41
    {"@KeyRepeat", kFlag, true},  // 42
    {"@HistoryMaxCount", kInt, false},  // 43
    {"@Temp", kForwarded, false},  // 44
    {"@MidiPort", kStr, false},  // 45
    {"@MidiPorts", kStr, true},  // 46
    {"@WheelDown", kFlag, false},  // 47
    {"@WheelUp", kFlag, false},  // 48
    {"@IsDebug", kFlag, false},  // 49
    {"@StackCount", kInt, false},  // 50
}};

}  // namespace qubo
