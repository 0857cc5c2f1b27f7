// postique_draft OUT TO SUBJECT BODY [FILE...]: writes the unsent draft the
// new Outlook is handed on Windows, with the same writer, for a real mail
// program to open (scripts/thunderbird-check). TO may list several
// addresses, separated by ";".
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "base/failure.h"
#include "base/text.h"
#include "transport/draft_message.h"

int main(int argc, char** argv) {
  if (argc < 5) {
    std::cerr << "uso: postique_draft SALIDA DESTINO ASUNTO CUERPO [ARCHIVO...]\n";
    return 2;
  }
  try {
    std::ofstream out(argv[1], std::ios::binary);
    postique::DraftWriter writer(
        [&](std::string_view piece) { out.write(piece.data(), piece.size()); });
    writer.Begin(postique::SplitRecipients(argv[2]), argv[3], argv[4]);
    for (int i = 5; i < argc; ++i) {
      std::ifstream in(argv[i], std::ios::binary);
      if (!in) throw postique::MakeFailure(postique::Err::kFileNotFound, argv[i]);
      writer.Attach(postique::FileNamePart(argv[i]), "");
      writer.Bytes(std::string(std::istreambuf_iterator<char>(in), {}));
    }
    writer.End();
    out.close();
    if (!out) throw postique::MakeFailure(postique::Err::kPathFileAccess, argv[1]);
  } catch (const postique::Failure& f) {
    std::cerr << f.description() << "\n";
    return 1;
  }
  return 0;
}
