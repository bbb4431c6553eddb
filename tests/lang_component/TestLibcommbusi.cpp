// Test stand-in of the language-component library: the component asks the program to fill a
// writer of its own and answers lookups from it, plus one text that only it knows.
#include "ILangInit.h"
#include "IOrbLangComponent.h"
#include "TestOrbParam.h"

#include <string>
#include <vector>

namespace {

std::atomic<int> g_iComponentsMade{0};
std::atomic<int> g_iWriterRefsAfterFill{-1};
std::atomic<int> g_iLiveWriters{0};
std::atomic<int> g_iWriterNeedBuffer{0};

// A read of a named text through the length query, as a careful caller does it.
bool ReadValue(IOrbParam* _pParam, const char* _pcName, std::string& _strValue)
{
    int iLength = 0;
    if (_pParam->GetValue(_pcName, nullptr, &iLength) != ORB_NEED_BUFFER || iLength <= 0) {
        return false;
    }
    std::vector<char> vecBuffer(static_cast<size_t>(iLength), '\0');
    if (_pParam->GetValue(_pcName, vecBuffer.data(), &iLength) != 0) {
        return false;
    }
    _strValue.assign(vecBuffer.data());
    return true;
}

class CLS_TestLangComponent final : public IOrbLangComponent
{
public:
    CLS_TestLangComponent() : m_pTable(new CLS_TestOrbParam(&g_iLiveWriters, &g_iWriterNeedBuffer))
    {
        ++g_iComponentsMade;
        m_pTable->SetValue("IDS_TestComponent_Probe", "组件文本");
    }

    int AddRef() override { return ++m_iRefs; }
    int Release() override
    {
        const int iRefs = --m_iRefs;
        if (iRefs == 0) {
            delete this;
        }
        return iRefs;
    }
    int Reserved2() override { return ORB_TEST_NOT_IMPLEMENTED; }
    int Init(ILangInit* _pProvider, int) override
    {
        if (!_pProvider) {
            return ORB_TEST_FAIL;
        }
        const int iResult = _pProvider->Fill(m_pTable);
        g_iWriterRefsAfterFill = m_pTable->RefCount();
        return iResult;
    }
    int Reserved4() override { return ORB_TEST_NOT_IMPLEMENTED; }
    int Translate(IOrbParam* _pParam) override
    {
        std::string strKey;
        std::string strText;
        if (!_pParam || !ReadValue(_pParam, "luk", strKey) || !ReadValue(m_pTable, strKey.c_str(), strText)) {
            return ORB_TEST_FAIL;
        }
        return _pParam->SetValue("lut", strText.c_str());
    }

private:
    ~CLS_TestLangComponent() { m_pTable->Release(); }

    std::atomic<int> m_iRefs{1};
    CLS_TestOrbParam* m_pTable;
};

} // namespace

extern "C" __attribute__((visibility("default"))) int CreateOrbObject(const STRUCT_OrbGuid* _pIid,
                                                                      void** _ppvOut)
{
    if (!_pIid || !_ppvOut || !(*_pIid == ORB_IID_LANG_COMPONENT)) {
        return ORB_TEST_FAIL;
    }
    *_ppvOut = static_cast<IOrbLangComponent*>(new CLS_TestLangComponent);
    return 0;
}

// Components made by this library.
extern "C" __attribute__((visibility("default"))) int OrbTestComponentsMade()
{
    return g_iComponentsMade;
}

// The writer's reference count when the provider's Fill returned; 1 means balanced.
extern "C" __attribute__((visibility("default"))) int OrbTestWriterRefsAfterFill()
{
    return g_iWriterRefsAfterFill;
}
