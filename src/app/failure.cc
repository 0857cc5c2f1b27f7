#include "app/failure.h"

namespace postique {

std::string_view Describe(Err err) {
  switch (err) {
    case Err::kTypeMismatch:
      return "No coinciden los tipos";
    case Err::kBadFileNameOrNumber:
      return "Nombre o número de archivo incorrecto";
    case Err::kFileNotFound:
      return "No se ha encontrado el archivo";
    case Err::kDiskFull:
      return "Disco lleno";
    case Err::kInputPastEndOfFile:
      return "La entrada ha pasado el final del archivo";
    case Err::kPermissionDenied:
      return "Permiso denegado";
    case Err::kPathFileAccess:
      return "Error de acceso a la ruta o el archivo";
    case Err::kPathNotFound:
      return "No se ha encontrado la ruta de acceso";
    case Err::kNoSuchControl:
      return "El control no existe";
    case Err::kMapiUserAbort:
      return "Cancelado por el usuario";
    case Err::kMapiFailure:
      return "Error no especificado del cliente de correo";
    case Err::kMapiLoginFailure:
      return "Error al iniciar la sesión de correo";
    case Err::kMapiDiskFull:
      return "Disco lleno";
    case Err::kMapiInsufficientMemory:
      return "Memoria insuficiente";
    case Err::kMapiAccessDenied:
      return "Acceso denegado";
    case Err::kMapiTooManySessions:
      return "Demasiadas sesiones abiertas";
    case Err::kMapiTooManyFiles:
      return "Demasiados archivos adjuntos";
    case Err::kMapiTooManyRecipients:
      return "Demasiados destinatarios";
    case Err::kMapiAttachmentNotFound:
      return "No se ha encontrado el archivo adjunto";
    case Err::kMapiAttachmentOpenFailure:
      return "No se ha podido abrir el archivo adjunto";
    case Err::kMapiAttachmentWriteFailure:
      return "No se ha podido escribir el archivo adjunto";
    case Err::kMapiUnknownRecipient:
      return "Destinatario desconocido";
    case Err::kMapiBadRecipType:
      return "Tipo de destinatario incorrecto";
    case Err::kMapiNoMessages:
      return "No hay mensajes";
    case Err::kMapiInvalidMessage:
      return "Mensaje no válido";
    case Err::kMapiTextTooLarge:
      return "Texto demasiado largo";
    case Err::kMapiInvalidSession:
      return "Sesión no válida";
    case Err::kMapiTypeNotSupported:
      return "Tipo no admitido";
    case Err::kMapiAmbiguousRecipient:
      return "Destinatario ambiguo";
    case Err::kMapiMessageInUse:
      return "El mensaje está en uso";
    case Err::kMapiNetworkFailure:
      return "Error de red";
    case Err::kMapiInvalidEditFields:
      return "Campos de edición no válidos";
    case Err::kMapiInvalidRecips:
      return "Destinatarios no válidos";
    case Err::kMapiNotSupported:
      return "Operación no admitida";
  }
  return "Error desconocido";
}

Failure MakeFailure(Err err, std::string_view detail) {
  std::string text(Describe(err));
  if (!detail.empty()) {
    text += ": ";
    text += detail;
  }
  return Failure(static_cast<long>(err), std::move(text));
}

void Raise(Err err, std::string_view detail) {
  throw MakeFailure(err, detail);
}

}  // namespace postique
