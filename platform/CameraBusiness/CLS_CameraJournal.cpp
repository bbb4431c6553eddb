#include "CLS_CameraJournal.h"

#include "ChanInfoJson.h"
#include "Log.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

CLS_CameraJournal::~CLS_CameraJournal()
{
    if (m_pFile != nullptr) {
        std::fclose(m_pFile);
    }
}

void CLS_CameraJournal::AppendBlock(const char* _pcCall, int _iIndex, const STRUCT_ChanInfo& _stChanInfo)
{
    CLS_JsonWriter json;
    json.Int("seq", m_iSeq)
        .Text("call", _pcCall, std::strlen(_pcCall))
        .Int("index", _iIndex)
        .Object("block", ChanInfoToJson(_stChanInfo));
    Append(json.ToString());
}

std::string CLS_CameraJournal::AppendCall(const char* _pcCall, const CLS_JsonWriter& _jsonArgs, int _iResult,
                                          const char* _pcRefused)
{
    CLS_JsonWriter json;
    json.Int("seq", m_iSeq)
        .Text("call", _pcCall, std::strlen(_pcCall))
        .Object("args", _jsonArgs)
        .Int("result", _iResult);
    if (_pcRefused != nullptr) {
        json.Text("refused", _pcRefused, std::strlen(_pcRefused));
    }
    std::string strLine = json.ToString();
    Append(strLine);
    return strLine;
}

const std::string* CLS_CameraJournal::Entry(int _iIndex) const
{
    if (_iIndex < 0 || _iIndex >= Size()) {
        return nullptr;
    }
    return &m_vecEntry[static_cast<std::size_t>(_iIndex)];
}

void CLS_CameraJournal::Clear()
{
    m_vecEntry.clear();
    m_iSeq = 0;
}

void CLS_CameraJournal::Append(const std::string& _strLine)
{
    m_vecEntry.push_back(_strLine);
    OpenFileOnce();
    if (m_pFile == nullptr) {
        return;
    }
    if (std::fwrite(_strLine.data(), 1, _strLine.size(), m_pFile) != _strLine.size() ||
        std::fputc('\n', m_pFile) == EOF || std::fflush(m_pFile) != 0) {
        LOG_EX(LOG_FILE, "camera journal: write failed (%s)", std::strerror(errno));
        std::clearerr(m_pFile);
    }
}

void CLS_CameraJournal::OpenFileOnce()
{
    if (m_blFileTried) {
        return;
    }
    m_blFileTried = true;
    const char* pcPath = std::getenv("CAMERA_BUSINESS_JOURNAL");
    if (pcPath == nullptr || *pcPath == '\0') {
        return;
    }
    m_pFile = std::fopen(pcPath, "a");
    if (m_pFile == nullptr) {
        LOG_EX(LOG_FILE, "camera journal: cannot open %s (%s)", pcPath, std::strerror(errno));
    }
}
