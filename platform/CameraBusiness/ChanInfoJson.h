// Every named field of a channel block as one JSON object, for the journal.
#pragma once

#include "CLS_JsonWriter.h"
#include "CameraBusiness.h"

// Texts stop at their first NUL or at the end of their field, whichever comes first, so a block
// is never read past its end. Flags are written as their byte values.
CLS_JsonWriter ChanInfoToJson(const STRUCT_ChanInfo& _stChanInfo);
