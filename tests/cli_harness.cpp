#include "tests/cli_harness.h"

#include <filesystem>

#include "settings/settings_file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

// Standard output and error of the child go to files here.
const ScopedTempFolder& CaptureFolder() {
  static ScopedTempFolder folder;
  return folder;
}

#ifdef _WIN32

// Quoting that the C runtime's argument splitting undoes exactly.
std::string QuoteArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

HANDLE OpenInheritable(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

int Spawn(const std::string& program, const std::vector<std::string>& arguments,
          const std::string& working_folder, const std::string& out_path, const std::string& err_path, int) {
  std::string command_line = QuoteArgument(program);
  for (const std::string& argument : arguments) command_line += " " + QuoteArgument(argument);
  HANDLE in = OpenInheritable("NUL", GENERIC_READ, OPEN_EXISTING);
  HANDLE out = OpenInheritable(out_path, GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE err = OpenInheritable(err_path, GENERIC_WRITE, CREATE_ALWAYS);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process = {};
  std::vector<char> writable(command_line.begin(), command_line.end());
  writable.push_back('\0');
  BOOL started =
      CreateProcessA(nullptr, writable.data(), nullptr, nullptr, TRUE, 0, nullptr,
                     working_folder.empty() ? nullptr : working_folder.c_str(), &startup, &process);
  DWORD status = static_cast<DWORD>(-1);
  if (started) {
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(in);
  CloseHandle(out);
  CloseHandle(err);
  return static_cast<int>(status);
}

#else

int Spawn(std::string program, const std::vector<std::string>& arguments, const std::string& working_folder,
          const std::string& out_path, const std::string& err_path, int run_as) {
  std::vector<char*> argv;
  argv.push_back(program.data());
  std::vector<std::string> copies = arguments;
  for (std::string& argument : copies) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t child = fork();
  if (child == 0) {
    int in = open("/dev/null", O_RDONLY);
    int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) {
      _exit(126);
    }
    if (!working_folder.empty() && chdir(working_folder.c_str()) != 0) _exit(126);
    if (run_as != -1 && (setgid(run_as) != 0 || setuid(run_as) != 0)) _exit(126);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

#endif

}  // namespace

CliRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                  const std::string& working_folder, int run_as) {
  std::string out_path = CaptureFolder().Join("stdout");
  std::string err_path = CaptureFolder().Join("stderr");
  CliRun run;
  run.Status = Spawn(program, arguments, working_folder, out_path, err_path, run_as);
  run.Out = ReadFileBytes(out_path);
  run.Err = ReadFileBytes(err_path);
#ifdef _WIN32
  // Messages are text: standard error ends its lines the platform's way.
  for (size_t at = run.Err.find("\r\n"); at != std::string::npos; at = run.Err.find("\r\n", at)) {
    run.Err.erase(at, 1);
  }
#endif
  return run;
}

CliRun RunCli(const std::vector<std::string>& arguments, const std::string& working_folder, int run_as) {
  return RunProgram(KESTROVA_CLI_PATH, arguments, working_folder, run_as);
}

bool StartsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

std::vector<std::string> Concat(std::vector<std::string> first, const std::vector<std::string>& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string SettingLine(const std::string& printed_text, const std::string& key) {
  const std::string settings_text = NormalizeSettingsBytes(printed_text);
  size_t at = settings_text.find("\n" + key + "=");
  if (at == std::string::npos) return "(no " + key + " line)";
  size_t end = settings_text.find('\n', at + 1);
  return settings_text.substr(at + 1, end - at - 1);
}

// A folder to list: two sub-folders and three files, one of them empty, and
// a separate folder for outputs, so that no output lands in the listing.
ListedFolder::ListedFolder() {
  std::filesystem::create_directory(folder_.Join("Docs"));
  std::filesystem::create_directory(folder_.Join("old stuff"));
  WriteFileBytes(folder_.Join("a.txt"), "0123456789");
  WriteFileBytes(folder_.Join("B & b.html"), std::string(1536, 'x'));
  WriteFileBytes(folder_.Join("empty"), "");
}
