#pragma once

#include "zarn/NameValueMap.h"
#include "zarn/ObjectData.h"
#include "zarn/StreamChunk.h"
#include "zarn/ValuePtr.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ardix::sim {

class ContinuousRecording;

struct SiteUser
{
    std::int64_t id = 0;
    std::string name;
    std::string password;
};

// A stream's till receipts made up by a ReceiptGenerator (docs/site-file.md).
struct PosGenerator
{
    std::uint64_t seed = 1;
    std::string till; // the receipts' first word(s), e.g. "Till 1"
};

// Receipt texts that a stream's gateway publishes on the stream's channel, one every
// intervalMs, in order, starting over after the last; or, with a generator and no texts, the
// generator's receipts at their times. historyFromMs: the stream's past ("pos-data") starts
// there: the generator's receipts, else the script replayed back in time.
struct PosScript
{
    int intervalMs = 3000;
    std::vector<std::string> texts; // empty only with a generator
    std::optional<PosGenerator> generator;
    std::int64_t historyFromMs = 0;
};

// How a recorded chunk is made: Small is 640x360 at 5 frames per second and well under 1 MB
// per 10 minutes; Main the camera's own 640x360 at 25 frames per second, about 1 Mbit/s.
enum class RecordingProfile { Small, Main };

// What the gateway does with a chunk's recording; chunks without an entry are Small and served.
struct ChunkMedia
{
    RecordingProfile profile = RecordingProfile::Small;
    bool unavailable = false; // listed by searchChunks, but its recording answers 404
    // When above 0, the recording served holds only the chunk's first heldMs: a gateway that
    // lists more than its file holds.
    std::int64_t heldMs = 0;
};

// An event the site raises by itself, every everySeconds, the first firstAfterSeconds after the
// start (docs/site-file.md, "Events").
struct ScheduledEvent
{
    std::int64_t source = 0;
    std::string className;
    int everySeconds = 60;
    int firstAfterSeconds = 60;
    std::string fields; // the compact JSON object the event carries: "text" and any extra keys
};

// One object as the site file gives it, with what the server keeps beside it.
struct SiteObject
{
    zarn::ObjectData data;
    zarn::NameValueMap attributes;                 // dynamic attributes
    zarn::ValuePtr value;                          // sensors and actuators: the current value
    std::vector<zarn::StreamChunk> chunks;         // streams: recordings, ordered by start
    std::map<std::int64_t, ChunkMedia> chunkMedia; // streams: by chunk start, where not default
    std::optional<PosScript> pos;                  // streams: channel texts to publish
    bool crossings = true; // streams: whether their recordings show the scene's crossings
    // Streams with a "recording" key: the recording that goes on after the load.
    std::shared_ptr<ContinuousRecording> recorder;
    int httpPort = 9554;                // gateways: port of the HTTP service
    int rtspPort = 8554;                // gateways: port of the RTSP service
    int posDataCap = 20000;             // gateways: texts in one "pos-data" answer at most
    bool rtsp = true;                   // gateways: whether to serve RTSP at all
    std::string rtspUser, rtspPassword; // gateways: RTSP sign-in, when asked
};

// What a generated site is made from (docs/site-file.md, "Generated sites"); SiteGenerator
// makes it.
struct SiteGeneration
{
    std::int64_t cameras = 0;
    std::string address = "127.0.0.1"; // the gateways' "address" setting and the streams' host
    int httpPort = 9554;               // the one HTTP service every gateway shares
    bool rtsp = false;                 // whether the gateways serve RTSP too (one shared service)
};

// A simulated site loaded from a site file (docs/site-file.md).
class Site
{
public:
    std::string name;
    std::int64_t rootId = 0;
    int doorDelayMs = 1500;
    // What every camera's scene is made from (MotionScene, docs/site-file.md "Scenes").
    std::uint64_t sceneSeed = 1;
    std::vector<SiteUser> users;
    std::vector<SiteObject> objects;
    std::vector<ScheduledEvent> events;
    std::optional<SiteGeneration> generation; // how the objects were made, for generated sites

    // Parses a site document; recordings given by duration end at nowMs. Nothing (and
    // `error` set) for a document that is not a valid site.
    static std::optional<Site> fromJson(const std::string &text, std::int64_t nowMs,
                                        std::string &error);
    static std::optional<Site> fromFile(const std::string &path, std::int64_t nowMs,
                                        std::string &error);
    // A site of `count` objects (one location holding devices with streams) and the user
    // "operator"/"operator", for load tests and benchmarks.
    static Site generated(std::size_t count);
};

std::int64_t nowMs();

} // namespace ardix::sim
