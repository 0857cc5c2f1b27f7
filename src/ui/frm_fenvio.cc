#include "ui/frm_fenvio.h"

#include <string>

#include "base/send_job.h"
#include "base/steps.h"

namespace postique {

namespace {

constexpr int kNada = 3;

Form DialogForm() {
  Form f;
  f.name = "frmFEnvio";
  f.caption = "Forma de envio del MAIL";
  f.width = 4560;
  f.height = 2160;
  auto& c = f.controls;
  c.push_back(MakeControl(ControlKind::kFrame, "Frame", -1, "", {0, 0, 4545, 2175}, 0));
  const struct {
    const char* caption;
    Bounds at;
    int tab;
  } options[] = {{"Enviar con OUTLOOK", {600, 270, 3555, 345}, 1},
                 {"Enviar con THUNTERBIRD", {600, 720, 3555, 345}, 2},
                 {"Cancelar envio", {600, 1170, 3555, 345}, 3},
                 {"nada", {2670, 750, 975, 240}, 5}};
  for (int i = 0; i < 4; ++i) {
    c.push_back(MakeControl(ControlKind::kOption, "OptFormaEnvio", i, options[i].caption,
                            options[i].at, options[i].tab, "Frame"));
    c.back().font = {"MS Sans Serif", 9.75, true};
  }
  // "nada" starts selected, so that choosing any real option is a change.
  c.back().value = 1;
  c.push_back(MakeControl(ControlKind::kLabel, "Label", -1,
                          "No se permiten adjuntar archivos en rutas UNC del estilo "
                          "\\\\Servidor\\trambelo. Mapee el recurso como, por ejemplo, 'Z:'",
                          {90, 1680, 4365, 405}, 4, "Frame"));
  return f;
}

}  // namespace

frmFEnvio::frmFEnvio(Screen& screen, std::shared_ptr<frmFEnvio>& reference)
    : screen_(screen), reference_(reference), form_(DialogForm()) {}

std::int32_t frmFEnvio::A_FormaEnvio() {
  // Held for the whole call: the unload empties the program-wide reference
  // before chosenMethod_ is read.
  const auto self = shared_from_this();
  std::int32_t result = 0;
  Steps s([this](int step, const Failure& f) {
    screen_.MsgBox(
        "línea:" + std::to_string(step) + ". " + std::to_string(f.number()) + "-" + f.description(),
        mb::kOk | mb::kCritical);
    return After::kLeave;
  });
  s.Run([&] {
    s.Do(10, [&] { chosenMethod_ = kMethodCancelled; });
    s.Do(20, [&] {
      loaded_ = true;
      form_.screen = &screen_;
      screen_.ShowModal(*this);
    });
    s.Do(30, [&] { result = chosenMethod_; });
  });
  // A dialog whose showing failed is not left loaded: the next call must
  // find the reference empty and start from a fresh dialog.
  Unload();
  return result;
}

void frmFEnvio::Select(int index) {
  for (int i = 0; i <= kNada; ++i) form_.SetValue("OptFormaEnvio", i, i == index ? 1 : 0);
  OptFormaEnvio_Click(index);
}

void frmFEnvio::Handle(const WindowEvent& event) {
  if (event.kind == WindowEvent::kClose) {
    Unload();
  } else if (event.kind == WindowEvent::kClick) {
    Select(form_.controls[event.control].index);
  }
}

void frmFEnvio::OptFormaEnvio_Click(int index) {
  static constexpr std::int32_t kCodes[] = {kMethodMapi, kMethodThunderbird, kMethodCancelled};
  if (index < 0 || index >= kNada) return;
  chosenMethod_ = kCodes[index];
  Unload();
}

void frmFEnvio::Unload() {
  if (!loaded_) return;
  loaded_ = false;
  Form_Unload();
  form_.screen = nullptr;
}

void frmFEnvio::Form_Unload() {
  reference_.reset();
}

}  // namespace postique
