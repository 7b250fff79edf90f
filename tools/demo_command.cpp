// zarn-host demo: makes a sample clip, imports it through the plug-in and
// writes what a person wants to see into one folder: the description, a
// contact sheet of frames across the clip, its sound and the trace log.
#include <cstdio>
#include <filesystem>

#include "tools/commands.h"
#include "tools/contact_sheet.h"
#include "tools/demo_clip.h"
#include "tools/describe_json.h"
#include "tools/footage_facts.h"
#include "tools/media_writers.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kHelp =
    "usage: zarn-host demo [--out DIR] [--plugin PATH]\n"
    "Makes a sample clip (pictures and sound, a few seconds), imports it through\n"
    "the plug-in, prints the description and writes into DIR (default demo-out):\n"
    "  sample.mkv          the clip\n"
    "  description.json    what the plug-in told the host\n"
    "  contact-sheet.png   frames across the clip, each labelled with its time\n"
    "  sound.wav           the clip's sound as the plug-in delivers it\n"
    "  Plug-ins/zarn_plus/zarn_importer_dialog.txt   the plug-in's trace log\n";

constexpr int kColumns = 4;
constexpr int kRows = 2;
constexpr int kTileWidth = 240;
constexpr int kTileHeight = 135;

std::string SecondsLabel(int64_t value, int64_t scale) {
  char label[32];
  std::snprintf(label, sizeof label, "t=%.2f s", static_cast<double>(value) / scale);
  return label;
}

}  // namespace

int RunDemo(const Arguments& args) {
  const CommandLine command_line(args, {"out"}, false);
  if (command_line.help()) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  const fs::path out = fs::absolute(command_line.Get("out").value_or("demo-out"));
  const std::string module = fs::absolute(ModulePathFor(command_line)).string();
  fs::create_directories(out / "Plug-ins" / "zarn_plus");
  const std::string clip = (out / "sample.mkv").string();
  MakeDemoClip(clip);

  // The plug-in writes its trace log relative to the current directory when
  // it registers, as it does inside the compositing host.
  const fs::path previous = fs::current_path();
  fs::current_path(out);
  ToolSession session(module);
  fs::current_path(previous);

  const A_Err result = session.Import(clip, /*allow_failure=*/true);
  const std::string description = DescribeJson(session, result);
  std::printf("%s\n", description.c_str());
  WriteRaw((out / "description.json").string(), (description + "\n").data(),
           description.size() + 1);
  if (result != A_Err_NONE) throw PluginError("import of " + clip, result);

  const standin::Told& told = session.told();
  if (!told.duration || told.duration->scale == 0) throw ToolError("the clip has no duration");
  ContactSheet sheet(kColumns, kRows, kTileWidth, kTileHeight);
  const int tiles = kColumns * kRows;
  for (int i = 0; i < tiles; ++i) {
    // Evenly across the clip, in hundredths of a second as the duration is.
    const int64_t value = static_cast<int64_t>(told.duration->value) * i;
    const A_Time at{static_cast<A_long>(value / tiles), told.duration->scale};
    standin::World world(kTileWidth, kTileHeight);
    const A_Err drawn = session.host().DrawFrame(session.spec(), at, world);
    if (drawn != A_Err_NONE) throw PluginError("frame for the contact sheet", drawn);
    sheet.Place(i, world.Pixels(), SecondsLabel(at.value, at.scale));
  }
  const std::string sheet_path = (out / "contact-sheet.png").string();
  WritePng(sheet_path, sheet.argb().data(), sheet.width(), sheet.height(), sheet.width() * 4);

  const int rate = SoundRateOf(told, clip);
  const A_u_long samples = static_cast<A_u_long>(
      static_cast<int64_t>(told.duration->value) * rate / told.duration->scale);
  std::vector<float> sound(static_cast<size_t>(samples) * 2);
  const A_Err heard = session.host().GetSound(session.spec(), A_Time{0, 1}, 0, samples, sound.data());
  if (heard != A_Err_NONE) throw PluginError("sound of the clip", heard);
  const std::string wav_path = (out / "sound.wav").string();
  WriteWav(wav_path, sound.data(), samples, rate);

  std::printf(
      "\nwrote %s\n      %s\n      %s\n      %s\n",
      (out / "description.json").string().c_str(), sheet_path.c_str(), wav_path.c_str(),
      (out / "Plug-ins" / "zarn_plus" / "zarn_importer_dialog.txt").string().c_str());
  return 0;
}
