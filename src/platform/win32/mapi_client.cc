#include "platform/win32/mapi_client.h"

#include "app/failure.h"

namespace postique::win32 {

void MapiClient::SignOn() {
  Raise(Err::kMapiLoginFailure,
        "esta versión de Postique aún no habla con el programa de correo (Simple MAPI)");
}

void MapiClient::NoSession() {
  Raise(Err::kMapiInvalidSession);
}

}  // namespace postique::win32
