// Test stand-in of the parameter-object library: hands out fresh parameter objects.
#include "IOrbLangComponent.h"
#include "TestOrbParam.h"

namespace {
std::atomic<int> g_iLiveParams{0};
std::atomic<int> g_iNeedBufferAnswers{0};
} // namespace

extern "C" __attribute__((visibility("default"))) int CreateOrbObject(const STRUCT_OrbGuid* _pIid,
                                                                      void** _ppvOut)
{
    if (!_pIid || !_ppvOut || !(*_pIid == ORB_IID_PARAM)) {
        return ORB_TEST_FAIL;
    }
    *_ppvOut = static_cast<IOrbParam*>(new CLS_TestOrbParam(&g_iLiveParams, &g_iNeedBufferAnswers));
    return 0;
}

// Parameter objects handed out and not yet released.
extern "C" __attribute__((visibility("default"))) int OrbTestLiveParams()
{
    return g_iLiveParams;
}

// Length queries answered with 0x80004000 by the objects handed out.
extern "C" __attribute__((visibility("default"))) int OrbTestNeedBufferAnswers()
{
    return g_iNeedBufferAnswers;
}
