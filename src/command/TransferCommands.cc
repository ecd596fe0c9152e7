// File, blob, script, XML, RPC, property, combo-box and screen-array commands, and the
// server's fatal "Error:" line.
//
// Each is a thin adapter: it hands its arguments to one or two operations of the data state or
// of its current window. Unlike the other families these commands pass an absent argument as a
// null pointer, not as an empty text: the argument one past the last is the vector's null
// entry, and any argument beyond it is passed as null as well (the vector is never read past
// its end). Absent numbers count as 0. None of these commands answers the server itself; the
// transfer answers come from the data state. Every Execute returns false.
//
// Quote stripping: the file and script names of the transfer commands reach the data state
// without double quotes. Every double quote is dropped, and so is a backslash standing directly
// before one; all other bytes keep their order.
//
// Guards: every command stops silently when it has no data state, when the data state's
// destruction has begun, or when there is no window to act on.
#include <cstring>

#include "command/CommandFamilies.h"

namespace nycl {

NYCL_COMMAND_CLASS(CmdBlob);
NYCL_COMMAND_CLASS(CmdBlobData);
NYCL_COMMAND_CLASS(CmdBlobEnd);
NYCL_COMMAND_CLASS(CmdScriptFileSend);
NYCL_COMMAND_CLASS(CmdScriptFileSent);
NYCL_COMMAND_CLASS(CmdFileSend);
NYCL_COMMAND_CLASS(CmdFileData);
NYCL_COMMAND_CLASS(CmdFileSent);
NYCL_COMMAND_CLASS(CmdFileReadError);
NYCL_COMMAND_CLASS(CmdFileRequest);
NYCL_COMMAND_CLASS(CmdScriptEnd);
NYCL_COMMAND_CLASS(CmdSendXMLData);
NYCL_COMMAND_CLASS(CmdReceiveXMLData);
NYCL_COMMAND_CLASS(Cmdrpc_connect);
NYCL_COMMAND_CLASS(CmdRPC_close);
NYCL_COMMAND_CLASS(CmdRPC_getvalue);
NYCL_COMMAND_CLASS(CmdRPC_setvalue);
NYCL_COMMAND_CLASS(CmdRPC_finishall);
NYCL_COMMAND_CLASS(CmdRPC_execure);
NYCL_COMMAND_CLASS(Cmdfgl_SetProperty);
NYCL_COMMAND_CLASS(Cmdfgl_GetPropery);
NYCL_COMMAND_CLASS(Cmdfgl_KeyMapping);
NYCL_COMMAND_CLASS(CmdError);
NYCL_COMMAND_CLASS(CmdEntryInclude);
NYCL_COMMAND_CLASS(Cmdfgl_ScreenTitle);
NYCL_COMMAND_CLASS(Cmdfgl_Combo_Group);
NYCL_COMMAND_CLASS(Cmdfgl_Combo_Value);
NYCL_COMMAND_CLASS(Cmdfgl_Combo_Depth);
NYCL_COMMAND_CLASS(CmdArray);
NYCL_COMMAND_CLASS(CmdEntryAdd);

namespace {

// Argument `index` of a vector of `count` arguments, or null when it is absent.
char* ArgOrNull(char** vector, int count, int index) {
  if (vector == nullptr || index < 0 || index >= count) return nullptr;
  return vector[index];
}

// Removes double quotes, and backslashes standing before them, from `text` in place.
void StripQuotes(char* text) {
  if (text == nullptr || std::strchr(text, '"') == nullptr) return;
  char* out = text;
  for (const char* in = text; *in != '\0'; ++in) {
    if (*in == '"' || (*in == '\\' && in[1] == '"')) continue;
    *out++ = *in;
  }
  *out = '\0';
}

}  // namespace

// "fgl_Blob <name> [<type>]" starts a blob on the current window; "fgl_BlobData" lines bring
// its base64 text and "fgl_BlobEnd" closes it.
bool CmdBlob::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) {
    if (char* type = ArgOrNull(argv, argc, 2)) window->SetBlobType(type);
    window->StartBlobReceive(ArgOrNull(argv, argc, 1));
  }
  delete this;
  return false;
}

// Argument 1 is not used.
bool CmdBlobData::Execute() {
  if (IsLive(dataState)) dataState->BlobData(ArgOrNull(argv, argc, 2));
  delete this;
  return false;
}

bool CmdBlobEnd::Execute() {
  if (IsLive(dataState)) dataState->BlobEnd();
  delete this;
  return false;
}

bool CmdScriptFileSend::Execute() {
  if (IsLive(dataState)) {
    char* name = ArgOrNull(argv, argc, 1);
    StripQuotes(name);
    dataState->ScriptFileSend(name);
  }
  delete this;
  return false;
}

bool CmdScriptFileSent::Execute() {
  if (IsLive(dataState)) {
    char* name = ArgOrNull(argv, argc, 1);
    StripQuotes(name);
    dataState->ScriptFileSent(name);
  }
  delete this;
  return false;
}

// "fgl_FileSend <name> [<tag> [<target> [<store>]]]": the count of arguments chooses the
// overload. Up to a tag the file goes to the cache; with a target the four-argument form gets
// the store flag (0 when absent), and with a nonzero flag the data state stores the file at the
// target path.
bool CmdFileSend::Execute() {
  if (IsLive(dataState)) {
    char* name = ArgOrNull(argv, argc, 1);
    StripQuotes(name);
    char* tag = ArgOrNull(argv, argc, 2);
    if (argc <= 3) {
      dataState->FileSend(name, tag);
    } else {
      int store = argc >= 5 ? IntArg(4) : 0;
      dataState->FileSend(name, tag, ArgOrNull(argv, argc, 3), store);
    }
  }
  delete this;
  return false;
}

bool CmdFileData::Execute() {
  if (IsLive(dataState)) {
    char* name = ArgOrNull(argv, argc, 1);
    StripQuotes(name);
    dataState->FileData(name, ArgOrNull(argv, argc, 2));
  }
  delete this;
  return false;
}

bool CmdFileSent::Execute() {
  if (IsLive(dataState)) {
    char* name = ArgOrNull(argv, argc, 1);
    StripQuotes(name);
    dataState->FileSent(name);
  }
  delete this;
  return false;
}

// The server could not read the requested file: the transfer ends without a name.
bool CmdFileReadError::Execute() {
  if (IsLive(dataState)) dataState->FileSent(nullptr);
  delete this;
  return false;
}

// The client path is passed as sent, quotes included.
bool CmdFileRequest::Execute() {
  if (IsLive(dataState)) dataState->FileRequest(ArgOrNull(argv, argc, 1));
  delete this;
  return false;
}

bool CmdScriptEnd::Execute() {
  if (IsLive(dataState)) dataState->ScriptEnd();
  delete this;
  return false;
}

bool CmdSendXMLData::Execute() {
  if (IsLive(dataState)) {
    dataState->SendXMLData(ArgOrNull(argv, argc, 1), ArgOrNull(argv, argc, 2));
  }
  delete this;
  return false;
}

// The host answers the server itself; the text it returns is not used.
bool CmdReceiveXMLData::Execute() {
  if (IsLive(dataState)) dataState->ReceiveXMLData(ArgOrNull(argv, argc, 1));
  delete this;
  return false;
}

bool Cmdrpc_connect::Execute() {
  if (IsLive(dataState)) {
    dataState->RPC_connect(ArgOrNull(argv, argc, 1), ArgOrNull(argv, argc, 2),
                           ArgOrNull(argv, argc, 3));
  }
  delete this;
  return false;
}

bool CmdRPC_close::Execute() {
  if (IsLive(dataState)) {
    dataState->RPC_close(ArgOrNull(argv, argc, 1), ArgOrNull(argv, argc, 2),
                         ArgOrNull(argv, argc, 3));
  }
  delete this;
  return false;
}

bool CmdRPC_getvalue::Execute() {
  if (IsLive(dataState)) {
    dataState->RPC_getvalue(ArgOrNull(argv, argc, 1), ArgOrNull(argv, argc, 2),
                            ArgOrNull(argv, argc, 3), ArgOrNull(argv, argc, 4));
  }
  delete this;
  return false;
}

bool CmdRPC_setvalue::Execute() {
  if (IsLive(dataState)) {
    dataState->RPC_setvalue(ArgOrNull(argv, argc, 1), ArgOrNull(argv, argc, 2),
                            ArgOrNull(argv, argc, 3), ArgOrNull(argv, argc, 4),
                            ArgOrNull(argv, argc, 5));
  }
  delete this;
  return false;
}

bool CmdRPC_finishall::Execute() {
  if (IsLive(dataState)) dataState->RPC_finishall(ArgOrNull(argv, argc, 1));
  delete this;
  return false;
}

// "fgl_rpc_execute".
bool CmdRPC_execure::Execute() {
  if (IsLive(dataState)) {
    dataState->RPC_execute(ArgOrNull(argv, argc, 1), ArgOrNull(argv, argc, 2),
                           ArgOrNull(argv, argc, 3), ArgOrNull(argv, argc, 4));
  }
  delete this;
  return false;
}

bool Cmdfgl_SetProperty::Execute() {
  if (IsLive(dataState)) {
    dataState->SetProperty(ArgOrNull(argv, argc, 1), ArgOrNull(argv, argc, 2));
  }
  delete this;
  return false;
}

// "fgl_GetProperty": the value the host returns is not used.
bool Cmdfgl_GetPropery::Execute() {
  if (IsLive(dataState)) dataState->GetProperty(ArgOrNull(argv, argc, 1));
  delete this;
  return false;
}

bool Cmdfgl_KeyMapping::Execute() {
  if (IsLive(dataState)) {
    dataState->KeyMapping(ArgOrNull(argv, argc, 1), ArgOrNull(argv, argc, 2));
  }
  delete this;
  return false;
}

// The server's fatal error: show argument 1 (only the first word of an unquoted message) or a
// default text, then restart the application.
bool CmdError::Execute() {
  if (IsLive(dataState)) {
    if (char* message = ArgOrNull(argv, argc, 1)) {
      dataState->ErrorMessage(message, 1);
    } else {
      char fallback[] = "Error. Application name invalid.";
      dataState->ErrorMessage(fallback, 1);
    }
    dataState->RestartApp();
  }
  delete this;
  return false;
}

// "fgl_EntryInclude <field> <count> <value>...": the values are the rest of the vector, ending
// at its null entry; the count is passed as sent, even when fewer values follow.
bool CmdEntryInclude::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) {
    char* noValues[] = {nullptr};
    char** values = argc >= 3 ? argv + 3 : noValues;
    window->SetInclude(ArgOrNull(argv, argc, 1), IntArg(2), values);
  }
  delete this;
  return false;
}

bool Cmdfgl_ScreenTitle::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) {
    window->NewScreenSection(ArgOrNull(argv, argc, 1));
  }
  delete this;
  return false;
}

bool Cmdfgl_Combo_Group::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) {
    window->SetComboGroup(ArgOrNull(argv, argc, 1), static_cast<unsigned>(IntArg(2)));
  }
  delete this;
  return false;
}

bool Cmdfgl_Combo_Value::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) {
    window->SetComboValue(ArgOrNull(argv, argc, 1), static_cast<unsigned>(IntArg(2)),
                          ArgOrNull(argv, argc, 3));
  }
  delete this;
  return false;
}

bool Cmdfgl_Combo_Depth::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) {
    window->SetComboDepth(ArgOrNull(argv, argc, 1), static_cast<unsigned>(IntArg(2)));
  }
  delete this;
  return false;
}

// "fgl_Array <name> <count> [<text>]": the three-argument form only when all three are there.
bool CmdArray::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) {
    if (argc >= 4) {
      window->Array(argv[1], IntArg(2), argv[3]);
    } else {
      window->Array(ArgOrNull(argv, argc, 1), IntArg(2));
    }
  }
  delete this;
  return false;
}

// "fgl_EntryAdd <name> <value>": the window receives the value first, then the name, then the
// type "string".
bool CmdEntryAdd::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) {
    char type[] = "string";
    window->AddArrayData(ArgOrNull(argv, argc, 2), ArgOrNull(argv, argc, 1), type);
  }
  delete this;
  return false;
}

void RegisterTransferCommands() {
  RegisterCommand<CmdBlob>("fgl_Blob");
  RegisterCommand<CmdEntryInclude>("fgl_EntryInclude");
  RegisterCommand<CmdBlobData>("fgl_BlobData");
  RegisterCommand<CmdBlobEnd>("fgl_BlobEnd");
  RegisterCommand<CmdScriptFileSend>("fgl_ScriptFileSend");
  RegisterCommand<CmdScriptFileSent>("fgl_ScriptFileSent");
  RegisterCommand<CmdFileReadError>("fgl_file_read_error");
  RegisterCommand<CmdSendXMLData>("fgl_sendxmldata");
  RegisterCommand<CmdReceiveXMLData>("fgl_receivexmldata");
  RegisterCommand<CmdFileSend>("fgl_FileSend");
  RegisterCommand<CmdFileRequest>("fgl_FileRequest");
  RegisterCommand<CmdFileData>("fgl_FileData");
  RegisterCommand<CmdFileSent>("fgl_FileSent");
  RegisterCommand<CmdScriptEnd>("fgl_ScriptEnd");
  RegisterCommand<CmdError>("Error:");
  RegisterCommand<CmdArray>("fgl_Array");
  RegisterCommand<CmdEntryAdd>("fgl_EntryAdd");
  RegisterCommand<Cmdrpc_connect>("fgl_rpc_connect");
  RegisterCommand<CmdRPC_close>("fgl_rpc_close");
  RegisterCommand<CmdRPC_getvalue>("fgl_rpc_getvalue");
  RegisterCommand<CmdRPC_setvalue>("fgl_rpc_setvalue");
  RegisterCommand<CmdRPC_finishall>("fgl_rpc_finishall");
  RegisterCommand<CmdRPC_execure>("fgl_rpc_execute");
  RegisterCommand<Cmdfgl_ScreenTitle>("fgl_ScreenTitle");
  RegisterCommand<Cmdfgl_SetProperty>("fgl_SetProperty");
  RegisterCommand<Cmdfgl_GetPropery>("fgl_GetProperty");
  RegisterCommand<Cmdfgl_Combo_Group>("fgl_Combo_Group");
  RegisterCommand<Cmdfgl_Combo_Value>("fgl_Combo_Value");
  RegisterCommand<Cmdfgl_KeyMapping>("fgl_KeyMapping");
  RegisterCommand<Cmdfgl_Combo_Depth>("fgl_Combo_Depth");
}

}  // namespace nycl
