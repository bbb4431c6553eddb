#include "CLS_CameraBusiness.h"

#include "Log.h"
#include "XScreen.h"

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

// With sending switched off nothing is served.
void CLS_CameraBusiness::Publish(int _iChNo)
{
    STRUCT_ChannelPlan stPlan = m_aPlan[_iChNo];
    stPlan.blServed = stPlan.blServed && m_clsState.State().iSendStreamEnabled != 0;
    m_clsServer.Publish(_iChNo, stPlan);
}

void CLS_CameraBusiness::PublishAll()
{
    for (int iChNo = 0; iChNo < CAMERA_BUSINESS_MAX_CHANNELS; ++iChNo) {
        Publish(iChNo);
    }
}

void CLS_CameraBusiness::TakeBlock(int _iChNo)
{
    const CB_ChannelState& stChannel = m_clsState.State().aChannels[_iChNo];
    const int iGeneration = m_aPlan[_iChNo].iGeneration;
    STRUCT_ChannelPlan& stPlan = m_aPlan[_iChNo];
    stPlan = stChannel.ucHasBlock != 0 ? PlanFromBlock(stChannel.block) : STRUCT_ChannelPlan();
    stPlan.iGeneration = iGeneration;
    if (stPlan.blServed && stPlan.iDevType == CAMERA_BUSINESS_DEVICE_DESKTOP) {
        // Asked now, when the program hands over a screen it has seen change.
        const STRUCT_XScreen stScreen = XScreenOf(XScreenNumber(stPlan.strDevice));
        stPlan.strDisplay = stScreen.strDisplay;
        stPlan.iScreenWidth = stScreen.iWidth;
        stPlan.iScreenHeight = stScreen.iHeight;
        LOG_EX(LOG_TRACE, "CameraBusiness channel %d captures the X screen of %s (%dx%d)", _iChNo,
               stScreen.strDisplay.empty() ? "DISPLAY" : stScreen.strDisplay.c_str(), stScreen.iWidth,
               stScreen.iHeight);
    }
    Publish(_iChNo);
}

void CLS_CameraBusiness::ForgetPlans()
{
    for (STRUCT_ChannelPlan& stPlan : m_aPlan) {
        stPlan = STRUCT_ChannelPlan();
    }
}
