#include "intro.hpp"

#include "runtime.hpp"

namespace zenora {

int RunIntro(tk::Backend& backend, const std::filesystem::path& app_path, const std::function<int(ZENOrA&)>& run,
             const std::function<void(sound::Bassmod&)>& prepare, const std::function<void(ZENOrA&)>& created) {
  return tk::RunGuarded(backend, kProgramName, [&] {
    const Assets assets = LoadAssets();
    // Outlives the form: the music is freed with the form, the library after it.
    sound::Bassmod bassmod(app_path);
    if (prepare) prepare(bassmod);
    ZENOrA form(backend, bassmod, assets, app_path);
    if (created) created(form);
    form.Form_Initialize();
    form.Form_Load();
    form.Loop().Show();
    return run(form);
  });
}

}  // namespace zenora
