#include "CLS_CameraBusiness.h"

#include "Log.h"

CLS_CameraBusiness& CLS_CameraBusiness::Instance()
{
    static CLS_CameraBusiness s_library;
    return s_library;
}

int CLS_CameraBusiness::Finish(const char* _pcCall, const CLS_JsonWriter& _jsonArgs, const char* _pcRefused,
                               int _iOk, int _iFail)
{
    const int iResult = _pcRefused == nullptr ? _iOk : _iFail;
    const std::string strLine = m_clsJournal.AppendCall(_pcCall, _jsonArgs, iResult, _pcRefused);
    LOG_EX(LOG_TRACE, "CameraBusiness %s", strLine.c_str());
    return iResult;
}
