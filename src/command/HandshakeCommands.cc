// Session handshake and authentication commands: "fgl_ident", "fgl_auth" and the three
// "nyinetif" requests.
//
// Not implemented yet: for now each of these commands only deletes itself. Their behaviour
// (the option block answering "fgl_ident", the authentication exchange, and the compression
// and TLS switching by server version) arrives together with the common data state and its
// connection, which they need. Until then "fgl_ident" already returns true, as it will.
#include "command/CommandFamilies.h"

namespace nycl {

NYCL_COMMAND_CLASS(CmdIdent);
NYCL_COMMAND_CLASS(CmdAuthReply);
NYCL_COMMAND_CLASS(CmdInitial);
NYCL_COMMAND_CLASS(CmdInitialBasic);
NYCL_COMMAND_CLASS(CmdInitialFull);

bool CmdIdent::Execute() {
  delete this;
  return true;
}

bool CmdAuthReply::Execute() {
  delete this;
  return false;
}

bool CmdInitial::Execute() {
  delete this;
  return false;
}

bool CmdInitialBasic::Execute() {
  delete this;
  return false;
}

bool CmdInitialFull::Execute() {
  delete this;
  return false;
}

void RegisterHandshakeCommands() {
  RegisterCommand<CmdIdent>("fgl_ident");
  RegisterCommand<CmdAuthReply>("fgl_auth");
  RegisterCommand<CmdInitial>("nyinetif:");
  RegisterCommand<CmdInitialBasic>("nyinetif_basic:");
  RegisterCommand<CmdInitialFull>("nyinetif_full:");
}

}  // namespace nycl
