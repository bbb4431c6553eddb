// Started by the program under test in place of a program of its application folder: writes its
// arguments, each followed by a NUL byte, to the file named by LUMACAST_CHILD_RECORD.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char* argv[])
{
    const char* pcRecord = std::getenv("LUMACAST_CHILD_RECORD");
    if (pcRecord == nullptr) {
        return 2;
    }
    // Written aside and renamed, so that a reader never sees half of it.
    const std::string strPart = std::string(pcRecord) + ".part";
    std::FILE* pFile = std::fopen(strPart.c_str(), "wb");
    if (pFile == nullptr) {
        return 1;
    }
    for (int i = 0; i < argc; ++i) {
        std::fwrite(argv[i], 1, std::strlen(argv[i]) + 1, pFile);
    }
    if (std::fclose(pFile) != 0 || std::rename(strPart.c_str(), pcRecord) != 0) {
        return 1;
    }
    return 0;
}
