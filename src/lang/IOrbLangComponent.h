// The outside language component and the factory that the component libraries export.
// The slot order is a binary contract, as for IOrbParam.
#pragma once

#include <cstdint>

class ILangInit;
class IOrbParam;

struct STRUCT_OrbGuid
{
    std::uint32_t uiData1;
    std::uint16_t usData2;
    std::uint16_t usData3;
    std::uint8_t aucData4[8];
};

inline bool operator==(const STRUCT_OrbGuid& _left, const STRUCT_OrbGuid& _right)
{
    for (int i = 0; i < 8; ++i) {
        if (_left.aucData4[i] != _right.aucData4[i]) {
            return false;
        }
    }
    return _left.uiData1 == _right.uiData1 && _left.usData2 == _right.usData2 &&
           _left.usData3 == _right.usData3;
}

// {28DE5228-26AC-4788-B4F5-92B108E9008D}: the language component, from the "commbusi" library.
constexpr STRUCT_OrbGuid ORB_IID_LANG_COMPONENT = {
    0x28DE5228u, 0x26ACu, 0x4788u, {0xB4u, 0xF5u, 0x92u, 0xB1u, 0x08u, 0xE9u, 0x00u, 0x8Du}};
// {EC62E9BC-408E-462E-B831-D2C502D4F807}: a fresh parameter object, from the "OrbBase" library.
constexpr STRUCT_OrbGuid ORB_IID_PARAM = {
    0xEC62E9BCu, 0x408Eu, 0x462Eu, {0xB8u, 0x31u, 0xD2u, 0xC5u, 0x02u, 0xD4u, 0xF8u, 0x07u}};

// The export of both libraries: 0 and one reference in *_ppvOut on success.
extern "C" {
typedef int (*PFN_CreateOrbObject)(const STRUCT_OrbGuid* _pIid, void** _ppvOut);
}

class IOrbLangComponent
{
public:
    virtual int AddRef() = 0;  // slot 0
    virtual int Release() = 0; // slot 1
    virtual int Reserved2() = 0;
    // Slot 3: the component takes the provider and asks it to Fill a writer of its own.
    virtual int Init(ILangInit* _pProvider, int _iReserved) = 0;
    virtual int Reserved4() = 0;
    // Slot 5: reads the key "luk" from the parameter object and sets the text "lut".
    virtual int Translate(IOrbParam* _pParam) = 0;

protected:
    ~IOrbLangComponent() = default;
};
