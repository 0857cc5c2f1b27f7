#include "platform/win32/default_mail_client.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "fakes/temp_dir.h"
#include "platform/win32/code_page.h"

namespace postique::win32 {
namespace {

TEST(DefaultMailClient, TheObstacleNamesTheCauseAndTheBuildToUse) {
  DefaultMailClient none;
  EXPECT_EQ(SignOnObstacle(none, 64),
            "no hay ningún programa de correo predeterminado (Simple MAPI) en este equipo: instale "
            "uno, como Outlook clásico o Thunderbird, y elíjalo como programa de correo "
            "predeterminado");
  none.newOutlookMailto = true;
  EXPECT_NE(SignOnObstacle(none, 64).find("el nuevo Outlook no lo tiene"), std::string::npos);

  DefaultMailClient elsewhere;
  elsewhere.otherBitsName = "Microsoft Outlook";
  EXPECT_EQ(SignOnObstacle(elsewhere, 32),
            "el programa de correo predeterminado «Microsoft Outlook» solo está registrado para "
            "programas de 64 bits: use la versión de 64 bits de Postique");

  DefaultMailClient outlook{"Microsoft Outlook", "C:\\Office\\olmapi32.dll", true, 32, "", false};
  EXPECT_EQ(SignOnObstacle(outlook, 64),
            "el programa de correo predeterminado «Microsoft Outlook» es de 32 bits y esta versión "
            "de Postique es de 64 bits: use la versión de 32 bits de Postique");
  EXPECT_EQ(SignOnObstacle(outlook, 32), "") << "nothing in the way";
  outlook.libraryBits = 0;
  EXPECT_EQ(SignOnObstacle(outlook, 64), "") << "a header that cannot be read proves nothing";
  outlook.libraryFound = false;
  EXPECT_EQ(SignOnObstacle(outlook, 64),
            "no se encuentra C:\\Office\\olmapi32.dll, la biblioteca del programa de correo "
            "predeterminado «Microsoft Outlook»");
  outlook.library.clear();
  EXPECT_EQ(SignOnObstacle(outlook, 64),
            "el programa de correo predeterminado «Microsoft Outlook» no indica su biblioteca "
            "(DLLPath)");
}

TEST(DefaultMailClient, TheBitnessComesFromTheHeader) {
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  EXPECT_EQ(ImageBits(Utf8(self)), static_cast<int>(sizeof(void*) * 8));
  testing::TempDir dir;
  testing::WriteFile(dir / "texto.dll", "MZ no es un programa");
  EXPECT_EQ(ImageBits(dir / "texto.dll"), 0);
  EXPECT_EQ(ImageBits(dir / "falta.dll"), 0);
}

}  // namespace
}  // namespace postique::win32
