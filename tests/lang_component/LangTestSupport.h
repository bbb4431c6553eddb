// The first two lookups of the language table, from two threads at the same moment.
#pragma once

#include "lang/CLS_Lang.h"

#include <atomic>
#include <thread>

struct STRUCT_TwoLookups
{
    QString aqstrText[2];
    const CLS_Lang* apLang[2] = {nullptr, nullptr};
};

inline STRUCT_TwoLookups LookUpTwiceAtOnce(const QString& _qstrKey)
{
    STRUCT_TwoLookups structLookups;
    std::atomic<bool> blGo{false};
    auto ask = [&](int _iIndex) {
        while (!blGo) {
            std::this_thread::yield();
        }
        structLookups.aqstrText[_iIndex] = GetLangText(_qstrKey);
        structLookups.apLang[_iIndex] = &CLS_Lang::Instance();
    };
    std::thread first(ask, 0);
    std::thread second(ask, 1);
    blGo = true;
    first.join();
    second.join();
    return structLookups;
}
