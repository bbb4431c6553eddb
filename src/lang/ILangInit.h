// What the outside language component asks of the program: its built-in texts.
#pragma once

class IOrbParam;

class ILangInit
{
public:
    // Hands every key and default text to _pWriter; with no writer the texts stay in the program.
    virtual int Fill(IOrbParam* _pWriter) = 0;

protected:
    ~ILangInit() = default;
};
