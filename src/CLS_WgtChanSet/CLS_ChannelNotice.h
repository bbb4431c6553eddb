// What the channel pages tell the user of the channel table's answers (shown as the program's notice).
#pragma once

#include "channels/CLS_ChannelTable.h"

#include <QString>

class CLS_ChannelNotice
{
public:
    CLS_ChannelNotice() = delete;

    // The text of a save's answer: "保存成功", or what failed and why.
    static QString SaveText(const STRUCT_ChannelAnswer& _structAnswer);
};
