// What the channel pages tell the user of the channel table's answers.
#pragma once

#include "channels/CLS_ChannelTable.h"

#include <QString>

class CLS_ChannelNotice
{
public:
    CLS_ChannelNotice() = delete;

    // The program's notice: title "提示", one button "确定".
    static void Show(const QString& _qstrText);
    // The text of a save's answer: "保存成功", or what failed and why.
    static QString SaveText(const STRUCT_ChannelAnswer& _structAnswer);
};
