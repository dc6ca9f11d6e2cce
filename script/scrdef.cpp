// The opcode tables. The command rows follow the opcodes 64-187 one by one; the unused
// opcodes keep empty rows so that the opcode is the row number plus 64.
#include "script/scrdef.h"

#include <cstring>

namespace {

const char* const kOpNames[49] = {
    "NOP",    "PUSH",   "POP",    "JMP",    "JZ",    "JNZ",   "CALL",   nullptr, "DUP",    "SWAP",
    "DUP2",   "SWAP2",  nullptr,  nullptr,  "RET",   "EXIT",  "LNOT",   nullptr, nullptr,  "MUL",
    "DIV",    "REM",    "ADD",    "SUB",    "LT",    "LE",    "GT",     "GE",    "EQ",     "NE",
    "LAND",   "LOR",    "SETF",   "GETF",   "SETSF", "GETSF", "SETV",   "GETV",  "SETSV",  "INCSV",
    "SETSTR", "GETSTR", "SETRES", "GETRES", "GETCF", "GETCV", "GETARG", nullptr, "SCNCHG",
};

const ScriptCommandDesc kCommands[kScriptLastCommand - kScriptFirstCommand + 1] = {
    {"Text", 1, 0},            // 64
    {"NewLine", 0, 0},         // 65
    {"NewPage", 0, 0},         // 66
    {"TextShow", 0, 0},        // 67
    {"TextHide", 0, 0},        // 68
    {"TextSpeed", 1, 0},       // 69
    {"NovelMode", 1, 0},       // 70
    {"Locate", 2, 0},          // 71
    {"Wait", 1, 0},            // 72
    {"KeyWait", 0, 0},         // 73
    {"SkipDisable", 1, 0},     // 74
    {"Voice", 1, 0},           // 75
    {"VoiceVol", 1, 0},        // 76
    {"VoicePos", 2, 0},        // 77
    {"BGMPlayF", 2, 0},        // 78
    {"BGMStopF", 1, 0},        // 79
    {"BGMVol", 1, 0},          // 80
    {"SongPlayF", 2, 0},       // 81
    {"SongStopF", 1, 0},       // 82
    {"SongVol", 1, 0},         // 83
    {"SEPlay", 1, 0},          // 84
    {"SEStop", 0, 0},          // 85
    {"SEVol", 1, 0},           // 86
    {"SEPos", 2, 0},           // 87
    {"EnvPlayF", 2, 0},        // 88
    {"EnvStopF", 1, 0},        // 89
    {"EnvVol", 1, 0},          // 90
    {"EnvPos", 2, 0},          // 91
    {nullptr, 0, 0},           // 92
    {nullptr, 0, 0},           // 93
    {nullptr, 0, 0},           // 94
    {nullptr, 0, 0},           // 95
    {"SetBG", 1, 0},           // 96
    {"SetWhite", 0, 0},        // 97
    {"SetBlack", 0, 0},        // 98
    {"Fade", 1, 0},            // 99
    {"FadeBG", 2, 0},          // 100
    {"WhiteOut", 1, 0},        // 101
    {"BlackOut", 1, 0},        // 102
    {"ActionChar", 0, 0},      // 103
    {"SetShowChar", 4, 0},     // 104
    {"ShowCharIL", 2, 0},      // 105
    {"ShowCharCH", 2, 0},      // 106
    {"SetHideChar", 3, 0},     // 107
    {"HideCharIL", 1, 0},      // 108
    {"HideCharID", 1, 0},      // 109
    {"SetMoveChar", 3, 0},     // 110
    {"MoveCharIL", 2, 0},      // 111
    {"MoveCharCH", 2, 0},      // 112
    {"AllMoveChar", 1, 0},     // 113
    {"AllHideChar", 0, 0},     // 114
    {"SetChangeChar", 2, 0},   // 115
    {"ChangeChar", 2, 0},      // 116
    {"SetPriority", 1, 0},     // 117
    {nullptr, 0, 0},           // 118
    {nullptr, 0, 0},           // 119
    {nullptr, 0, 0},           // 120
    {nullptr, 0, 0},           // 121
    {nullptr, 0, 0},           // 122
    {nullptr, 0, 0},           // 123
    {nullptr, 0, 0},           // 124
    {nullptr, 0, 0},           // 125
    {nullptr, 0, 0},           // 126
    {nullptr, 0, 0},           // 127
    {"Effect", 1, 0},          // 128
    {"ShowCursor", 0, 0},      // 129
    {"HideCursor", 0, 0},      // 130
    {"ShowPlace", 1, 0},       // 131
    {"SetDate", 1, 0},         // 132
    {"GetDate", 0, 1},         // 133
    {"GetMonth", 0, 1},        // 134
    {"GetDay", 0, 1},          // 135
    {"GetWeek", 0, 1},         // 136
    {"SetTime", 1, 0},         // 137
    {"GetTime", 0, 1},         // 138
    {"GetHour", 0, 1},         // 139
    {"GetMin", 0, 1},          // 140
    {"SetWeather", 1, 0},      // 141
    {"GetWeather", 0, 1},      // 142
    {"Select", 4, 1},          // 143
    {"ShowOpening", 0, 0},     // 144
    {"ShowEnding", 1, 0},      // 145
    {"GoTitle", 0, 0},         // 146
    {"GoBattle", 1, 1},        // 147
    {"ExSelect", 1, 1},        // 148
    {nullptr, 0, 0},           // 149
    {nullptr, 0, 0},           // 150
    {nullptr, 0, 0},           // 151
    {"AddDay", 1, 0},          // 152
    {"AddMin", 1, 0},          // 153
    {"RainVol", 1, 0},         // 154
    {nullptr, 0, 0},           // 155
    {nullptr, 0, 0},           // 156
    {"DateShow", 1, 0},        // 157
    {"DateHide", 1, 0},        // 158
    {"TimeShow", 1, 0},        // 159
    {"TimeHide", 1, 0},        // 160
    {"BGMPlay", 1, 0},         // 161
    {"BGMStop", 0, 0},         // 162
    {"SongPlay", 1, 0},        // 163
    {"SongStop", 0, 0},        // 164
    {"EnvPlay", 1, 0},         // 165
    {"EnvStop", 0, 0},         // 166
    {"FreePlayEnable", 1, 0},  // 167
    {"SetRainPower", 1, 0},    // 168
    {"GetRainPower", 0, 1},    // 169
    {"SetRainLevel", 1, 0},    // 170
    {"GetRainLevel", 0, 1},    // 171
    {"AddRainPower", 1, 0},    // 172
    {"SubRainPower", 1, 0},    // 173
    {"AddRainPowLv", 1, 0},    // 174
    {"SubRainPowLv", 1, 0},    // 175
    {"SetStage", 1, 0},        // 176
    {"SpeakPos", 1, 0},        // 177
    {"SpeakPosAll", 0, 0},     // 178
    {"SpeakClear", 0, 0},      // 179
    {"SpeakOn", 1, 0},         // 180
    {"SpeakOff", 0, 0},        // 181
    {"FadeSpeed", 1, 0},       // 182
    {"ShowMovie", 1, 0},       // 183
    {"Random", 1, 1},          // 184
    {"SpeakChar", 1, 0},       // 185
    {"SetAlbum", 1, 0},        // 186
    {"BacklogClear", 0, 0},    // 187
};

}  // namespace

const char* ScriptOpName(int op) {
    return op >= 0 && op < 49 ? kOpNames[op] : nullptr;
}

int ScriptOpByName(const char* name) {
    for (int op = 0; op < 49; ++op)
        if (kOpNames[op] && std::strcmp(kOpNames[op], name) == 0) return op;
    return -1;
}

const ScriptCommandDesc* ScriptCommand(int op) {
    if (op < kScriptFirstCommand || op > kScriptLastCommand) return nullptr;
    const ScriptCommandDesc* d = &kCommands[op - kScriptFirstCommand];
    return d->name ? d : nullptr;
}

int ScriptCommandByName(const char* name) {
    for (int op = kScriptFirstCommand; op <= kScriptLastCommand; ++op) {
        const ScriptCommandDesc* d = &kCommands[op - kScriptFirstCommand];
        if (d->name && std::strcmp(d->name, name) == 0) return op;
    }
    return -1;
}
