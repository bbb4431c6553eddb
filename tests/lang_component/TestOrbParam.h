// A parameter object for the test component libraries: named texts, reference counted, and
// counted while alive so a test can see that every object handed out was released.
#pragma once

#include "IOrbParam.h"

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

constexpr int ORB_TEST_FAIL = static_cast<int>(0x80004005u);
constexpr int ORB_TEST_NOT_IMPLEMENTED = static_cast<int>(0x80004001u);

class CLS_TestOrbParam final : public IOrbParam
{
public:
    // _piLive counts the objects alive, _piNeedBuffer the answers to a length query.
    CLS_TestOrbParam(std::atomic<int>* _piLive, std::atomic<int>* _piNeedBuffer)
        : m_piLive(_piLive), m_piNeedBuffer(_piNeedBuffer)
    {
        ++*m_piLive;
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
    int Reserved3() override { return ORB_TEST_NOT_IMPLEMENTED; }
    int Reserved4() override { return ORB_TEST_NOT_IMPLEMENTED; }
    int Reserved5() override { return ORB_TEST_NOT_IMPLEMENTED; }
    int Reserved6() override { return ORB_TEST_NOT_IMPLEMENTED; }
    int SetValue(const char* _pcName, const char* _pcValue) override
    {
        if (!_pcName || !_pcValue) {
            return ORB_TEST_FAIL;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_mapValues[_pcName] = _pcValue;
        return 0;
    }
    int Reserved8() override { return ORB_TEST_NOT_IMPLEMENTED; }
    int Reserved9() override { return ORB_TEST_NOT_IMPLEMENTED; }
    int Reserved10() override { return ORB_TEST_NOT_IMPLEMENTED; }
    int Reserved11() override { return ORB_TEST_NOT_IMPLEMENTED; }
    int Reserved12() override { return ORB_TEST_NOT_IMPLEMENTED; }
    int GetValue(const char* _pcName, char* _pcBuffer, int* _piLength) override
    {
        if (!_pcName || !_piLength) {
            return ORB_TEST_FAIL;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_mapValues.find(_pcName);
        if (it == m_mapValues.end()) {
            *_piLength = 0;
            return ORB_TEST_FAIL;
        }
        const int iNeeded = static_cast<int>(it->second.size()) + 1;
        if (!_pcBuffer) {
            *_piLength = iNeeded;
            ++*m_piNeedBuffer;
            return ORB_NEED_BUFFER;
        }
        if (*_piLength < iNeeded) {
            return ORB_TEST_FAIL;
        }
        std::memcpy(_pcBuffer, it->second.c_str(), static_cast<size_t>(iNeeded));
        return 0;
    }

    int RefCount() const { return m_iRefs; }

private:
    ~CLS_TestOrbParam() { --*m_piLive; }

    std::atomic<int> m_iRefs{1};
    std::atomic<int>* m_piLive;
    std::atomic<int>* m_piNeedBuffer;
    std::mutex m_mutex;
    std::map<std::string, std::string> m_mapValues;
};
