#include "NameAnswer.h"

#include "StationNames.h"

HRESULT AnswerNextName(VARIANT* result, EXCEPINFO*) { return AnswerText(result, NextStationName(StationSetup())); }
