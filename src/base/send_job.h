#pragma once

#include <string>

namespace postique {

// One send request as read from the job file, every field a text.
struct SendJob {
  std::string destino;  // destination
  std::string asunto;   // subject
  std::string cuerpo;   // body, one line
  std::string fichero;  // attachment paths separated by ";"
  std::string dialogo;  // confirmation flag, converted to a Boolean where used
  std::string forma;    // send-method letter
};

// The send-method codes: those of the Yes, No and Cancel answers.
enum SendMethod : int { kMethodMapi = 6, kMethodThunderbird = 7, kMethodCancelled = 2 };

}  // namespace postique
