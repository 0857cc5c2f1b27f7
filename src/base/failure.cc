#include "base/failure.h"

namespace postique {

std::string_view Describe(Err err) {
  switch (err) {
    case Err::kInvalidArgument:
      return "Llamada a procedimiento o argumento no válidos";
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

std::string_view DescribeShellError(int result) {
  switch (result) {
    case 0:
    case 8:
      return "No hay memoria o recursos suficientes para iniciar el programa";
    case 2:
      return "No se ha encontrado el programa";
    case 3:
      return "No se ha encontrado la ruta de acceso del programa";
    case 5:
      return "Acceso denegado al programa";
    case 11:
      return "El programa no es válido";
    case 26:
      return "El programa está en uso por otro proceso";
    case 27:
    case 31:
      return "No hay ningún programa asociado";
    case 28:
    case 29:
    case 30:
      return "El programa no ha respondido";
    case 32:
      return "Falta una biblioteca que el programa necesita";
    default:
      return "No se ha podido iniciar el programa";
  }
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
