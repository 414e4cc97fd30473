// osterlin-tool make-demo DIR: writes the demo game (see demo.h), then records
// its tour and its sessions by running the engine headless on it with their
// scripted input.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "demo.h"
#include "tool.h"

extern char** environ;

namespace {

constexpr const char* Frame_Limit = "60000";

std::string tool_folder() {
  char buffer[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return ".";
  buffer[length] = 0;
  return std::filesystem::path(buffer).parent_path().string();
}

// Runs the engine, its stderr to `log`; the exit status, or -1.
int run_engine(const std::string& engine, const std::vector<std::string>& args, const std::string& private_dir,
               const std::string& log) {
  std::vector<std::string> env_text = {"OSTERLIN_REGISTRY=" + private_dir + "/none.ini",
                                       "XDG_RUNTIME_DIR=" + private_dir, "SDL_AUDIODRIVER=dummy"};
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    if (entry.rfind("OSTERLIN_REGISTRY=", 0) == 0 || entry.rfind("XDG_RUNTIME_DIR=", 0) == 0 ||
        entry.rfind("SDL_AUDIODRIVER=", 0) == 0 || entry.rfind("OSTERLIN_DEBUG=", 0) == 0) {
      continue;
    }
    env_text.push_back(entry);
  }
  std::vector<char*> env;
  for (std::string& e : env_text) env.push_back(e.data());
  env.push_back(nullptr);
  std::vector<std::string> argv_text = {engine};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int spawned = posix_spawn(&pid, engine.c_str(), &actions, nullptr, argv.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

struct Recorded_Run {
  int status = -1;
  std::vector<std::string> trace;
};

// Runs the engine headless with tracing on the input steps of DIR/NAME.txt,
// recording DIR/NAME.rec, and writes DIR/NAME-shots.txt ("FRAME NAME" lines)
// from the steps' shots. `extra` goes before the folder options.
bool record_run(const std::string& engine, const std::filesystem::path& root, const std::string& name,
                const std::vector<std::string>& extra, Recorded_Run* result, std::string* error) {
  char pattern[] = "/tmp/osterlin-demo-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    *error = "cannot make a temporary folder";
    return false;
  }
  std::string private_dir = pattern;
  std::string log = private_dir + "/trace.txt";
  std::string prefix = root.string() + "/";
  std::vector<std::string> args = {"--headless", "--trace", "--frames", Frame_Limit,
                                   "--record", (root / (name + ".rec")).string(),
                                   "--tour", (root / (name + ".txt")).string()};
  args.insert(args.end(), extra.begin(), extra.end());
  args.insert(args.end(), {"-hd", prefix, "-cd", prefix});
  result->status = run_engine(engine, args, private_dir, log);
  std::ifstream in(log);
  std::string line, shots;
  while (std::getline(in, line)) {
    if (line.rfind("tour shot ", 0) == 0) {
      std::istringstream words(line.substr(10));
      std::string shot, frame;
      words >> shot >> frame;
      shots += frame + " " + shot + "\n";
    }
    result->trace.push_back(line);
  }
  std::error_code ignored;
  std::filesystem::remove_all(private_dir, ignored);
  if (!Tool_Write_File((root / (name + "-shots.txt")).string(), shots.data(), shots.size())) {
    *error = "cannot write " + name + "-shots.txt";
    return false;
  }
  return true;
}

void remove_saved_games(const std::filesystem::path& root) {
  std::error_code ignored;
  for (int slot = 1; slot <= 8; ++slot) std::filesystem::remove(root / ("Saved_" + std::to_string(slot) + ".bin"), ignored);
}

// Records the tour, which must walk all six levels to the end, then the
// sessions, each of which must end by END or by closing the window.
bool record_all(const std::string& engine, const std::filesystem::path& root, const Demo_Game& game,
                std::string* error) {
  remove_saved_games(root);
  Recorded_Run tour;
  if (!record_run(engine, root, "tour", {}, &tour, error)) return false;
  bool level_six = std::any_of(tour.trace.begin(), tour.trace.end(),
                               [](const std::string& line) { return line.rfind("level 6 ", 0) == 0; });
  std::string last = tour.trace.empty() ? "" : tour.trace.back();
  if (tour.status != 0 || !level_six || last != "end") {
    remove_saved_games(root);
    *error = "the tour did not walk the game to its end (engine status " + std::to_string(tour.status) +
             ", last line '" + last + "')";
    return false;
  }
  // The tour saves a game; the sessions start, as a player would, without one.
  remove_saved_games(root);
  for (const Demo_Session& session : game.sessions) {
    Recorded_Run run;
    if (!record_run(engine, root, session.name, {"-level", std::to_string(session.level)}, &run, error)) break;
    std::string end = run.trace.empty() ? "" : run.trace.back();
    if (run.status != 0 || (end != "end" && end != "quit")) {
      *error = "the session " + session.name + " did not end (engine status " + std::to_string(run.status) +
               ", last line '" + end + "')";
      break;
    }
  }
  remove_saved_games(root);
  return error->empty();
}

int run(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  std::string engine = tool_folder() + "/osterlin";
  Tool_Take_Option(args, "--engine", engine);
  bool no_tour = Tool_Take_Flag(args, "--no-tour");
  if (args.size() != 1) return Tool_Usage_Error("make-demo");
  std::filesystem::path root = std::filesystem::absolute(args[0]);
  Demo_Game game = Demo_Build();
  std::string error;
  if (!Demo_Write(game, root.string(), &error)) return Tool_Fail(error);
  if (no_tour) return Tool_Ok;
  if (access(engine.c_str(), X_OK) != 0) {
    return Tool_Fail("no engine at " + engine + " to record the tour (--engine PATH, or --no-tour)");
  }
  if (!record_all(engine, root, game, &error)) return Tool_Fail(error);
  std::printf("%s\n", root.string().c_str());
  return Tool_Ok;
}

Tool_Registration registration({
    "make-demo",
    "osterlin-tool make-demo [--no-tour] [--engine PATH] DIR\n",
    "write the demo game into DIR and record its tour (DIR/tour.rec) and sessions with the engine",
    run,
});

}  // namespace
