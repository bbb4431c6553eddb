// A reference-counted bag of named text values, as the outside components hand it out and as
// they expect a writer to be. Callers reach each operation by its place in the table of virtual
// functions, so the order of the declarations below is a binary contract: never reorder them.
#pragma once

// Answer of GetValue called without a buffer: the needed length is in *_piLength.
constexpr int ORB_NEED_BUFFER = static_cast<int>(0x80004000u);

class IOrbParam
{
public:
    virtual int AddRef() = 0;  // slot 0
    virtual int Release() = 0; // slot 1
    virtual int Reserved2() = 0;
    virtual int Reserved3() = 0;
    virtual int Reserved4() = 0;
    virtual int Reserved5() = 0;
    virtual int Reserved6() = 0;
    virtual int SetValue(const char* _pcName, const char* _pcValue) = 0; // slot 7
    virtual int Reserved8() = 0;
    virtual int Reserved9() = 0;
    virtual int Reserved10() = 0;
    virtual int Reserved11() = 0;
    virtual int Reserved12() = 0;
    // Slot 13. _pcBuffer null: answers ORB_NEED_BUFFER with the length (terminator included).
    virtual int GetValue(const char* _pcName, char* _pcBuffer, int* _piLength) = 0;

protected:
    ~IOrbParam() = default;
};
