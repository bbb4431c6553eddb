// The ScreenCast portal's restore token, kept in the program's settings file under a key of the
// library's own, so that the user chooses the screens once and not at every start.
#pragma once

#include <string>

// The stored token, empty when there is none.
std::string StoredCastToken();
// Stores _strToken; every other key of the file stays as it is. False after one log line.
bool StoreCastToken(const std::string& _strToken);
