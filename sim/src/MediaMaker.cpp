#include "MediaMaker.h"

#include "MotionScene.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace ardix::sim {

namespace {

// Bumped whenever the encoding below changes, so that older cached files are not reused.
constexpr const char *kMediaVersion = "v3";

std::string defaultCacheDir()
{
    if (const char *xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg)
        return std::string(xdg) + "/zarn-sim";
    if (const char *home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.cache/zarn-sim";
    return "/tmp/zarn-sim-cache";
}

std::uint32_t fnv1a(const std::string &text)
{
    std::uint32_t hash = 2166136261u;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 16777619u;
    }
    return hash;
}

bool fileExists(const std::string &path)
{
    struct stat st
    {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

std::string lastLine(const std::string &path)
{
    std::ifstream in(path);
    std::string line, last;
    while (std::getline(in, line)) {
        if (!line.empty())
            last = line;
    }
    return last;
}

// A boxed text line; `scale` shrinks position and size alike for smaller pictures.
std::string label(const std::string &text, int y, int scale = 1)
{
    return "drawtext=text='" + text + "':x=" + std::to_string(12 / scale) +
           ":y=" + std::to_string(y / scale) + ":fontsize=" + std::to_string(24 / scale) +
           ":fontcolor=white:box=1:boxcolor=black@0.6:boxborderw=" + std::to_string(4 / scale);
}

struct LiveFormat
{
    std::string fileTag; // between "live-" and the version; empty for the main profile
    std::string size;
    int rate;  // frames per second, also the keyframe interval
    int scale; // of the burned-in labels
};

LiveFormat liveFormat(LiveProfile profile, const MediaMaker::Options &options)
{
    // The main profile's file names are those of the cache before profiles existed, and the
    // default Sub's those before its size could be chosen.
    if (profile == LiveProfile::Sub) {
        const std::string size =
            std::to_string(options.subWidth) + "x" + std::to_string(options.subHeight);
        const bool usual = size == "320x180" && options.subRate == 15;
        return {usual ? std::string("sub-")
                      : "sub-" + size + "-" + std::to_string(options.subRate) + "-",
                size, options.subRate, 2};
    }
    return {"", "640x360", 25, 1};
}

// The main recording profile: a keyframe every second, so that a player seeks inside a chunk
// at once, and a constant 1 Mbit/s. Bars compress to almost nothing, so the encoder pads each
// frame up to the rate (filler data): files as large as a camera's, made at the speed of the
// fastest preset.
std::vector<std::string> mainRecordingRate()
{
    return {"-b:v",          "1M", "-minrate",     "1M",          "-maxrate",    "1M",
            "-bufsize",      "2M", "-g",           "25",          "-keyint_min", "25",
            "-sc_threshold", "0",  "-x264-params", "nal-hrd=cbr", "-pix_fmt",    "yuv420p"};
}

// The scene in a cache file's name: its seed, or "bare" without crossings.
std::string sceneTag(const std::optional<std::uint64_t> &seed)
{
    return seed ? std::to_string(*seed) : std::string("bare");
}

std::string seconds(std::int64_t ms)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%lld.%03lld", static_cast<long long>(ms / 1000),
                  static_cast<long long>(ms % 1000));
    return buffer;
}

} // namespace

MediaMaker::MediaMaker(Options options, LogFunction log)
    : options_(std::move(options))
    , log_(std::move(log))
    , cacheDir_(options_.cacheDir.empty() ? defaultCacheDir() : options_.cacheDir)
{
    if (options_.liveLoopSeconds < 2)
        options_.liveLoopSeconds = 2;
}

std::string MediaMaker::drawableText(const std::string &text)
{
    std::string out;
    for (unsigned char c : text) {
        const bool plain = std::isalnum(c) || c >= 0x80 || std::strchr(" -_.#()+&/!?", c);
        out += plain && c != 0 ? static_cast<char>(c) : ' ';
    }
    return out;
}

bool MediaMaker::parseSubProfile(const std::string &text, Options &options)
{
    int width = 0, height = 0, rate = 0;
    char end = 0;
    // H.264 in 4:2:0 wants even sizes.
    if (std::sscanf(text.c_str(), "%dx%d@%d%c", &width, &height, &rate, &end) != 3 || width < 16 ||
        height < 16 || width > 4096 || height > 4096 || width % 2 != 0 || height % 2 != 0 ||
        rate < 1 || rate > 60)
        return false;
    options.subWidth = width;
    options.subHeight = height;
    options.subRate = rate;
    return true;
}

std::vector<std::string> MediaMaker::recordingArgs(const std::string &name,
                                                   const MotionScene &scene, std::int64_t startMs,
                                                   std::int64_t durationMs, bool main) const
{
    // The clock is the frame's time from the recording's start, shown in local time.
    const std::string clock =
        "%{pts\\:localtime\\:" + seconds(startMs) + "\\:%Y-%m-%d %H\\\\\\:%M\\\\\\:%S}";
    std::vector<std::string> args = {
        "-f", "lavfi", "-i", std::string("smptebars=size=640x360:rate=") + (main ? "25" : "5"),
        "-t", seconds(std::max<std::int64_t>(durationMs, 200)),
        // The scene's crossings and blinking light first, the name and clock over them.
        "-filter_complex",
        scene.filter(startMs, std::max<std::int64_t>(durationMs, 200), 640, 360, main ? 25 : 5) +
            ";[scene]" + label(name, 12) + "," + label(clock, 48),
        "-c:v", "libx264", "-preset", "ultrafast"};
    // The small profile's arguments keep the order they had before the main profile existed.
    const std::vector<std::string> rate =
        main ? mainRecordingRate()
             : std::vector<std::string>{"-crf", "30", "-pix_fmt", "yuv420p", "-g", "50"};
    args.insert(args.end(), rate.begin(), rate.end());
    for (const char *a : {"-an", "-movflags", "+faststart", "-f", "mp4"})
        args.emplace_back(a);
    return args;
}

std::string MediaMaker::recording(const std::string &cameraName, std::int64_t streamId,
                                  std::int64_t startMs, std::int64_t durationMs,
                                  RecordingProfile profile, std::optional<std::uint64_t> sceneSeed)
{
    const bool main = profile == RecordingProfile::Main;
    const std::string name = drawableText(cameraName);
    // The small profile's file names are those of the cache before profiles existed.
    const std::string file = std::string(main ? "rec-main-" : "rec-") + kMediaVersion + "-" +
                             sceneTag(sceneSeed) + "-" + std::to_string(streamId) + "-" +
                             std::to_string(startMs) + "-" + std::to_string(durationMs) + "-" +
                             std::to_string(fnv1a(name)) + ".mp4";
    return make(file, recordingArgs(
                          name, MotionScene(sceneSeed.value_or(0), streamId, sceneSeed.has_value()),
                          startMs, durationMs, main));
}

std::string MediaMaker::growingRecording(const std::string &cameraName, std::int64_t streamId,
                                         std::int64_t startMs, std::int64_t durationMs,
                                         RecordingProfile profile,
                                         std::optional<std::uint64_t> sceneSeed)
{
    const bool main = profile == RecordingProfile::Main;
    const std::string name = drawableText(cameraName);
    const std::int64_t length = std::max<std::int64_t>(durationMs / 1000 * 1000, 1000);
    const std::string stem = std::string(main ? "main-" : "") + kMediaVersion + "-" +
                             sceneTag(sceneSeed) + "-" + std::to_string(streamId) + "-" +
                             std::to_string(startMs) + "-" + std::to_string(fnv1a(name));
    // One request of a chunk at a time: each makes the piece the previous ones lack.
    std::shared_ptr<std::mutex> chunkMutex;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto &slot = making_["growing-" + stem];
        if (!slot)
            slot = std::make_shared<std::mutex>();
        chunkMutex = slot;
    }
    std::lock_guard<std::mutex> making(*chunkMutex);
    std::vector<std::int64_t> ends;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ends = growing_[stem].pieceEnds;
    }
    const auto pieceFile = [&](std::int64_t from, std::int64_t to) {
        return "rec-piece-" + stem + "-" + std::to_string(from) + "-" + std::to_string(to) + ".mp4";
    };
    std::int64_t covered = ends.empty() ? 0 : ends.back();
    if (length > covered) {
        if (make(pieceFile(covered, length),
                 recordingArgs(name,
                               MotionScene(sceneSeed.value_or(0), streamId, sceneSeed.has_value()),
                               startMs + covered, length - covered, main))
                .empty())
            return std::string();
        ends.push_back(length);
        covered = length;
    }
    // The pieces up to the length asked for, joined as they are.
    std::vector<std::string> pieces;
    std::int64_t from = 0;
    for (const std::int64_t end : ends) {
        if (end > length)
            break;
        pieces.push_back(cacheDir_ + "/" + pieceFile(from, end));
        from = end;
    }
    // A length between two pieces (asked after later pieces were made): made whole, once.
    if (from != length)
        return recording(cameraName, streamId, startMs, length, profile, sceneSeed);
    const std::int64_t joinedLength = from;
    const std::string joined = "rec-joined-" + stem + "-" + std::to_string(joinedLength) + ".mp4";
    const std::string list = cacheDir_ + "/" + joined + ".list";
    {
        std::ofstream out(list, std::ios::trunc);
        for (const auto &piece : pieces)
            out << "file '" << piece << "'\n";
        if (!out) {
            log_("media: cannot write " + list);
            return std::string();
        }
    }
    const std::string path = make(joined, {"-f", "concat", "-safe", "0", "-i", list, "-c", "copy",
                                           "-movflags", "+faststart", "-f", "mp4"});
    ::unlink(list.c_str());
    if (path.empty())
        return path;
    std::lock_guard<std::mutex> lock(mutex_);
    Growing &g = growing_[stem];
    g.pieceEnds = ends;
    if (g.joined.empty() || g.joined.back() != path)
        g.joined.push_back(path);
    // A request may still be opening the previous file: the one before it goes.
    while (g.joined.size() > 2) {
        ::unlink(g.joined.front().c_str());
        g.joined.erase(g.joined.begin());
    }
    return path;
}

std::string MediaMaker::liveLoop(const std::string &cameraName, std::int64_t streamId,
                                 LiveProfile profile)
{
    const LiveFormat format = liveFormat(profile, options_);
    const std::string name = drawableText(cameraName);
    const std::string file =
        std::string("live-") + format.fileTag + kMediaVersion + "-" + std::to_string(streamId) +
        "-" + std::to_string(options_.liveLoopSeconds) + "-" + std::to_string(fnv1a(name)) + ".ts";
    const std::string rate = std::to_string(format.rate);
    return make(file,
                {"-f",
                 "lavfi",
                 "-i",
                 std::string("testsrc2=size=") + format.size + ":rate=" + rate,
                 "-t",
                 std::to_string(options_.liveLoopSeconds),
                 "-vf",
                 label(name, 30, format.scale) + "," + label("%{pts\\:hms}", 66, format.scale),
                 "-c:v",
                 "libx264",
                 "-preset",
                 "veryfast",
                 "-tune",
                 "zerolatency",
                 "-profile:v",
                 "baseline",
                 "-pix_fmt",
                 "yuv420p",
                 "-g",
                 rate,
                 "-keyint_min",
                 rate,
                 "-sc_threshold",
                 "0",
                 "-bf",
                 "0",
                 "-an",
                 "-f",
                 "mpegts"});
}

std::string MediaMaker::make(const std::string &fileName, const std::vector<std::string> &encode)
{
    const std::string path = cacheDir_ + "/" + fileName;
    std::shared_ptr<std::mutex> fileMutex;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto &slot = making_[fileName];
        if (!slot)
            slot = std::make_shared<std::mutex>();
        fileMutex = slot;
    }
    std::lock_guard<std::mutex> making(*fileMutex);
    if (fileExists(path))
        return path;

    std::string error;
    if (!ensureCacheDir(error)) {
        log_("media: cannot use the cache folder " + cacheDir_ + ": " + error);
        return std::string();
    }
    static std::atomic<unsigned> serial{0};
    const std::string partial =
        path + ".part-" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
    std::vector<std::string> args = {options_.ffmpeg, "-nostdin", "-hide_banner",
                                     "-loglevel",     "error",    "-y"};
    args.insert(args.end(), encode.begin(), encode.end());
    args.push_back(partial);
    const std::string errorFile = partial + ".log";
    const bool made = runFfmpeg(args, errorFile, error);
    ::unlink(errorFile.c_str());
    if (!made || !fileExists(partial) || ::rename(partial.c_str(), path.c_str()) != 0) {
        if (made)
            error = "no output: " + std::string(std::strerror(errno));
        ::unlink(partial.c_str());
        log_("media: making " + fileName + " failed: " + error);
        return std::string();
    }
    log_("media: made " + path);
    return path;
}

bool MediaMaker::runFfmpeg(const std::vector<std::string> &args, const std::string &errorFile,
                           std::string &error) const
{
    std::vector<char *> argv;
    for (const auto &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const int spawned =
        posix_spawnp(&pid, args[0].c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        error = "cannot run " + args[0] + ": " + std::strerror(spawned);
        return false;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return true;
    const std::string detail = lastLine(errorFile);
    error = args[0] +
            (WIFEXITED(status) ? " exited with " + std::to_string(WEXITSTATUS(status))
                               : std::string(" was killed")) +
            (detail.empty() ? std::string() : ": " + detail);
    return false;
}

bool MediaMaker::ensureCacheDir(std::string &error) const
{
    // Each missing folder along the path is made, owner-only for the last one.
    for (std::size_t pos = 1; pos != std::string::npos;) {
        pos = cacheDir_.find('/', pos + 1);
        const std::string part = cacheDir_.substr(0, pos);
        if (::mkdir(part.c_str(), pos == std::string::npos ? 0700 : 0755) != 0 && errno != EEXIST) {
            error = std::strerror(errno);
            return false;
        }
    }
    if (::access(cacheDir_.c_str(), W_OK | X_OK) != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace ardix::sim
