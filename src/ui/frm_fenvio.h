// The send-method dialog: asks how the current job is to leave the machine.
#pragma once

#include <cstdint>
#include <memory>

#include "base/form.h"
#include "base/screen.h"

namespace postique {

class frmFEnvio final : public ModalDialog, public std::enable_shared_from_this<frmFEnvio> {
 public:
  // reference is the program-wide slot that holds the dialog; the dialog
  // empties it whenever it unloads.
  frmFEnvio(Screen& screen, std::shared_ptr<frmFEnvio>& reference);

  // Shows the dialog modally and returns the chosen SendMethod: 6, 7 or 2
  // (cancel); 0 when showing it failed.
  std::int32_t A_FormaEnvio();

  void Select(int index) override;
  void Unload() override;
  bool loaded() const override { return loaded_; }
  // A click on an option selects it, closing the window unloads the dialog.
  void Handle(const WindowEvent& event) override;

  const Form& form() const override { return form_; }

 private:
  void OptFormaEnvio_Click(int index);
  void Form_Unload();

  Screen& screen_;
  std::shared_ptr<frmFEnvio>& reference_;
  Form form_;
  std::int32_t chosenMethod_ = 0;
  bool loaded_ = false;
};

}  // namespace postique
