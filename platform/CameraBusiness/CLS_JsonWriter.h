// Builds one compact JSON object (no white space) for a journal line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CLS_JsonWriter
{
public:
    CLS_JsonWriter& Int(const char* _pcKey, int64_t _iValue);
    CLS_JsonWriter& Null(const char* _pcKey);
    // _pcBytes need not be NUL-terminated; exactly _uiLength bytes are read.
    CLS_JsonWriter& Text(const char* _pcKey, const char* _pcBytes, std::size_t _uiLength);
    CLS_JsonWriter& Object(const char* _pcKey, const CLS_JsonWriter& _jsonInner);
    std::string ToString() const { return "{" + m_strBody + "}"; }

    // Appends _pcBytes as a JSON string literal. Bytes that are not valid UTF-8 become U+FFFD, one
    // per byte, so that any input yields a line every JSON reader accepts.
    static void AppendQuoted(std::string& _strOut, const char* _pcBytes, std::size_t _uiLength);

private:
    void Key(const char* _pcKey);

    std::string m_strBody;
};
