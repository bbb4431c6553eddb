#include "CLS_JsonWriter.h"

#include <cstring>

namespace {

bool IsContinuation(unsigned char _ucByte)
{
    return (_ucByte & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 sequence at _pucText (overlong forms, surrogates and values past
// U+10FFFF are not well-formed), or 0 when the byte there starts none.
std::size_t Utf8SequenceLength(const unsigned char* _pucText, std::size_t _uiRemaining)
{
    const unsigned char ucLead = _pucText[0];
    if (ucLead < 0x80) {
        return 1;
    }
    std::size_t uiLength = 0;
    unsigned char ucLow = 0x80;
    unsigned char ucHigh = 0xBF;
    if (ucLead >= 0xC2 && ucLead <= 0xDF) {
        uiLength = 2;
    } else if (ucLead >= 0xE0 && ucLead <= 0xEF) {
        uiLength = 3;
        ucLow = ucLead == 0xE0 ? 0xA0 : 0x80;
        ucHigh = ucLead == 0xED ? 0x9F : 0xBF;
    } else if (ucLead >= 0xF0 && ucLead <= 0xF4) {
        uiLength = 4;
        ucLow = ucLead == 0xF0 ? 0x90 : 0x80;
        ucHigh = ucLead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (_uiRemaining < uiLength || _pucText[1] < ucLow || _pucText[1] > ucHigh) {
        return 0;
    }
    for (std::size_t i = 2; i < uiLength; ++i) {
        if (!IsContinuation(_pucText[i])) {
            return 0;
        }
    }
    return uiLength;
}

void AppendEscapedByte(std::string& _strOut, unsigned char _ucByte)
{
    static const char s_acHex[] = "0123456789abcdef";
    switch (_ucByte) {
    case '"':
        _strOut += "\\\"";
        break;
    case '\\':
        _strOut += "\\\\";
        break;
    case '\b':
        _strOut += "\\b";
        break;
    case '\f':
        _strOut += "\\f";
        break;
    case '\n':
        _strOut += "\\n";
        break;
    case '\r':
        _strOut += "\\r";
        break;
    case '\t':
        _strOut += "\\t";
        break;
    default:
        if (_ucByte < 0x20) {
            _strOut += "\\u00";
            _strOut += s_acHex[_ucByte >> 4];
            _strOut += s_acHex[_ucByte & 0x0F];
        } else {
            _strOut += static_cast<char>(_ucByte);
        }
        break;
    }
}

} // namespace

void CLS_JsonWriter::AppendQuoted(std::string& _strOut, const char* _pcBytes, std::size_t _uiLength)
{
    const auto* pucText = reinterpret_cast<const unsigned char*>(_pcBytes);
    _strOut += '"';
    std::size_t i = 0;
    while (i < _uiLength) {
        const std::size_t uiSequence = Utf8SequenceLength(pucText + i, _uiLength - i);
        if (uiSequence == 0) {
            _strOut += "\\ufffd";
            ++i;
        } else if (uiSequence == 1) {
            AppendEscapedByte(_strOut, pucText[i]);
            ++i;
        } else {
            _strOut.append(_pcBytes + i, uiSequence);
            i += uiSequence;
        }
    }
    _strOut += '"';
}

void CLS_JsonWriter::Key(const char* _pcKey)
{
    if (!m_strBody.empty()) {
        m_strBody += ',';
    }
    AppendQuoted(m_strBody, _pcKey, std::strlen(_pcKey));
    m_strBody += ':';
}

CLS_JsonWriter& CLS_JsonWriter::Int(const char* _pcKey, int64_t _iValue)
{
    Key(_pcKey);
    m_strBody += std::to_string(_iValue);
    return *this;
}

CLS_JsonWriter& CLS_JsonWriter::Null(const char* _pcKey)
{
    Key(_pcKey);
    m_strBody += "null";
    return *this;
}

CLS_JsonWriter& CLS_JsonWriter::Text(const char* _pcKey, const char* _pcBytes, std::size_t _uiLength)
{
    Key(_pcKey);
    AppendQuoted(m_strBody, _pcBytes, _uiLength);
    return *this;
}

CLS_JsonWriter& CLS_JsonWriter::Object(const char* _pcKey, const CLS_JsonWriter& _jsonInner)
{
    Key(_pcKey);
    m_strBody += _jsonInner.ToString();
    return *this;
}
