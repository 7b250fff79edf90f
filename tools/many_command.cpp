// zarn-host many: a project's worth of footage items in one process. Every
// FILE is imported as its own item; then, for each round, one frame of each
// item in turn at successive times, as a composition of that many layers
// draws; optionally the host asks every item to close its files. Prints what
// that costs.
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "tools/cli_args.h"
#include "tools/commands.h"
#include "tools/json_writer.h"
#include "tools/process_facts.h"
#include "tools/tool_session.h"

namespace {

constexpr const char* kHelp =
    "usage: zarn-host many FILE... [--rounds N] [--close-sources] [--plugin PATH]\n"
    "Imports every FILE as its own footage item (a file may be named more than\n"
    "once), then for N rounds (default 1) draws one frame from each item in turn\n"
    "at successive times; with --close-sources, the host then asks every item to\n"
    "close its files. Prints JSON: items, import_ms (mean per item), resident_mib\n"
    "and open_files (handles on the items' files) after import, after drawing and\n"
    "after closing, reopens (frames that had to open an item's file again) and\n"
    "frame_ms (mean, and the mean of first frames after a reopen). Figures the\n"
    "platform does not give are left out.\n";

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Stage {
  std::optional<double> resident;
  std::optional<int> open_files;
};

Stage Measure(const std::vector<std::string>& files) {
  return {ResidentMiB(), OpenHandlesOn(files)};
}

void WriteStages(JsonWriter& json, const char* key,
                 const std::vector<std::pair<const char*, Stage>>& stages, bool resident) {
  bool any = false;
  for (const auto& [name, stage] : stages)
    any |= resident ? stage.resident.has_value() : stage.open_files.has_value();
  if (!any) return;
  json.BeginObject(key);
  for (const auto& [name, stage] : stages) {
    if (resident && stage.resident) json.Number(name, *stage.resident);
    if (!resident && stage.open_files) json.Int(name, *stage.open_files);
  }
  json.EndObject();
}

}  // namespace

int RunMany(const Arguments& args) {
  // Several FILEs: they are the arguments that are not options.
  std::vector<std::string> files;
  Arguments options;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i].rfind("--", 0) == 0) {
      options.push_back(args[i]);
      const bool takes_value = args[i] == "--rounds" || args[i] == "--plugin";
      if (takes_value && i + 1 < args.size()) options.push_back(args[++i]);
    } else {
      files.push_back(args[i]);
    }
  }
  const CommandLine command_line(options, {"rounds"}, false, {"close-sources"});
  if (command_line.help()) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (files.empty()) throw UsageError("missing FILE");
  const auto rounds_text = command_line.Get("rounds");
  const A_u_long rounds = rounds_text ? ParseCount(*rounds_text, "--rounds") : 1;

  ToolSession session(ModulePathFor(command_line));
  standin::Host& host = session.host();
  host.KeepCallLog(false);

  struct Item {
    AEIO_InSpecH spec;
    A_Time frame;  // one frame's length
    A_long width, height;
    bool opened = false;  // a request has opened its file before
  };
  std::vector<Item> items;
  double import_ms = 0;
  for (const std::string& file : files) {
    A_Err result = A_Err_NONE;
    const auto start = Clock::now();
    AEIO_InSpecH spec = session.ImportItem(file, &result);
    import_ms += MillisecondsSince(start);
    if (result != A_Err_NONE) throw PluginError("import of " + file, result);
    const standin::Told& told = host.TellsFor(spec);
    Item item{spec, A_Time{1, 25}, 64, 48};
    if (told.native_fps && *told.native_fps > 0) {
      item.frame = A_Time{65536, static_cast<A_u_long>(*told.native_fps)};
    }
    if (told.dimensions) {
      item.width = told.dimensions->first;
      item.height = told.dimensions->second;
    }
    items.push_back(item);
  }
  const Stage after_import = Measure(files);

  std::map<std::pair<A_long, A_long>, std::unique_ptr<standin::World>> worlds;
  int64_t reopens = 0;
  double frame_ms = 0, reopen_ms = 0;
  int64_t frames = 0;
  for (A_u_long round = 0; round < rounds; ++round) {
    for (Item& item : items) {
      auto& world = worlds[{item.width, item.height}];
      if (!world) world = std::make_unique<standin::World>(item.width, item.height);
      AEIO_DrawSparseFramePB pb{};
      pb.qual = 1;
      pb.rs = AEIO_RationalScale{{1, 1}, {1, 1}};
      pb.tr = A_Time{static_cast<A_long>(round * static_cast<uint64_t>(item.frame.value)),
                     item.frame.scale};
      pb.duration = item.frame;
      AEIO_DrawingFlags flags = 0;
      const std::optional<int64_t> opens_before = DemuxersOpened();
      const auto start = Clock::now();
      // Straight through the function block: the module's time, not the
      // stand-in host's checks of a whole frame buffer.
      const A_Err result = host.callbacks().AEIO_DrawSparseFrame(host.BasicData(), item.spec, &pb,
                                                                 world->get(), &flags);
      const double ms = MillisecondsSince(start);
      if (result != A_Err_NONE) throw PluginError("frame of an item", result);
      frame_ms += ms;
      ++frames;
      const std::optional<int64_t> opens_after = DemuxersOpened();
      if (opens_before && opens_after && *opens_after > *opens_before) {
        if (item.opened) {
          ++reopens;
          reopen_ms += ms;
        }
        item.opened = true;
      }
    }
  }
  const Stage after_draw = Measure(files);

  std::optional<Stage> after_close;
  if (command_line.Has("close-sources")) {
    for (const Item& item : items) {
      const A_Err result = host.callbacks().AEIO_CloseSourceFiles(host.BasicData(), item.spec);
      if (result != A_Err_NONE) throw PluginError("closing an item's files", result);
    }
    after_close = Measure(files);
  }

  std::vector<std::pair<const char*, Stage>> stages = {{"after_import", after_import},
                                                       {"after_draw", after_draw}};
  if (after_close) stages.emplace_back("after_close", *after_close);
  JsonWriter json;
  json.BeginObject()
      .Int("items", static_cast<int64_t>(items.size()))
      .Number("import_ms", import_ms / static_cast<double>(items.size()));
  WriteStages(json, "resident_mib", stages, true);
  WriteStages(json, "open_files", stages, false);
  if (DemuxersOpened()) json.Int("reopens", reopens);
  json.BeginObject("frame_ms").Number("mean", frames > 0 ? frame_ms / frames : 0.0);
  if (reopens > 0) json.Number("first_after_reopen", reopen_ms / static_cast<double>(reopens));
  json.EndObject().EndObject();
  std::printf("%s\n", json.text().c_str());
  return 0;
}
