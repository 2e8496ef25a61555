#pragma once

#include "EventServer.h"
#include "Site.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace ardix::sim {

class MotionScene;

// Default length of the prepared loop behind each live stream.
constexpr int kDefaultLiveLoopSeconds = 10;

// The pictures a live stream is offered in: Main 640x360 at 25 frames per second, Sub
// 320x180 at 15, for cells too small to need more.
enum class LiveProfile { Main, Sub };

// Makes the simulated site's video with ffmpeg from its built-in test sources, once, into a
// cache folder, and hands out the path of the finished file. Made files are kept between runs;
// a file is only ever seen under its final name once complete. Thread-safe: callers asking for
// the same file while it is being made wait for that one run of ffmpeg.
class MediaMaker
{
public:
    struct Options
    {
        std::string cacheDir;          // empty: $XDG_CACHE_HOME/zarn-sim (~/.cache/zarn-sim)
        std::string ffmpeg = "ffmpeg"; // the program, looked up in PATH
        int liveLoopSeconds = kDefaultLiveLoopSeconds;
        // The pictures of the Sub profile: smaller ones for walls of cells smaller still.
        int subWidth = 320;
        int subHeight = 180;
        int subRate = 15;
    };

    // Reads "WIDTHxHEIGHT@RATE" (e.g. "240x135@10") into the Sub profile of `options`; false,
    // leaving them alone, for anything else or sizes and rates no encoder takes.
    static bool parseSubProfile(const std::string &text, Options &options);

    MediaMaker(Options options, LogFunction log);

    // A recording of `durationMs` starting at `startMs` (ms since the epoch): H.264 in MP4,
    // the camera's name and the recording's own local time burned in over the stream's scene
    // (MotionScene of sceneSeed and streamId: the test card, its crossings, a blinking light;
    // without a seed no crossings). Empty on failure.
    std::string recording(const std::string &cameraName, std::int64_t streamId,
                          std::int64_t startMs, std::int64_t durationMs,
                          RecordingProfile profile = RecordingProfile::Small,
                          std::optional<std::uint64_t> sceneSeed = 1);
    // The recording of a chunk still being recorded, from `startMs` for `durationMs` (whole
    // seconds): made in pieces, each request making only what was recorded since the last one
    // and joining the pieces without encoding them again. The file made for the previous length
    // but one is removed. Empty on failure.
    std::string growingRecording(const std::string &cameraName, std::int64_t streamId,
                                 std::int64_t startMs, std::int64_t durationMs,
                                 RecordingProfile profile = RecordingProfile::Small,
                                 std::optional<std::uint64_t> sceneSeed = 1);
    // The loop behind a live stream in one profile: H.264 constrained baseline in MPEG-TS, a
    // keyframe every second, the camera's name and a running clock burned in. Empty on failure.
    std::string liveLoop(const std::string &cameraName, std::int64_t streamId,
                         LiveProfile profile = LiveProfile::Main);

    std::string cacheDir() const { return cacheDir_; }

    // The camera name as drawtext may show it: characters that the filter syntax gives a
    // meaning to are left out.
    static std::string drawableText(const std::string &text);

private:
    std::vector<std::string> recordingArgs(const std::string &name, const MotionScene &scene,
                                           std::int64_t startMs, std::int64_t durationMs,
                                           bool main) const;
    std::string make(const std::string &fileName, const std::vector<std::string> &filterArgs);
    bool runFfmpeg(const std::vector<std::string> &args, const std::string &errorFile,
                   std::string &error) const;
    bool ensureCacheDir(std::string &error) const;

    Options options_;
    LogFunction log_;
    std::string cacheDir_;
    std::mutex mutex_;
    std::map<std::string, std::shared_ptr<std::mutex>> making_;
    // Chunks being recorded, by the name of their pieces: the pieces made (offsets from the
    // chunk's start where each ends) and the lengths joined so far.
    struct Growing
    {
        std::vector<std::int64_t> pieceEnds;
        std::vector<std::string> joined;
    };
    std::map<std::string, Growing> growing_;
};

} // namespace ardix::sim
