#include "io/assimp_child.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <sstream>
#include <unordered_map>

#include "io/assimp_io.h"
#include "io/plain_obj.h"
#include "platform/child_process.h"
#include "platform/paths.h"
#include "scene/archive.h"

namespace mw {
namespace {

// What passes between the two processes: the scene as a .mwr file and the result as text,
//   line 1: the DocumentError's number and the system error number
//   line 2: the detail (one line, may be empty)
//   then:   one warning per line
constexpr const char* kSceneFile = "scene.mwr";
constexpr const char* kResultFile = "result.txt";

// The helper's exit codes besides 0 (the result file was written).
constexpr int kExitUsage = 64;
constexpr int kExitOutOfMemory = 65;
constexpr int kExitCannotReport = 66;
constexpr int kExitOrphaned = 67;

// /proc/self/status's VmSize in bytes, or -1.
std::int64_t MappedBytes() {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return -1;
  char line[256];
  std::int64_t value = -1;
  while (std::fgets(line, sizeof line, f))
    if (std::strncmp(line, "VmSize:", 7) == 0) {
      value = std::strtoll(line + 7, nullptr, 10) * 1024;
      break;
    }
  std::fclose(f);
  return value;
}

[[noreturn]] void OutOfMemory() { _exit(kExitOutOfMemory); }

std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  return text;
}

bool WriteResult(const std::string& folder, const DocumentResult& r) {
  std::string text = std::to_string(static_cast<int>(r.error)) + " " + std::to_string(r.systemError) + "\n" +
                     OneLine(r.detail) + "\n";
  for (const std::string& w : r.warnings) text += OneLine(w) + "\n";
  const std::string path = folder + "/" + kResultFile;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && written;
}

// The helper's result file, read with bounds: it is text of ours, but a helper that died while
// writing it must not be believed.
bool ReadResult(const std::string& folder, DocumentResult& r) {
  std::ifstream in(folder + "/" + kResultFile, std::ios::binary);
  if (!in) return false;
  std::string text(64 * 1024, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  std::istringstream lines(text);
  std::string first;
  if (!std::getline(lines, first)) return false;
  int error = -1, systemError = 0;
  if (std::sscanf(first.c_str(), "%d %d", &error, &systemError) != 2) return false;
  if (error < 0 || error > static_cast<int>(DocumentError::kReaderMissing)) return false;
  r = DocumentResult{};
  r.error = static_cast<DocumentError>(error);
  r.systemError = systemError;
  if (!std::getline(lines, r.detail)) return false;
  for (std::string w; std::getline(lines, w);)
    if (!w.empty()) r.warnings.push_back(std::move(w));
  return true;
}

std::string SignalName(int signal) {
  switch (signal) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGABRT: return "SIGABRT";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    case SIGKILL: return "SIGKILL";
  }
  return "signal " + std::to_string(signal);
}

// Appends what the helper read: its materials get the scene's next identifiers, the faces follow.
void Append(CMeshwright& scene, CMeshwright& read) {
  std::unordered_map<std::int32_t, std::int32_t> ids;
  for (CMaterial& m : read.materials) {
    const std::int32_t id = scene.nextMaterialId;
    scene.nextMaterialId = static_cast<std::int32_t>(static_cast<std::uint32_t>(id) + 1u);
    ids[m.id] = id;
    m.id = id;
  }
  for (CModel& model : read.models)
    for (CFace& face : model.faces)
      if (auto it = ids.find(face.material); it != ids.end()) face.material = it->second;
  for (CMaterial& m : read.materials) {
    m.UpdateMaterialColors();
    if (!m.texture.empty()) m.LoadTexture();
    scene.materials.push_back(std::move(m));
  }
  for (CModel& m : read.models) {
    m.ComputeNormals(scene.smoothing);
    scene.models.push_back(std::move(m));
  }
}

}  // namespace

ImportLimits DefaultImportLimits(std::uint64_t fileBytes) {
  ImportLimits limits;
  // Assimp's readers hold the text, their own lists and the scene at once: the million-quad OBJ
  // (45 MB) peaks near 1 GB. A file gets 1 GiB plus 40 times its size, at most 3/4 of the memory.
  const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGE_SIZE);
  const std::int64_t physical = pages > 0 && pageSize > 0 ? std::int64_t{pages} * pageSize : std::int64_t{8} << 30;
  const std::int64_t wanted = (std::int64_t{1} << 30) + static_cast<std::int64_t>(std::min<std::uint64_t>(fileBytes, std::uint64_t{1} << 36)) * 40;
  limits.addressBytes = std::max<std::int64_t>(std::min(wanted, physical / 4 * 3), std::int64_t{512} << 20);
  // The million-quad OBJ takes about 3 s: 20 s, and 1 s more per MB, is far from any sound file.
  limits.seconds = 20.0 + static_cast<double>(fileBytes) / 1e6;
  return limits;
}

DocumentResult ImportAssimpInChild(CMeshwright& scene, const std::string& path) {
  struct stat info;
  const std::uint64_t size = stat(path.c_str(), &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
  return ImportAssimpWithLimits(scene, path, DefaultImportLimits(size));
}

DocumentResult ImportAssimpWithLimits(CMeshwright& scene, const std::string& path, const ImportLimits& limits) {
  const std::string helper = limits.helper.empty() ? ProgramFolder() + kImportHelperName : limits.helper;
  if (access(helper.c_str(), X_OK) != 0) {
    DocumentResult r = DocumentFailure(DocumentError::kReaderMissing, errno);
    r.detail = helper;
    return r;
  }
  const TempFolder handOver(kImportTempPrefix);
  const std::string& folder = handOver.path();
  if (folder.empty()) return DocumentFailure(DocumentError::kCannotOpen, errno);

  // The helper stops itself a little after the time given (CPU time, and a wall clock of its own
  // should this process be gone); the wall clock here is the limit that counts.
  const double seconds = limits.seconds > 0 ? limits.seconds : 20.0;
  const std::string helperSeconds = std::to_string(static_cast<long long>(seconds) + 1);
  const ChildOutcome outcome = RunChildProcess(
      helper, {std::to_string(limits.addressBytes), helperSeconds, path, folder, std::to_string(getpid()), helperSeconds},
      seconds);
  DocumentResult result;
  switch (outcome.kind) {
    case ChildOutcome::Kind::kFailedToStart: {
      DocumentResult r = DocumentFailure(DocumentError::kReaderMissing, outcome.systemError);
      r.detail = helper;
      return r;
    }
    case ChildOutcome::Kind::kTimedOut: return DocumentFailure(DocumentError::kReaderTimedOut);
    case ChildOutcome::Kind::kSignalled:
      if (outcome.signal == SIGXCPU || outcome.signal == SIGALRM) return DocumentFailure(DocumentError::kReaderTimedOut);
      {
        DocumentResult r = DocumentFailure(DocumentError::kReaderCrashed);
        r.detail = SignalName(outcome.signal);
        return r;
      }
    case ChildOutcome::Kind::kExited:
      if (outcome.exitCode == kExitOutOfMemory) return DocumentFailure(DocumentError::kReaderOutOfMemory);
      if (outcome.exitCode != 0 || !ReadResult(folder, result)) {
        // A sanitizer's report ends the helper with a status of its own.
        DocumentResult r = DocumentFailure(DocumentError::kReaderCrashed);
        r.detail = "exit status " + std::to_string(outcome.exitCode);
        return r;
      }
      break;
  }
  if (!result.ok()) return result;

  CMeshwright read;
  const ArchiveResult archive = OpenSceneFile(read, folder + "/" + kSceneFile);
  if (!archive.ok() || read.models.empty()) {
    DocumentResult r = DocumentFailure(DocumentError::kReaderCrashed);
    r.detail = archive.ok() ? "no models handed back" : archive.detail;
    return r;
  }
  Append(scene, read);
  return result;
}

int ImportHelperMain(int argc, char** argv) {
  if (argc != 5 && argc != 7) {
    std::fprintf(stderr, "usage: %s ADDRESS-BYTES CPU-SECONDS INPUT OUTPUT-FOLDER [PARENT-PID WALL-SECONDS]\n",
                 argc > 0 ? argv[0] : kImportHelperName);
    return kExitUsage;
  }
  const long long addressBytes = std::atoll(argv[1]);
  const long long cpuSeconds = std::atoll(argv[2]);
  const std::string input = argv[3], folder = argv[4];
  if (argc == 7) {
    // The helper goes with the program that started it, and stops by itself at its time: a killed
    // program must not leave it reading (or blocked) with nobody to stop it.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != static_cast<pid_t>(std::atoll(argv[5]))) _exit(kExitOrphaned);  // gone before the line above
    const long long wallSeconds = std::atoll(argv[6]);
    if (wallSeconds > 0) alarm(static_cast<unsigned>(std::min<long long>(wallSeconds, 1'000'000)));
  }

  // A crash leaves no core file behind; the limits count from what is mapped now (a sanitizer's
  // shadow memory is mapped at start).
  const rlimit noCore{0, 0};
  setrlimit(RLIMIT_CORE, &noCore);
  if (cpuSeconds > 0) {
    const rlimit cpu{static_cast<rlim_t>(cpuSeconds), static_cast<rlim_t>(cpuSeconds + 1)};
    setrlimit(RLIMIT_CPU, &cpu);
  }
  if (addressBytes > 0) {
    const std::int64_t mapped = MappedBytes();
    if (mapped < 0) return kExitCannotReport;
    const auto total = static_cast<rlim_t>(mapped + addressBytes);
    const rlimit as{total, total};
    if (setrlimit(RLIMIT_AS, &as) != 0) return kExitCannotReport;
  }
  std::set_new_handler(OutOfMemory);

  CMeshwright scene;
  DocumentResult r;
  // A plain OBJ reads at tinyobjloader's speed; every other file (and an OBJ with more in it) as before.
  const bool obj = input.size() > 4 && input[input.size() - 4] == '.' &&
                   std::tolower(static_cast<unsigned char>(input[input.size() - 3])) == 'o' &&
                   std::tolower(static_cast<unsigned char>(input[input.size() - 2])) == 'b' &&
                   std::tolower(static_cast<unsigned char>(input[input.size() - 1])) == 'j';
  // The plain reader holds about six times the file at its peak; where the limit leaves less than
  // twice that, Assimp reads the file and meets the limit as it always has.
  struct stat info {};
  const bool roomy = addressBytes <= 0 || (::stat(input.c_str(), &info) == 0 && info.st_size < addressBytes / 12);
  if (!obj || !roomy || !ReadPlainObj(scene, input, r)) r = ImportAssimp(scene, input);
  if (r.ok()) {
    const ArchiveResult saved = SaveSceneFile(scene, folder + "/" + kSceneFile);
    if (!saved.ok()) r = DocumentFailure(DocumentError::kTooLarge, saved.systemError);
  }
  if (!WriteResult(folder, r)) return kExitCannotReport;
  // No destructors: Assimp's scene is gone with the process.
  std::fflush(nullptr);
  _exit(0);
}

}  // namespace mw
