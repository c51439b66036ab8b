#include "CallSteps.h"

PressStep StepOfCall(TW_UINT16 dataType, TW_UINT16 message) {
  switch (dataType) {
    case DAT_PARENT:
    case DAT_IDENTITY:
      return message == MSG_CLOSEDSM || message == MSG_CLOSEDS ? PressStep::Close : PressStep::Open;
    case DAT_CAPABILITY:
    case DAT_IMAGELAYOUT:
      return PressStep::Negotiation;
    case DAT_USERINTERFACE:
      return message == MSG_DISABLEDS ? PressStep::Close : PressStep::Enable;
    case DAT_EVENT:
      return PressStep::Enable;
    case DAT_IMAGENATIVEXFER:
    case DAT_PENDINGXFERS:
      return PressStep::Transfer;
    default:
      return PressStep::None;
  }
}

const wchar_t* StepName(PressStep step) {
  switch (step) {
    case PressStep::Open:
      return L"open";
    case PressStep::Negotiation:
      return L"negotiation";
    case PressStep::Enable:
      return L"enable";
    case PressStep::Transfer:
      return L"transfer";
    case PressStep::Close:
      return L"close";
    default:
      return L"";
  }
}

const wchar_t* DataTypeName(TW_UINT16 dataType) {
  switch (dataType) {
    case DAT_CAPABILITY:
      return L"DAT_CAPABILITY";
    case DAT_EVENT:
      return L"DAT_EVENT";
    case DAT_IDENTITY:
      return L"DAT_IDENTITY";
    case DAT_PARENT:
      return L"DAT_PARENT";
    case DAT_PENDINGXFERS:
      return L"DAT_PENDINGXFERS";
    case DAT_USERINTERFACE:
      return L"DAT_USERINTERFACE";
    case DAT_IMAGELAYOUT:
      return L"DAT_IMAGELAYOUT";
    case DAT_IMAGENATIVEXFER:
      return L"DAT_IMAGENATIVEXFER";
    case DAT_ENTRYPOINT:
      return L"DAT_ENTRYPOINT";
    default:
      return nullptr;
  }
}

const wchar_t* MessageName(TW_UINT16 message) {
  switch (message) {
    case MSG_GET:
      return L"MSG_GET";
    case MSG_GETDEFAULT:
      return L"MSG_GETDEFAULT";
    case MSG_GETFIRST:
      return L"MSG_GETFIRST";
    case MSG_GETNEXT:
      return L"MSG_GETNEXT";
    case MSG_SET:
      return L"MSG_SET";
    case MSG_RESET:
      return L"MSG_RESET";
    case MSG_OPENDSM:
      return L"MSG_OPENDSM";
    case MSG_CLOSEDSM:
      return L"MSG_CLOSEDSM";
    case MSG_OPENDS:
      return L"MSG_OPENDS";
    case MSG_CLOSEDS:
      return L"MSG_CLOSEDS";
    case MSG_USERSELECT:
      return L"MSG_USERSELECT";
    case MSG_DISABLEDS:
      return L"MSG_DISABLEDS";
    case MSG_ENABLEDS:
      return L"MSG_ENABLEDS";
    case MSG_PROCESSEVENT:
      return L"MSG_PROCESSEVENT";
    case MSG_ENDXFER:
      return L"MSG_ENDXFER";
    default:
      return nullptr;
  }
}
