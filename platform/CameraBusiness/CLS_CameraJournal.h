// The library's call journal: kept in memory for inspection and, when CAMERA_BUSINESS_JOURNAL
// names a file, appended to it as one JSON line per entry. Not locked: the owner serialises use.
#pragma once

#include "CLS_JsonWriter.h"
#include "CameraBusiness.h"

#include <cstdio>
#include <string>
#include <vector>

class CLS_CameraJournal
{
public:
    CLS_CameraJournal() = default;
    ~CLS_CameraJournal();
    CLS_CameraJournal(const CLS_CameraJournal&) = delete;
    CLS_CameraJournal& operator=(const CLS_CameraJournal&) = delete;

    // Starts the entries of one library call; its blocks and its call line share the number.
    void BeginCall() { ++m_iSeq; }
    void AppendBlock(const char* _pcCall, int _iIndex, const STRUCT_ChanInfo& _stChanInfo);
    // Returns the call line, which is also the text the call logs.
    std::string AppendCall(const char* _pcCall, const CLS_JsonWriter& _jsonArgs, int _iResult,
                           const char* _pcRefused);

    int Size() const { return static_cast<int>(m_vecEntry.size()); }
    const std::string* Entry(int _iIndex) const;
    // Forgets the entries in memory; the file, once open, stays open and keeps its lines.
    void Clear();

private:
    void Append(const std::string& _strLine);
    void OpenFileOnce();

    std::vector<std::string> m_vecEntry;
    int m_iSeq = 0;
    bool m_blFileTried = false;
    std::FILE* m_pFile = nullptr;
};
